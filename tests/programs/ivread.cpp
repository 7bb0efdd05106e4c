// Reads a scene file with nothing but the scene library, the way any
// Inventor program does, applies two bounding-box traversals, then prints
// the reader's search path, the types of the root's children and the
// scene written back.
#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/SoLists.h>
#include <Inventor/SoOutput.h>
#include <Inventor/SbViewportRegion.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoWriteAction.h>
#include <Inventor/nodes/SoSeparator.h>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s file.iv\n", argv[0]);
        return 2;
    }
    SoDB::init();
    SoInput in;
    if (!in.openFile(argv[1]))
        return 3;
    SoSeparator *root = SoDB::readAll(&in);
    if (root == nullptr) {
        std::printf("read failed\n");
        return 4;
    }
    root->ref();
    const SbStringList &before = SoInput::getDirectories();
    int nBefore = before.getLength();
    SoGetBoundingBoxAction bbox(SbViewportRegion(100, 100));
    bbox.apply(root);
    int nFirst = SoInput::getDirectories().getLength();
    bbox.apply(root);
    const SbStringList &after = SoInput::getDirectories();
    std::printf("added first %d second %d\n", nFirst - nBefore,
                after.getLength() - nFirst);
    for (int i = nBefore; i < after.getLength(); ++i)
        std::printf("dir [%s]\n", after[i]->getString());
    for (int i = 0; i < root->getNumChildren(); ++i)
        std::printf("child %s\n", root->getChild(i)->getTypeId().getName().getString());
    SoOutput out;
    SoWriteAction write(&out);
    std::printf("---\n");
    std::fflush(stdout);
    write.apply(root);
    root->unref();
    return 0;
}

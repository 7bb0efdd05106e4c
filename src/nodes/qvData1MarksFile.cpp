#include <nodes/qvData1MarksFile.h>

#include <elements/qvDataMarksElement.h>
#include <qvDebug.h>

#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoRayPickAction.h>

#include <cstdio>
#include <sys/stat.h>
#include <vector>

SO_NODE_SOURCE(qvData1MarksFile);

void qvData1MarksFile::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_NODE_INIT_CLASS(qvData1MarksFile, qvData1Marks, "qvData1Marks");
    SO_ENABLE(SoGLRenderAction, qvDataMarksElement);
    SO_ENABLE(SoGetBoundingBoxAction, qvDataMarksElement);
    SO_ENABLE(SoRayPickAction, qvDataMarksElement);
}

qvData1MarksFile::qvData1MarksFile() : fileRead(FALSE)
{
    SO_NODE_CONSTRUCTOR(qvData1MarksFile);
    SO_NODE_ADD_FIELD(filename, (""));
}

qvData1MarksFile::~qvData1MarksFile() {}

void qvData1MarksFile::doAction(SoAction *action)
{
    if (marks.isIgnored())
        return;
    qvDataMarksElement::set(action->getState(), this,
                            qvData1MarksFile::getClassTypeId());
    if (!marks.isDefault() || filename.isIgnored() ||
        filename.getValue().getLength() == 0 || fileRead)
        return;
    if (readFile(filename.getValue()))
        fileRead = TRUE;
    else
        QV_WARNING("doAction() error file read,  filename: "
                   << filename.getValue().getString());
}

SbBool qvData1MarksFile::readFile(const SbString name)
{
    struct stat status;
    if (stat(name.getString(), &status) != 0) {
        QV_WARNING("readFile(): Cant't stat file:" << name.getString());
        return FALSE;
    }
    _readFileASCII(name);
    // Keeps the marks read out of written scenes, and the node file-backed.
    marks.setDefault(TRUE);
    return TRUE;
}

SbBool qvData1MarksFile::_readFileASCII(const SbString name)
{
    FILE *file;
    QV_CHECK((file = std::fopen(name.getString(), "r")) != NULL);
    // Numbers up to the end of the file or the first token that is none.
    std::vector<float> values;
    float value;
    while (std::fscanf(file, "%f", &value) == 1)
        values.push_back(value);
    QV_CHECK(!std::ferror(file));
    std::fclose(file);
    marks.setNum((int)values.size());
    if (!values.empty())
        marks.setValues(0, (int)values.size(), values.data());
    return TRUE;
}

void qvData1MarksFile::GLRender(SoGLRenderAction *action) { doAction((SoAction *)action); }
void qvData1MarksFile::getBoundingBox(SoGetBoundingBoxAction *action) { doAction((SoAction *)action); }
void qvData1MarksFile::callback(SoCallbackAction *action) { doAction((SoAction *)action); }
void qvData1MarksFile::pick(SoPickAction *action) { doAction((SoAction *)action); }

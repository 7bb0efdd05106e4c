#include <nodes/qvSuite.h>

#include <qvSuiteAll.h>

#include <Inventor/SoInput.h>

SO_NODE_SOURCE(qvSuite);

void qvSuite::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_NODE_INIT_CLASS(qvSuite, SoNode, "Node");
}

void qvSuite::initClasses()
{
    // A second kit node finds everything registered already.
    if (!SO_NODE_IS_FIRST_INSTANCE())
        return;
    initClass();

    qvNodeElement::initClass();
    qvDataMarksElement::initClass();
    qvData1Element::initClass();
    qvData2Element::initClass();
    qvTimeElement::initClass();
    qvNormalElement::initClass();

    qvLine::initClass();
    qvSurface::initClass();
    qvAudio::initClass();
    qvNormal::initClass();
    qvTime::initClass();

    qvDataBase::initClass();
    qvData1Base::initClass();
    qvData1Marks::initClass();
    qvData1MarksFile::initClass();
    qvData1NFloat::initClass();
    qvData1RFloat::initClass();
    qvData1RFloatFile::initClass();
    qvData2Base::initClass();
    qvData2RNFloat::initClass();
    qvData2RNFloatFile::initClass();

    qvData2ToPackedColor::initClass();
    qvMultFloatVec3f::initClass();
}

qvSuite::qvSuite() : directoriesAdded(FALSE)
{
    SO_NODE_CONSTRUCTOR(qvSuite);
    SO_NODE_ADD_FIELD(directories, (""));
    initClasses();
}

qvSuite::~qvSuite() {}

void qvSuite::doAction(SoAction *)
{
    if (directoriesAdded)
        return;
    for (int i = 0; i < directories.getNum(); ++i)
        SoInput::addDirectoryLast(directories[i].getString());
    directoriesAdded = TRUE;
}

void qvSuite::GLRender(SoGLRenderAction *action)
{
    qvSuite::doAction((SoAction *)action);
}

void qvSuite::getBoundingBox(SoGetBoundingBoxAction *action)
{
    qvSuite::doAction((SoAction *)action);
}

extern "C" __attribute__((visibility("default"))) void initClass__7qvSuite()
{
    qvSuite::initClass();
}

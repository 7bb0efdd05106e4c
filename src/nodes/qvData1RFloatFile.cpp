#include <nodes/qvData1RFloatFile.h>

#include <elements/qvData1Element.h>
#include <qvDebug.h>
#include <soundfile/qvSoundFile.h>

#include <Inventor/SoInput.h>
#include <Inventor/actions/SoAction.h>

#include <climits>
#include <cmath>
#include <sys/stat.h>

SO_NODE_SOURCE(qvData1RFloatFile);

void qvData1RFloatFile::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_NODE_INIT_CLASS(qvData1RFloatFile, qvData1RFloat, "qvData1RFloat");
}

qvData1RFloatFile::qvData1RFloatFile() : fileRead(FALSE)
{
    SO_NODE_CONSTRUCTOR(qvData1RFloatFile);
    SO_NODE_ADD_FIELD(filename, (""));
}

qvData1RFloatFile::~qvData1RFloatFile() {}

void qvData1RFloatFile::doAction(SoAction *action)
{
    if (isIgnoredAny())
        return;
    qvData1Element::set(action->getState(), this, qvData1RFloatFile::getClassTypeId());
    if (!data.isDefault() || filename.isIgnored() || filename.getValue().getLength() == 0 ||
        fileRead)
        return;
    if (readFile(filename.getValue()))
        fileRead = TRUE;
    else
        QV_WARNING("doAction() error file read,  filename: " << filename.getValue().getString());
}

void qvData1RFloatFile::GLRender(SoGLRenderAction *action) { doAction((SoAction *)action); }

void qvData1RFloatFile::getBoundingBox(SoGetBoundingBoxAction *action)
{
    doAction((SoAction *)action);
}

void qvData1RFloatFile::callback(SoCallbackAction *action) { doAction((SoAction *)action); }

void qvData1RFloatFile::pick(SoPickAction *action) { doAction((SoAction *)action); }

SbBool qvData1RFloatFile::readFile(const SbString name)
{
    SbString path;
    bool havePath = false;
    {
        SoInput in;
        const SbBool opened = in.openFile(name.getString());
        if (!opened)
            QV_WARNING("readFile() ERROR: cannot open file" << name.getString());
        // Without an opened file the reader names only its standard input.
        const char *full = opened ? in.getCurFileName() : nullptr;
        if (full != nullptr) {
            path = full;
            havePath = true;
        }
        in.closeFile();
    }
    if (!havePath)
        QV_WARNING("readFile() ERROR: cannot find file" << name.getString());
    struct stat st;
    if (!havePath || stat(path.getString(), &st) != 0) {
        QV_WARNING("readFile(): Cant't stat file:" << (havePath ? path.getString() : ""));
        return FALSE;
    }
    if (_readFileAudio(path.getString())) {
        data.setDefault(TRUE);
        filePath = path;
        readName = name;
        return TRUE;
    }
    if (_readFileMatlab(path))
        return TRUE;
    QV_WARNING("readFile() ERROR: no fileformat fits file: " << path.getString());
    return FALSE;
}

SbBool qvData1RFloatFile::_readFileAudio(const char *path)
{
    qvSoundFile *file = qvSoundFile::open(path);
    if (file == nullptr) {
        QV_WARNING("readFile(): (afOpenFile) Unsupported file format. file: " << path);
        return FALSE;
    }
    if (file->getFrameCount() <= 0) {
        QV_WARNING("readFile(): File contains no samples!. file: " << path);
        delete file;
        return FALSE;
    }
    const double rate = file->getRate();
    const int channels = file->getChannels();
    file->setVirtualSampleFormat(qvSoundFile::FLOAT32);
    if (channels > 1) {
        QV_WARNING("readFile(): We only can deal with one channel data! There are"
                   << channels << " channels. We mix to one!");
        QV_DM_CHECK(file->setVirtualChannels(1));
    }
    if (interval.isDefault()) {
        interval.setValue((float)(1.0 / rate));
    } else {
        const float step = interval.getValue();
        if (!(step > 0.0f) || !std::isfinite(step)) {
            QV_WARNING("readFile(): interval " << step
                                               << " is not a positive number. file: " << path);
            delete file;
            return FALSE;
        }
        QV_DM_CHECK(file->setVirtualRate(1.0 / interval.getValue()));
    }
    // Sized to what the file delivers at the rate in force.
    const long long frames = file->getVirtualFrameCount();
    if (frames > INT_MAX) {
        QV_WARNING("readFile(): " << frames << " samples are too many. file: " << path);
        delete file;
        return FALSE;
    }
    data.setNum((int)frames);
    float *values = data.startEditing();
    long long got = file->readFrames(values, frames);
    data.finishEditing();
    delete file;
    if (got < 0) {
        QV_WARNING("readFile(): (afReadFrames) read failed. file: " << path);
        data.setValue(0.0f);
        return FALSE;
    }
    if (got < frames)
        data.setNum((int)got);
    return TRUE;
}

SbString qvData1RFloatFile::getFilePath() const
{
    return filename.getValue() == readName ? filePath : SbString();
}

SbString qvData1RFloatFile::locateFile() const
{
    const SbString read = getFilePath();
    if (read.getLength() > 0)
        return read;
    const SbString &name = filename.getValue();
    SbString path = name;
    SoInput in;
    if (name.getLength() > 0 && in.openFile(name.getString(), TRUE) &&
        in.getCurFileName() != nullptr)
        path = in.getCurFileName();
    in.closeFile();
    return path;
}

SbBool qvData1RFloatFile::_readFileMatlab(const SbString) { return FALSE; }

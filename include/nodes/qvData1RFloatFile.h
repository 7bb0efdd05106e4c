// A regular series whose samples come from a sound file named in the
// scene, read on the first traversal and mixed to one channel. With the
// interval left at its default the interval becomes 1 / the file's rate;
// an interval given in the scene resamples the sound to 1 / interval.
#ifndef QV_DATA1_RFLOAT_FILE_H
#define QV_DATA1_RFLOAT_FILE_H

#include <Inventor/SbString.h>
#include <Inventor/fields/SoSFString.h>

#include <nodes/qvData1RFloat.h>

class qvData1RFloatFile : public qvData1RFloat {
    SO_NODE_HEADER(qvData1RFloatFile);

  public:
    SoSFString filename;

    static void initClass();
    qvData1RFloatFile();

    // Locates the file through the scene reader's search path and reads it.
    SbBool readFile(const SbString filename);
    // Full path of the file read for the current filename; empty when
    // that name has not been read.
    SbString getFilePath() const;
    // The sound file to play for the current filename: the file read, or
    // else the name looked up on the search path, or the name itself.
    SbString locateFile() const;

    virtual void doAction(SoAction *action);
    virtual void GLRender(SoGLRenderAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);
    virtual void callback(SoCallbackAction *action);
    virtual void pick(SoPickAction *action);

  protected:
    virtual ~qvData1RFloatFile();

  private:
    SbBool _readFileAudio(const char *path);
    SbBool _readFileMatlab(const SbString path);

    SbBool fileRead;
    SbString filePath;
    SbString readName; // filename the path was found for
};

#endif

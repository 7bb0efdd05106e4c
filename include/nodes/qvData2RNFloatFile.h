// A regular two-dimensional series read from a file named in the scene:
// a MAT-file (one matrix of values, each column a time step, optionally
// "Interval" and "SampleFreq") or a grid file of complex spectra. Values
// become levels and positions frequency scales while reading; the file
// is read on the first traversal.
#ifndef QV_DATA2_RNFLOAT_FILE_H
#define QV_DATA2_RNFLOAT_FILE_H

#include <Inventor/SbString.h>
#include <Inventor/fields/SoSFEnum.h>
#include <Inventor/fields/SoSFString.h>

#include <nodes/qvData2RNFloat.h>

class qvData2RNFloatFile : public qvData2RNFloat {
    SO_NODE_HEADER(qvData2RNFloatFile);

  public:
    enum Scaling {
        UNKNOWN = 0,
        NO_SCALING = 1,
        LOG = 2,
        DB = 3,
        PITCH = 4,
        BARK = 5,
        ERB = 6
    };

    SoSFString filename;
    // Conversions of the values and positions of a MAT-file.
    SoSFEnum dataScaling;
    SoSFEnum dim2Scaling;

    static void initClass();
    qvData2RNFloatFile();

    virtual SoType getRealClassTypeId() const;

    virtual void doAction(SoAction *action);
    virtual void GLRender(SoGLRenderAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);
    virtual void callback(SoCallbackAction *action);
    virtual void pick(SoPickAction *action);

    // Locates the file through the scene reader's search path and reads
    // it into the fields; TRUE on success.
    SbBool readFile(const SbString filename);
    SbBool _readFileMatlab(const SbString path);
    SbBool _readFileGrid(const SbString path);

    // Level of a grid magnitude: 10 log10(x^2 / 1.801).
    float __dB__(float x);
    // Position of a grid frequency: 20 log10(f^2); -1 for negative f.
    float __frequency_log__(float f);

  protected:
    virtual ~qvData2RNFloatFile();

  private:
    SbBool fileRead;
    // data and dim2 back to their default single 0.
    void resetValues();
};

#endif

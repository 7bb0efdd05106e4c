// Regularly sampled series of single values: sample i belongs to
// startTime + i * interval.
#ifndef QV_DATA1_RFLOAT_H
#define QV_DATA1_RFLOAT_H

#include <Inventor/fields/SoMFFloat.h>
#include <Inventor/fields/SoSFFloat.h>

#include <nodes/qvData1Base.h>

class qvData1RFloat : public qvData1Base {
    SO_NODE_HEADER(qvData1RFloat);

  public:
    SoSFFloat startTime;
    SoSFFloat interval;
    SoMFFloat data;

    static void initClass();
    qvData1RFloat();

    virtual SoType getRealClassTypeId() const;
    virtual int getNum() const;
    virtual int getNumValues() const;
    virtual float getTime(int index) const;
    virtual float getTimeMin() const;
    virtual float getTimeMax() const;
    // Sample nearest to time (halves round up); -1 outside
    // [startTime, startTime + N * interval]. startIndex is not used.
    virtual int getIndex(float time, int startIndex) const;
    virtual SbBool isRegularSampled() const;
    // Range of the samples; it always contains 0.
    virtual void getValueMinMax(float &min, float &max) const;
    // Pointer to sample i, or none when i is out of range.
    virtual const float *getValue(int index) const;

    virtual void doAction(SoAction *action);
    virtual void GLRender(SoGLRenderAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);
    virtual void callback(SoCallbackAction *action);
    virtual void pick(SoPickAction *action);

  protected:
    virtual ~qvData1RFloat();
    // Any of the value-carrying fields flagged as ignored.
    SbBool isIgnoredAny() const;
};

#endif

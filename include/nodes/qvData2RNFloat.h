// Regularly sampled series with a vector of values per step: the value
// of step i at position j is data[i * N2 + j], with N2 the number of
// second-dimension positions in dim2.
#ifndef QV_DATA2_RNFLOAT_H
#define QV_DATA2_RNFLOAT_H

#include <Inventor/fields/SoMFFloat.h>
#include <Inventor/fields/SoSFFloat.h>

#include <nodes/qvData2Base.h>

class qvData2RNFloat : public qvData2Base {
    SO_NODE_HEADER(qvData2RNFloat);

  public:
    SoSFFloat startTime;
    SoSFFloat interval;
    SoMFFloat data;
    SoMFFloat dim2;

    static void initClass();
    qvData2RNFloat();

    virtual SoType getRealClassTypeId() const;
    // Whole steps held; warns when data is no multiple of dim2.
    virtual int getNum() const;
    virtual int getNumValues() const;
    virtual float getTime(int index) const;
    virtual float getTimeMin() const;
    virtual float getTimeMax() const;
    virtual int getIndex(float time, int startIndex) const;
    virtual SbBool isRegularSampled() const;
    virtual void getValueMinMax(float &min, float &max) const;
    virtual void getDim2MinMax(float &min, float &max) const;
    virtual int getIndex2(float value, int startIndex) const;
    virtual int getNum2() const;
    // Pointer to the value of step i at position j, or none.
    virtual const float *getValue(int index, int index2) const;

    virtual void doAction(SoAction *action);
    virtual void GLRender(SoGLRenderAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);
    virtual void callback(SoCallbackAction *action);
    virtual void pick(SoPickAction *action);

  protected:
    virtual ~qvData2RNFloat();
    SbBool isIgnoredAny() const;
};

#endif

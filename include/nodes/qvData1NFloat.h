// Series of single values whose samples carry their own times: data[i]
// belongs to time[i], the times rising.
#ifndef QV_DATA1_NFLOAT_H
#define QV_DATA1_NFLOAT_H

#include <Inventor/fields/SoMFFloat.h>

#include <nodes/qvData1Base.h>

class qvData1NFloat : public qvData1Base {
    SO_NODE_HEADER(qvData1NFloat);

  public:
    SoMFFloat time;
    SoMFFloat data;

    static void initClass();
    qvData1NFloat();

    virtual SoType getRealClassTypeId() const;
    // Number of samples; when time and data differ in length this is
    // reported and the smaller count is used.
    virtual int getNum() const;
    virtual int getNumValues() const;
    // time[i]; an index outside the series is clamped to it (0 when
    // the series is empty).
    virtual float getTime(int index) const;
    virtual float getTimeMin() const;
    virtual float getTimeMax() const;
    // Sample whose time is nearest to t, searched from startIndex:
    // forward a tie goes to the later sample, backward to the earlier.
    // -1 with a warning when there are no samples.
    virtual int getIndex(float t, int startIndex) const;
    virtual SbBool isRegularSampled() const;
    // Range of the values; it always contains 0.
    virtual void getValueMinMax(float &min, float &max) const;
    // Pointer to data[i], or none when i is out of range.
    virtual const float *getValue(int index) const;

    virtual void doAction(SoAction *action);
    virtual void GLRender(SoGLRenderAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);
    virtual void callback(SoCallbackAction *action);
    virtual void pick(SoPickAction *action);

  protected:
    virtual ~qvData1NFloat();

  private:
    // Samples usable in both fields.
    int commonCount() const;
};

#endif

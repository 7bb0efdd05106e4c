// Abstract series with a vector of values per time step; the positions
// within a step share one second-dimension scale.
#ifndef QV_DATA2_BASE_H
#define QV_DATA2_BASE_H

#include <nodes/qvDataBase.h>

class qvData2Base : public qvDataBase {
    SO_NODE_ABSTRACT_HEADER(qvData2Base);

  public:
    static void initClass();

    virtual SoType getRealClassTypeId() const;
    virtual void getValueMinMax(float &min, float &max) const;
    virtual void getDim2MinMax(float &min, float &max) const;
    virtual int getIndex2(float value, int startIndex) const;
    virtual int getNum2() const;

    virtual void doAction(SoAction *action);
    virtual void GLRender(SoGLRenderAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);
    virtual void callback(SoCallbackAction *action);
    virtual void pick(SoPickAction *action);

  protected:
    qvData2Base();
    virtual ~qvData2Base();
};

#endif

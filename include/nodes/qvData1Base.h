// Abstract series with one value per time step.
#ifndef QV_DATA1_BASE_H
#define QV_DATA1_BASE_H

#include <nodes/qvDataBase.h>

class qvData1Base : public qvDataBase {
    SO_NODE_ABSTRACT_HEADER(qvData1Base);

  public:
    static void initClass();

    virtual SoType getRealClassTypeId() const;
    // Leaves min and max as they are.
    virtual void getValueMinMax(float &min, float &max) const;

    virtual void doAction(SoAction *action);
    virtual void GLRender(SoGLRenderAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);
    virtual void callback(SoCallbackAction *action);
    virtual void pick(SoPickAction *action);

  protected:
    qvData1Base();
    virtual ~qvData1Base();
};

#endif

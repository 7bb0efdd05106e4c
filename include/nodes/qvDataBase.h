// Interface of every time series: number of steps, time of a step, step
// of a time, value range. Values come from the storage class's own
// getValue, found through getRealClassTypeId.
#ifndef QV_DATA_BASE_H
#define QV_DATA_BASE_H

#include <Inventor/fields/SoSFNode.h>
#include <Inventor/nodes/SoSubNode.h>

class qvDataBase : public SoNode {
    SO_NODE_ABSTRACT_HEADER(qvDataBase);

  public:
    // Holds the node itself, never written: engines connect to it.
    SoSFNode node;

    static void initClass();

    virtual SoType getRealClassTypeId() const;
    virtual int getNum() const;
    virtual int getNumValues() const;
    virtual int getValueTime(int) const;
    virtual float getTime(int index) const;
    virtual float getTimeMin() const;
    virtual float getTimeMax() const;
    virtual int getIndex(float time, int startIndex) const;
    virtual SbBool isRegularSampled() const;

    virtual void doAction(SoAction *action);
    virtual void GLRender(SoGLRenderAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);
    virtual void callback(SoCallbackAction *action);
    virtual void pick(SoPickAction *action);

  protected:
    qvDataBase();
    virtual ~qvDataBase();
};

#endif

// The toolkit's clock: while speed is not 0 a timer advances time by
// speed times the wall-clock time elapsed; any write of time or speed
// re-bases the clock.
#ifndef QV_TIME_H
#define QV_TIME_H

#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFTime.h>
#include <Inventor/nodes/SoSubNode.h>
#include <Inventor/sensors/SoFieldSensor.h>
#include <Inventor/sensors/SoTimerSensor.h>

class qvTime : public SoNode {
    SO_NODE_HEADER(qvTime);

  public:
    SoSFTime time;
    SoSFFloat speed;

    static void initClass();
    qvTime();

    virtual void doAction(SoAction *action);
    virtual void GLRender(SoGLRenderAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);
    virtual void callback(SoCallbackAction *action);
    virtual void pick(SoPickAction *action);

    static void updateTimeFieldCB(void *data, SoSensor *);
    static void _timeFldChangedCB(void *data, SoSensor *);
    static void _speedFldChangedCB(void *data, SoSensor *);

  protected:
    virtual ~qvTime();
    void updateTimeField();

  private:
    SbTime refTime;
    float lastSpeed;
    long long ust;
    SoTimerSensor *timer;
    SoFieldSensor *timeSensor;
    SoFieldSensor *speedSensor;
};

#endif

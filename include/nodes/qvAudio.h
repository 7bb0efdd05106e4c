// Plays the sound file of the current qvData1RFloatFile at the scene's
// current speed and keeps the play position within 0.1 s of the scene's
// current time (time in seconds = position in the file). Draws nothing.
#ifndef QV_AUDIO_NODE_H
#define QV_AUDIO_NODE_H

#include <Inventor/SbString.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/nodes/SoSubNode.h>

class Scrubber;

class qvAudio : public SoNode {
    SO_NODE_HEADER(qvAudio);

  public:
    // Device output rate over the file's rate.
    SoSFFloat IORateRatio;

    static void initClass();
    qvAudio();

    // The node's own engine.
    Scrubber *getScrubber() const { return pScrubber; }

  protected:
    virtual ~qvAudio();
    virtual void GLRender(SoGLRenderAction *action);
    virtual void callback(SoCallbackAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);

  private:
    Scrubber *pScrubber;
    SbString pScrubberFileName; // name last handed to the engine
};

#endif

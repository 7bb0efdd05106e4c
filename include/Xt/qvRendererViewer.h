// An examiner viewer that renders a time-driven scene into a movie: it
// steps the scene's time field from a start to an end time in steps of
// speed / 30 s, draws each step in its own 640 x 480 render window, reads
// the drawing back, compresses it to JPEG and appends it to the movie's
// image track; at the end it copies the matching stretch of the scene's
// sound file into an audio track. Button "R" starts a render, "P" reads
// the render parameters from the console.
#ifndef QV_RENDERER_VIEWER_H
#define QV_RENDERER_VIEWER_H

#include <Inventor/SbLinear.h>
#include <Inventor/SbString.h>
#include <Inventor/SbTime.h>
#include <Inventor/Xt/viewers/SoXtExaminerViewer.h>

#include <dmedia/dm_audio.h>
#include <dmedia/dm_buffer.h>
#include <dmedia/dm_image.h>
#include <dmedia/dm_imageconvert.h>
#include <dmedia/dm_params.h>
#include <movie/movie.h>

class SoAlarmSensor;
class SoNodeSensor;
class SoSFTime;
class SoSensor;
class qvAudio;
class qvRendererArea;

class qvRendererViewer : public SoXtExaminerViewer {
    friend class qvRendererArea;

  public:
    qvRendererViewer(Widget parent = NULL, const char *name = NULL,
                     SbBool buildInsideParent = TRUE,
                     SoXtFullViewer::BuildFlag flag = BUILD_ALL,
                     SoXtViewer::Type type = BROWSER);
    virtual ~qvRendererViewer();

    virtual void setSceneGraph(SoNode *root);

    void setStartTime(SbTime start) { _renderStart = start; }
    void setLength(SbTime length) { _renderEnd = _renderStart + length; }
    void setSpeed(float speed) { _speed = speed; }
    // Name of the movie file written ("test.mv" until set).
    void setMovieName(const char *name) { _renderMovieName = name; }
    const char *getMovieName() const { return _renderMovieName.getString(); }

    MVid getMovieId() { return _movie; }
    MVid getImageTrackId() { return _imageTrack; }
    MVid getAudioTrackId() { return _audioTrack; }
    DMparams *getMovieParams() { return _movieParams; }
    DMparams *getImageParams() { return _imageTrackParams; }
    DMparams *getAudioParams() { return _audioTrackParams; }

    // What button "R" does; FALSE when no render started.
    SbBool startRender();
    SbBool isRendering() const { return _nrOfNextRender >= 0; }
    // Called after a render has closed its movie.
    typedef void FinishCB(void *data, qvRendererViewer *viewer);
    void setFinishCallback(FinishCB *callback, void *data)
    {
        _finishCB = callback;
        _finishData = data;
    }
    // One line on the error stream per second of scene time rendered.
    void setReportProgress(SbBool on) { _reportProgress = on; }

    SoXtRenderArea *getRenderArea() const { return renderArea; }

  protected:
    static void _startRenderCB(Widget, void *data, void *);
    static void _editRenderParamCB(Widget, void *data, void *);
    static void _rootChangedCB(void *data, SoSensor *);
    void _grabImage();
    SoSFTime *_findTimeField();
    qvAudio *_findAudioNode();
    static void _renderDelayCB(void *data, SoSensor *);
    static void _printConvDescription(int id, DMparams *params);

  private:
    void _writeAudioTrack();
    void _finishRender();
    // Reads the drawing just made in the render window (its context
    // current) into srcBuffer, when it shows the next frame's time.
    void _captureFrame();
    // FALSE for a drawing of the render window the movie would not use.
    SbBool _drawingWanted() const;
    static void _retryFrameCB(void *data, SoSensor *);

    SoXtRenderArea *renderArea;
    unsigned char *_frameData;
    SbVec2s _frameSize;
    SbVec2s _frameOrigin;
    qvAudio *_audioNode;
    SoSFTime *_time;
    float _speed;
    SoNodeSensor *_rootSensor;
    SoAlarmSensor *renderDelaySensor;
    SbTime _renderStart;
    SbTime _renderEnd;
    SbString _renderMovieName;
    SbTime _timeOfNextRender;
    int _nrOfNextRender;
    MVid _movie, _imageTrack, _audioTrack;
    DMparams *_movieParams, *_imageTrackParams, *_audioTrackParams;
    DMimageconverter frameConverter;
    DMparams *pConvParams, *pSrcParams, *pDestParams, *pPoolSrcParams,
        *pPoolDestParams;
    DMbufferpool srcPool, destPool;
    DMbuffer srcBuffer, destBuffer;

    SbBool _frameCaptured;
    SoAlarmSensor *_retrySensor;
    FinishCB *_finishCB;
    void *_finishData;
    SbBool _reportProgress;
    int _lastReportedSecond;
};

#endif

#include <Xt/qvRendererViewer.h>

#include <nodes/qvSuite.h>
#include <nodes/qvTime.h>
#include <qvDebug.h>
#include <nodes/qvAudio.h>
#include <nodes/qvData1RFloatFile.h>
#include <soundfile/qvSoundFile.h>

#include <Inventor/SoDB.h>
#include <Inventor/SoPath.h>
#include <Inventor/Xt/SoXtRenderArea.h>
#include <Inventor/actions/SoSearchAction.h>
#include <Inventor/fields/SoSFTime.h>
#include <Inventor/nodes/SoCamera.h>
#include <Inventor/sensors/SoAlarmSensor.h>
#include <Inventor/sensors/SoNodeSensor.h>

#include <Xm/PushB.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/glx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

const int FRAME_WIDTH = 640;
const int FRAME_HEIGHT = 480;
const int CONVERTER = 23;

const char *glErrorText()
{
    const GLubyte *text = gluErrorString(glGetError());
    return text != nullptr ? (const char *)text : "unknown error";
}

} // namespace

// The render window: after each drawing of the scene, and before the
// buffers are swapped, it hands the drawing to the viewer so that the
// frame read back is its own drawing at the frame's time.
class qvRendererArea : public SoXtRenderArea {
  public:
    explicit qvRendererArea(qvRendererViewer *v)
        : SoXtRenderArea(NULL, "RenderArea", TRUE, FALSE, FALSE), viewer(v)
    {
    }

    // Draws now into the back buffer, whether or not the window can be
    // seen; FALSE when there is no window yet.
    SbBool drawNow()
    {
        if (!makeCurrent())
            return FALSE;
        if (isDoubleBuffer())
            glDrawBuffer(GL_BACK);
        actualRedraw();
        return TRUE;
    }

    SbBool makeCurrent()
    {
        Window window = getNormalWindow();
        GLXContext context = getNormalContext();
        if (window == 0 || context == nullptr)
            return FALSE;
        return glXMakeCurrent(getDisplay(), window, context);
    }

  protected:
    virtual void actualRedraw()
    {
        if (!viewer->_drawingWanted())
            return;
        SoXtRenderArea::actualRedraw();
        viewer->_captureFrame();
    }

  private:
    qvRendererViewer *viewer;
};

qvRendererViewer::qvRendererViewer(Widget parent, const char *name,
                                   SbBool buildInsideParent,
                                   SoXtFullViewer::BuildFlag flag,
                                   SoXtViewer::Type type)
    : SoXtExaminerViewer(parent, name, buildInsideParent, flag, type),
      renderArea(nullptr), _frameData(nullptr), _frameSize(0, 0),
      _frameOrigin(0, 0), _audioNode(nullptr), _time(nullptr), _speed(1.0f),
      _rootSensor(nullptr), renderDelaySensor(nullptr),
      _renderStart(SbTime::zero()), _renderEnd(0.25),
      _renderMovieName("test.mv"), _timeOfNextRender(SbTime::zero()),
      _nrOfNextRender(-1), _movie(nullptr), _imageTrack(nullptr),
      _audioTrack(nullptr), _movieParams(nullptr), _imageTrackParams(nullptr),
      _audioTrackParams(nullptr), frameConverter(nullptr),
      pConvParams(nullptr), pSrcParams(nullptr), pDestParams(nullptr),
      pPoolSrcParams(nullptr), pPoolDestParams(nullptr), srcPool(nullptr),
      destPool(nullptr), srcBuffer(nullptr), destBuffer(nullptr),
      _frameCaptured(FALSE), _retrySensor(nullptr), _finishCB(nullptr),
      _finishData(nullptr), _reportProgress(FALSE), _lastReportedSecond(-1)
{
    qvSuite::initClasses();

    setPopupMenuString("qvRendererViewer");
    setTitle("qvRendererViewer");
    setTransparencyType(SoGLRenderAction::ADD);

    Widget buttons = getAppPushButtonParent();
    if (buttons == NULL) {
        QV_WARNING("qvRendererViewer() :getAppPushButtonParent is NULL!!!");
    } else {
        Widget render = XmCreatePushButton(buttons, (char *)"R", NULL, 0);
        XtAddCallback(render, XmNactivateCallback,
                      (XtCallbackProc)_startRenderCB, this);
        addAppPushButton(render);
        Widget params = XmCreatePushButton(buttons, (char *)"P", NULL, 0);
        XtAddCallback(params, XmNactivateCallback,
                      (XtCallbackProc)_editRenderParamCB, this);
        addAppPushButton(params);
    }

    renderArea = new qvRendererArea(this);
    renderArea->setTransparencyType(SoGLRenderAction::DELAYED_BLEND);
    renderArea->setSize(SbVec2s(FRAME_WIDTH, FRAME_HEIGHT));
    renderArea->getSceneManager()->setRedrawPriority(0);
    renderArea->getOverlaySceneManager()->setRedrawPriority(0);

    _retrySensor = new SoAlarmSensor(_retryFrameCB, this);
}

qvRendererViewer::~qvRendererViewer()
{
    if (_rootSensor != nullptr)
        _rootSensor->detach();
    delete _rootSensor;
    delete renderDelaySensor;
    delete _retrySensor;
    if (_movie != nullptr)
        mvClose(_movie);
    if (srcBuffer != nullptr && _frameCaptured)
        dmBufferFree(srcBuffer);
    if (frameConverter != nullptr)
        dmICDestroy(frameConverter);
    if (srcPool != nullptr)
        dmBufferDestroyPool(srcPool);
    if (destPool != nullptr)
        dmBufferDestroyPool(destPool);
    for (DMparams *p : {_movieParams, _imageTrackParams, _audioTrackParams,
                        pConvParams, pSrcParams, pDestParams, pPoolSrcParams,
                        pPoolDestParams})
        dmParamsDestroy(p);
    delete renderArea;
    std::free(_frameData);
}

void qvRendererViewer::setSceneGraph(SoNode *root)
{
    if (_rootSensor != nullptr) {
        _rootSensor->detach();
        delete _rootSensor;
    }
    SoXtExaminerViewer::setSceneGraph(root);
    _rootSensor = new SoNodeSensor(_rootChangedCB, this);
    _rootSensor->setPriority(getRedrawPriority() + 1);
    SoCamera *camera = getCamera();
    if (camera != nullptr) {
        camera->nearDistance = 0.0f;
        setCamera(camera);
    }
    // The viewer's own graph, so that the movie is seen through the
    // viewer's camera and lit by its headlight.
    SoNode *viewed = getSceneManager()->getSceneGraph();
    renderArea->setSceneGraph(viewed != nullptr ? viewed : root);
}

SoSFTime *qvRendererViewer::_findTimeField()
{
    SoNode *root = getSceneGraph();
    if (root != nullptr) {
        SoSearchAction search;
        search.setType(qvTime::getClassTypeId(), TRUE);
        search.setInterest(SoSearchAction::FIRST);
        search.apply(root);
        if (search.getPath() != nullptr)
            return &((qvTime *)search.getPath()->getTail())->time;
    }
    SoField *global = SoDB::getGlobalField("realTime");
    if (global != nullptr && global->isOfType(SoSFTime::getClassTypeId()))
        return (SoSFTime *)global;
    return nullptr;
}

qvAudio *qvRendererViewer::_findAudioNode()
{
    SoNode *root = getSceneGraph();
    if (root == nullptr)
        return nullptr;
    SoSearchAction search;
    search.setType(qvAudio::getClassTypeId(), TRUE);
    search.setInterest(SoSearchAction::FIRST);
    search.apply(root);
    if (search.getPath() == nullptr)
        return nullptr;
    return static_cast<qvAudio *>(search.getPath()->getTail());
}

void qvRendererViewer::_startRenderCB(Widget, void *data, void *)
{
    ((qvRendererViewer *)data)->startRender();
}

SbBool qvRendererViewer::startRender()
{
    qvRendererViewer *thisR = this;
    if (isRendering()) {
        QV_WARNING("_startRenderCB(): a render is running; \"R\" ignored");
        return FALSE;
    }
    SoNode *root = getSceneGraph();
    if (root == nullptr) {
        QV_WARNING("_startRenderCB(): no scene to render");
        return FALSE;
    }
    if (!(_speed > 0.0f) || _renderEnd < _renderStart) {
        QV_WARNING("_startRenderCB(): speed " << _speed << " and length "
                   << (_renderEnd - _renderStart).getValue()
                   << " give no frames; speed must be above 0 and length not "
                      "below 0");
        return FALSE;
    }
    _rootSensor->attach(root);

    _time = _findTimeField();
    if (_time == nullptr) {
        QV_WARNING("_startRenderCB(): Cant find a qvTime node or a global "
                   "field realTime!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!");
        _rootSensor->detach();
        return FALSE;
    }
    _audioNode = _findAudioNode();
    if (_audioNode == nullptr)
        QV_WARNING("_startRenderCB(): Cant find a qvAudio node, so no audio "
                   "track!!!!!!!!!!!!!!!!!!!!!!");

    _rootSensor->setPriority(renderArea->getRedrawPriority() - 1);

    // The viewer holds its picture while the render window draws the
    // frames, so that each frame is drawn once.
    setAutoRedraw(FALSE);
    renderArea->setBorder(FALSE);
    renderArea->setAutoRedraw(TRUE);
    renderArea->show();
    renderArea->setSize(renderArea->getSize());

    GLint viewport[4] = {0, 0, 0, 0};
    if (static_cast<qvRendererArea *>(renderArea)->makeCurrent())
        glGetIntegerv(GL_VIEWPORT, viewport);
    std::cerr << "GL : " << glErrorText() << std::endl;
    if (viewport[2] <= 0 || viewport[3] <= 0) {
        QV_WARNING("Unable to get viewport at frame ");
        _rootSensor->detach();
        return FALSE;
    }
    _frameSize.setValue(FRAME_WIDTH, FRAME_HEIGHT);
    _frameOrigin.setValue((short)viewport[0], (short)viewport[1]);

    // The movie and its image track.
    for (DMparams **p : {&_movieParams, &_imageTrackParams, &_audioTrackParams}) {
        dmParamsDestroy(*p);
        *p = nullptr;
    }
    _audioTrack = nullptr;
    const char *movieName = _renderMovieName.getString();
    QV_MV_CHECK(dmParamsCreate(&thisR->_movieParams));
    QV_MV_CHECK(mvSetMovieDefaults(thisR->_movieParams, MV_FORMAT_SGI_3));
    dmParamsRemoveElem(_movieParams, MV_LOOP_MODE);
    QV_MV_CHECK(dmParamsSetEnum(thisR->_movieParams, MV_LOOP_MODE, MV_LOOP_CONTINUOUSLY));
    QV_MV_CHECK(mvCreateFile(movieName, thisR->_movieParams, 0L, &thisR->_movie));

    QV_MV_CHECK(dmParamsCreate(&thisR->_imageTrackParams));
    QV_MV_CHECK(dmSetImageDefaults(thisR->_imageTrackParams, FRAME_WIDTH, FRAME_HEIGHT, DM_IMAGE_PACKING_RGBA));
    dmParamsRemoveElem(_imageTrackParams, DM_IMAGE_COMPRESSION);
    QV_MV_CHECK(dmParamsSetString(thisR->_imageTrackParams, DM_IMAGE_COMPRESSION, DM_IMAGE_JPEG));
    dmParamsRemoveElem(_imageTrackParams, DM_IMAGE_RATE);
    QV_MV_CHECK(dmParamsSetFloat(thisR->_imageTrackParams, DM_IMAGE_RATE, 30.0));
    dmParamsRemoveElem(_imageTrackParams, DM_IMAGE_INTERLACING);
    QV_MV_CHECK(dmParamsSetEnum(thisR->_imageTrackParams, DM_IMAGE_INTERLACING, DM_IMAGE_NONINTERLACED));
    dmParamsRemoveElem(_imageTrackParams, DM_IMAGE_PACKING);
    QV_MV_CHECK(dmParamsSetEnum(thisR->_imageTrackParams, DM_IMAGE_PACKING, DM_IMAGE_PACKING_CbYCrY));
    dmParamsRemoveElem(_imageTrackParams, DM_IMAGE_ORIENTATION);
    QV_MV_CHECK(dmParamsSetEnum(thisR->_imageTrackParams, DM_IMAGE_ORIENTATION, DM_IMAGE_TOP_TO_BOTTOM));
    QV_MV_CHECK(mvAddTrack(thisR->_movie, DM_IMAGE, thisR->_imageTrackParams, 0L, &thisR->_imageTrack));

    // The JPEG compressor, its formats and its pools.
    int converters = dmICGetNum();
    for (int i = 0; i < converters; ++i) {
        DMparams *description = nullptr;
        QV_DM_CHECK(dmParamsCreate(&description));
        QV_DM_CHECK(dmICGetDescription(i, description));
        dmParamsDestroy(description);
    }
    for (DMparams **p : {&pConvParams, &pSrcParams, &pDestParams,
                         &pPoolSrcParams, &pPoolDestParams}) {
        dmParamsDestroy(*p);
        *p = nullptr;
    }
    QV_DM_CHECK(dmParamsCreate(&thisR->pConvParams));
    QV_DM_CHECK(dmICGetDescription(CONVERTER, thisR->pConvParams));
    _printConvDescription(CONVERTER, pConvParams);
    QV_DM_CHECK(dmICCreate ( 23, &thisR->frameConverter ));

    QV_DM_CHECK(dmParamsCreate(&thisR->pSrcParams));
    QV_DM_CHECK(dmICGetDefaultSrcParams(thisR->frameConverter, thisR->pSrcParams));
    QV_DM_CHECK(dmParamsSetInt(thisR->pSrcParams, DM_IMAGE_WIDTH, FRAME_WIDTH));
    QV_DM_CHECK(dmParamsSetInt(thisR->pSrcParams, DM_IMAGE_HEIGHT, FRAME_HEIGHT));
    QV_DM_CHECK(dmParamsSetEnum(thisR->pSrcParams, DM_IMAGE_PACKING, DM_IMAGE_PACKING_ABGR));
    QV_DM_CHECK(dmParamsSetEnum(thisR->pSrcParams, DM_IMAGE_ORIENTATION, DM_IMAGE_BOTTOM_TO_TOP));
    QV_DM_CHECK(dmICSetSrcParams(thisR->frameConverter, thisR->pSrcParams));

    QV_DM_CHECK(dmParamsCreate(&thisR->pDestParams));
    QV_DM_CHECK(dmICGetDefaultDstParams(thisR->frameConverter, thisR->pDestParams));
    QV_DM_CHECK(dmParamsSetInt(thisR->pDestParams, DM_IMAGE_WIDTH, FRAME_WIDTH));
    QV_DM_CHECK(dmParamsSetInt(thisR->pDestParams, DM_IMAGE_HEIGHT, FRAME_HEIGHT));
    QV_DM_CHECK(dmParamsSetEnum(thisR->pDestParams, DM_IMAGE_PACKING, DM_IMAGE_PACKING_CbYCrY));
    QV_DM_CHECK(dmParamsSetEnum(thisR->pDestParams, DM_IMAGE_INTERLACING, DM_IMAGE_NONINTERLACED));
    QV_DM_CHECK(dmParamsSetEnum(thisR->pDestParams, DM_IMAGE_LAYOUT, DM_IMAGE_LAYOUT_LINEAR));
    QV_DM_CHECK(dmICSetDstParams(thisR->frameConverter, thisR->pDestParams));

    QV_DM_CHECK(dmICGetDefaultConvParams(thisR->frameConverter, thisR->pConvParams));

    QV_DM_CHECK(dmParamsCreate(&thisR->pPoolSrcParams));
    QV_DM_CHECK(dmBufferSetPoolDefaults(thisR->pPoolSrcParams, 1, FRAME_WIDTH * FRAME_HEIGHT * 4, DM_TRUE, DM_FALSE));
    QV_DM_CHECK(dmICGetSrcPoolParams(thisR->frameConverter, thisR->pPoolSrcParams));
    QV_DM_CHECK(dmBufferCreatePool(thisR->pPoolSrcParams, &thisR->srcPool));
    QV_DM_CHECK(dmParamsCreate(&thisR->pPoolDestParams));
    QV_DM_CHECK(dmBufferSetPoolDefaults(thisR->pPoolDestParams, 1, FRAME_WIDTH * FRAME_HEIGHT * 4, DM_TRUE, DM_FALSE));
    QV_DM_CHECK(dmICGetDstPoolParams(thisR->frameConverter, thisR->pPoolDestParams));
    QV_DM_CHECK(dmBufferCreatePool(thisR->pPoolDestParams, &thisR->destPool));
    QV_DM_CHECK(dmICSetDstPool(thisR->frameConverter, thisR->destPool));

    _timeOfNextRender = _renderStart;
    _nrOfNextRender = 0;
    _frameCaptured = FALSE;
    _lastReportedSecond = -1;
    // realTime is driven by the render alone while it runs.
    SoDB::enableRealTimeSensor(FALSE);

    if (renderDelaySensor == nullptr)
        renderDelaySensor = new SoAlarmSensor(_renderDelayCB, this);
    renderDelaySensor->setTimeFromNow(SbTime(2.0));
    renderDelaySensor->schedule();
    return TRUE;
}

void qvRendererViewer::_renderDelayCB(void *data, SoSensor *)
{
    qvRendererViewer *thisR = (qvRendererViewer *)data;
    // The alarm stays for the next render: a sensor is not deleted from
    // its own callback.
    thisR->_time->setValue(thisR->_renderStart);
    if (!thisR->_rootSensor->isScheduled())
        thisR->_rootSensor->schedule();
}

SbBool qvRendererViewer::_drawingWanted() const
{
    // While frames are taken, a drawing at another time than the next
    // frame's (the scene's clock ticking between two frames), or once that
    // frame is taken, would not be used: the frame loop draws each frame
    // itself, so such a drawing is skipped.
    if (_nrOfNextRender < 0 || renderDelaySensor == nullptr ||
        renderDelaySensor->isScheduled() || _time == nullptr)
        return TRUE;
    return !_frameCaptured && _timeOfNextRender <= _renderEnd &&
           _time->getValue() == _timeOfNextRender;
}

void qvRendererViewer::_captureFrame()
{
    if (_nrOfNextRender < 0 || _frameCaptured || renderDelaySensor->isScheduled() ||
        _time == nullptr || _time->getValue() != _timeOfNextRender ||
        _timeOfNextRender > _renderEnd || srcPool == nullptr)
        return;
    qvRendererViewer *thisR = this;
    QV_DM_CHECK(dmBufferAllocate(thisR->srcPool, &thisR->srcBuffer));
    std::cerr << "_grabImage GL : " << glErrorText() << std::endl;

    // The drawing just made: the back buffer before it is swapped.
    unsigned char *pixels = (unsigned char *)dmBufferMapData(srcBuffer);
    size_t bytes = (size_t)_frameSize[0] * (size_t)_frameSize[1] * 4;
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    int x = _frameOrigin[0], y = _frameOrigin[1];
    int width = std::min<int>(_frameSize[0], viewport[0] + viewport[2] - x);
    int hight = std::min<int>(_frameSize[1], viewport[1] + viewport[3] - y);
    if (width < _frameSize[0] || hight < _frameSize[1])
        std::memset(pixels, 0, bytes); // a window smaller than the frame
    GLenum buffer = static_cast<qvRendererArea *>(renderArea)->isDoubleBuffer()
                        ? GL_BACK
                        : GL_FRONT;
    QV_GL_REPORT(glReadBuffer(buffer));
    QV_GL_REPORT(glFlush());
    QV_GL_REPORT(glFinish());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, _frameSize[0]);
    if (width > 0 && hight > 0)
        QV_GL_REPORT(glReadPixels(x, y, width, hight , 0x8000, 0x1401 , (GLvoid*) dmBufferMapData(srcBuffer)));
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    dmBufferSetSize(srcBuffer, bytes);
    _frameCaptured = TRUE;
}

void qvRendererViewer::_grabImage()
{
    if (_frameCaptured)
        return;
    // No drawing of this frame's time was seen (the window was not
    // visible, or the time moved on before it): draw it now.
    SbBool notify = _time->isNotifyEnabled();
    _time->enableNotify(FALSE);
    _time->setValue(_timeOfNextRender);
    _time->enableNotify(notify);
    qvRendererArea *area = static_cast<qvRendererArea *>(renderArea);
    if (!area->drawNow())
        QV_WARNING("_grabImage(): the render window has no window to read from");
}

void qvRendererViewer::_retryFrameCB(void *data, SoSensor *)
{
    _rootChangedCB(data, nullptr);
}

void qvRendererViewer::_rootChangedCB(void *data, SoSensor *)
{
    qvRendererViewer *thisR = (qvRendererViewer *)data;
    if (thisR->_nrOfNextRender == -1) {
        // Nothing is being rendered: no movie to finish.
        thisR->_rootSensor->detach();
        return;
    }
    if (thisR->renderDelaySensor->isScheduled())
        return; // still waiting to begin
    if (thisR->_timeOfNextRender > thisR->_renderEnd) {
        thisR->_finishRender();
        return;
    }
    thisR->_grabImage();
    if (!thisR->_frameCaptured) {
        // Try again shortly rather than write a frame that was not drawn.
        thisR->_retrySensor->setTimeFromNow(SbTime(0.1));
        thisR->_retrySensor->schedule();
        return;
    }

    QV_DM_CHECK(dmICSend ( thisR->frameConverter, thisR->srcBuffer, 0, 0L));
    QV_DM_CHECK(dmBufferFree(thisR->srcBuffer));
    while (dmICGetDstQueueFilled(thisR->frameConverter) < 1)
        ;
    QV_DM_CHECK(dmICReceive(thisR->frameConverter, &thisR->destBuffer));

    size_t movieFrameSizeBytes = dmImageFrameSize(thisR->_imageTrackParams);
    size_t comprFrameSizeBytes = dmImageFrameSize(thisR->pDestParams);
    if (movieFrameSizeBytes != comprFrameSizeBytes)
        QV_WARNING("movieFrameSizeBytes: " << movieFrameSizeBytes
                   << " != comprFrameSizeBytes:" << comprFrameSizeBytes
                   << "!!!!!!!!!");

    QV_MV_CHECK(mvInsertCompressedImage(thisR->_imageTrack, thisR->_nrOfNextRender, dmBufferGetSize(thisR->destBuffer), dmBufferMapData(thisR->destBuffer)));

    double rate = mvGetImageRate(thisR->_imageTrack);
    double shown = thisR->_timeOfNextRender.getValue();
    thisR->_nrOfNextRender += 1;
    thisR->_timeOfNextRender =
        thisR->_renderStart +
        SbTime(thisR->_nrOfNextRender / rate * thisR->_speed);

    double length = (thisR->_renderEnd - thisR->_renderStart).getValue();
    char title[200];
    std::snprintf(title, sizeof title, "rendering frame %d/%d (time: %f/%f)",
                  thisR->_nrOfNextRender, (int)(length * rate / thisR->_speed),
                  thisR->_timeOfNextRender.getValue(), length);
    thisR->renderArea->setTitle(title);

    if (thisR->_reportProgress) {
        int second = (int)std::floor(shown - thisR->_renderStart.getValue() + 1e-9);
        if (second != thisR->_lastReportedSecond) {
            thisR->_lastReportedSecond = second;
            std::fprintf(stderr, "rendered frame %d at scene time %.3f s (%d%%)\n",
                         thisR->_nrOfNextRender, shown,
                         length > 0 ? (int)(100.0 * (shown - thisR->_renderStart.getValue()) / length) : 100);
        }
    }

    QV_DM_CHECK(dmBufferFree(thisR->destBuffer));
    thisR->destBuffer = nullptr;
    thisR->srcBuffer = nullptr;
    thisR->_frameCaptured = FALSE;
    thisR->_time->setValue(thisR->_timeOfNextRender);
    // A scene that does not depend on the driven field is not notified.
    if (!thisR->_rootSensor->isScheduled())
        thisR->_rootSensor->schedule();
}

void qvRendererViewer::_finishRender()
{
    qvRendererViewer *thisR = this;
    _rootSensor->detach();
    _retrySensor->unschedule();
    if (_frameCaptured) {
        dmBufferFree(srcBuffer);
        srcBuffer = nullptr;
        _frameCaptured = FALSE;
    }
    if (_audioNode != nullptr)
        _writeAudioTrack();
    QV_MV_CHECK(mvClose(thisR->_movie));
    _movie = nullptr;
    _imageTrack = nullptr;
    _audioTrack = nullptr;
    QV_DM_CHECK(dmICDestroy(thisR->frameConverter));
    frameConverter = nullptr;
    QV_DM_CHECK(dmBufferDestroyPool(thisR->srcPool));
    QV_DM_CHECK(dmBufferDestroyPool(thisR->destPool));
    srcPool = destPool = nullptr;

    _nrOfNextRender = -1;
    _timeOfNextRender = _renderStart;
    SoDB::enableRealTimeSensor(TRUE);

    setAutoRedraw(TRUE);
    show();
    renderArea->hide();
    renderArea->setAutoRedraw(FALSE);
    if (_finishCB != nullptr)
        _finishCB(_finishData, this);
}

void qvRendererViewer::_writeAudioTrack()
{
    qvRendererViewer *thisR = this;
    SoNode *root = getSceneGraph();
    if (root == nullptr)
        return;
    SoSearchAction search;
    search.setType(qvData1RFloatFile::getClassTypeId(), TRUE);
    search.setInterest(SoSearchAction::LAST);
    search.apply(root);
    if (search.getPath() == nullptr)
        return;
    const qvData1RFloatFile *series = (const qvData1RFloatFile *)search.getPath()->getTail();
    const SbString name = series->filename.getValue();
    const SbString path = series->locateFile();
    qvSoundFile *file = qvSoundFile::open(path.getString());
    if (file == nullptr) {
        QV_WARNING("_writeAudioTrack(): (afOpenFile) Unsupported file format. file: " << name.getString());
        return;
    }
    if (file->getFrameCount() <= 0) {
        QV_WARNING("_writeAudioTrack(): File contains no samples!. file: " << name.getString());
        delete file;
        return;
    }
    float rate = (float)file->getRate();
    int channels = file->getChannels();
    QV_DM_CHECK(file->setVirtualSampleFormat(qvSoundFile::INT16));
    QV_DM_CHECK(file->setVirtualRate(rate / thisR->_speed));

    QV_MV_CHECK(dmParamsCreate(&thisR->_audioTrackParams));
    QV_MV_CHECK(dmSetAudioDefaults(thisR->_audioTrackParams, 16, rate, channels));
    QV_MV_CHECK(mvAddTrack(thisR->_movie, DM_AUDIO, thisR->_audioTrackParams, 0L, &thisR->_audioTrack));

    long long first = (long long)(_renderStart.getValue() * rate / _speed);
    if (file->getVirtualFrameCount() < first) {
        QV_WARNING("_writeAudioTrack(): There are not enough samples in audio file,  to position at time: "
                   << _renderStart.getValue());
        delete file;
        return;
    }
    if (file->seekFrame(first) < 0) {
        delete file;
        return;
    }
    long long count =
        (long long)((_renderEnd - _renderStart).getValue() * rate / _speed);
    std::vector<short> buffer((size_t)1024 * (size_t)channels);
    while (count > 0) {
        long long frames = file->readFrames(buffer.data(), std::min<long long>(1024, count));
        if (frames <= 0)
            break; // the file ends before the span does
        QV_MV_CHECK(mvAppendFrames(thisR->_audioTrack, frames, (size_t)frames * channels * 2, buffer.data()));
        count -= frames;
    }
    delete file;
}

void qvRendererViewer::_editRenderParamCB(Widget, void *data, void *)
{
    qvRendererViewer *thisR = (qvRendererViewer *)data;
    std::cout << "Input start [0.0],  length [1.0],  speed [1.0], and name of movie [\"test.mv\"]" << std::endl;
    float value;
    std::cout << "start time\t: " << std::flush;
    if (std::scanf("%f", &value) == 1)
        thisR->_renderStart = SbTime((double)value);
    std::cout << "lenth\t: " << std::flush;
    if (std::scanf("%f", &value) == 1)
        thisR->_renderEnd = thisR->_renderStart + SbTime((double)value);
    std::cout << "speed\t: " << std::flush;
    if (std::scanf("%f", &value) == 1)
        thisR->_speed = value;
    std::cout << "file name\t: " << std::flush;
    char word[4096];
    if (std::scanf("%4095s", word) == 1)
        thisR->_renderMovieName = word;
}

void qvRendererViewer::_printConvDescription(int id, DMparams *params)
{
    const char *engine = dmParamsGetString(params, DM_IC_ENGINE);
    std::fprintf(stderr, "ID_Nr: %d Name: %s\n", id, engine != nullptr ? engine : "");
    switch (dmParamsGetEnum(params, DM_IC_SPEED)) {
    case 0: std::fprintf(stderr, "Speed Undefined\n"); break;
    case 1: std::fprintf(stderr, "Speed Real Time\n"); break;
    case 2: std::fprintf(stderr, "Speed Not Real Time\n"); break;
    default: std::fprintf(stderr, "Speed Unknown\n"); break;
    }
    switch (dmParamsGetEnum(params, DM_IC_CODE_DIRECTION)) {
    case 0: std::fprintf(stderr, "Code Direction Undefined\n"); break;
    case 1: std::fprintf(stderr, "Code Direction Encode\n"); break;
    case 2: std::fprintf(stderr, "Code Direction Decode\n"); break;
    default: std::fprintf(stderr, "Code Direction Unknown\n"); break;
    }
    std::fprintf(stderr, "Version: %d\n", dmParamsGetInt(params, DM_IC_VERSION));
    std::fprintf(stderr, "Revision: %d\n", dmParamsGetInt(params, DM_IC_REVISION));
}

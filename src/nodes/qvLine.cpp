#include <nodes/qvLine.h>

#include <elements/qvData1Element.h>
#include <elements/qvTimeElement.h>
#include <nodes/qvData1NFloat.h>
#include <nodes/qvData1RFloat.h>
#include <nodes/qvWindowFields.h>
#include <qvDebug.h>

#include <Inventor/SoPrimitiveVertex.h>
#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoRayPickAction.h>
#include <Inventor/elements/SoDrawStyleElement.h>
#include <Inventor/elements/SoGLLazyElement.h>
#include <Inventor/elements/SoMaterialBindingElement.h>

#include <GL/gl.h>

SO_NODE_SOURCE(qvLine);

namespace {

// Current time in float seconds; 0 where the action carries no time.
float currentSeconds(SoState *state)
{
    if (!state->isElementEnabled(qvTimeElement::getClassStackIndex()))
        return 0.0f;
    return qvTimeElement::getSeconds(state);
}

float seconds(const SoSFTime &field)
{
    return (float)field.getValue().getValue();
}

} // namespace

void qvLine::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_NODE_INIT_CLASS(qvLine, SoVertexShape, "VertexShape");
    SO_ENABLE(SoGLRenderAction, qvData1Element);
    SO_ENABLE(SoGetBoundingBoxAction, qvData1Element);
    SO_ENABLE(SoRayPickAction, qvData1Element);
    SO_ENABLE(SoGLRenderAction, qvTimeElement);
    SO_ENABLE(SoGetBoundingBoxAction, qvTimeElement);
    SO_ENABLE(SoRayPickAction, qvTimeElement);
    // Callback actions reach the primitives too.
    SO_ENABLE(SoCallbackAction, qvData1Element);
    SO_ENABLE(SoCallbackAction, qvTimeElement);
}

qvLine::qvLine()
{
    SO_NODE_CONSTRUCTOR(qvLine);
    SO_NODE_ADD_FIELD(past, (0.0));
    SO_NODE_ADD_FIELD(future, (0.0));
    SO_NODE_ADD_FIELD(complexity, (1.0f));
    qvConnectWindowFields(past, future, complexity);
}

qvLine::~qvLine() {}

SbBool qvLine::affectsState() const { return FALSE; }

void qvLine::_computeIndices(float time, float pastTime, float futureTime,
                             const qvDataBase *node, int &startIdx, int &endIdx)
{
    const int n = node->getNum();
    const int last = n > 0 ? n - 1 : 0;

    if (pastTime < 0 || time <= pastTime) {
        startIdx = 0;
    } else {
        const float from = time - pastTime;
        startIdx = node->getIndex(from, 0);
        // Outside the series: before its start the window begins at the
        // first sample, after its end it holds nothing.
        if (startIdx < 0)
            startIdx = from < node->getTimeMin() ? 0 : last;
    }

    if (futureTime < 0 || node->getTimeMax() < time + futureTime) {
        QV_WARNING("_computeIndices:  bounding endIdx");
        endIdx = n - 1;
    } else {
        endIdx = node->getIndex(time + futureTime, 0);
    }

    if (startIdx > last)
        startIdx = last;
    if (endIdx > last)
        endIdx = last;
    if (endIdx < 0)
        endIdx = 0;
}

void qvLine::drawVertices(unsigned glMode, int count)
{
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, vertices.data());
    glDrawArrays(glMode, 0, count);
    glPopClientAttrib();
}

void qvLine::GLRenderRegular(const qvData1RFloat *node, unsigned glMode,
                             float time, int startIdx, int endIdx)
{
    const int n = node->data.getNum();
    if (endIdx > n)
        endIdx = n;
    if (startIdx < 0)
        startIdx = 0;
    glNormal3b(0, 0, 100);
    if (startIdx >= endIdx)
        return;
    const float start = node->startTime.getValue();
    const float step = node->interval.getValue();
    const float *values = node->data.getValues(0);
    const int count = endIdx - startIdx;
    vertices.resize((size_t)count * 2);
    float *v = vertices.data();
    for (int i = startIdx; i < endIdx; ++i) {
        *v++ = start + (float)i * step - time;
        *v++ = values[i];
    }
    drawVertices(glMode, count);
}

void qvLine::GLRenderNonregular(const qvData1NFloat *node, unsigned glMode,
                                float time, int startIdx, int endIdx)
{
    const int n = node->data.getNum() < node->time.getNum()
                      ? node->data.getNum() : node->time.getNum();
    if (endIdx > n)
        endIdx = n;
    if (startIdx < 0)
        startIdx = 0;
    if (startIdx >= endIdx)
        return;
    const float *times = node->time.getValues(0);
    const float *values = node->data.getValues(0);
    const int count = endIdx - startIdx;
    vertices.resize((size_t)count * 2);
    float *v = vertices.data();
    for (int i = startIdx; i < endIdx; ++i) {
        *v++ = times[i] - time;
        *v++ = values[i];
    }
    drawVertices(glMode, count);
}

void qvLine::GLRender(SoGLRenderAction *action)
{
    if (action == nullptr) {
        QV_REPORT_CHECK("action");
        return;
    }
    if (!shouldGLRender(action))
        return;
    SoState *state = action->getState();

    const int binding = SoMaterialBindingElement::get(state);
    const bool perPart = binding == SoMaterialBindingElement::PER_PART ||
                         binding == SoMaterialBindingElement::PER_PART_INDEXED;

    SoGLLazyElement::sendAllMaterial(state);

    const int style = SoDrawStyleElement::get(state);
    const unsigned glMode =
        (style == SoDrawStyleElement::POINTS || style == SoDrawStyleElement::INVISIBLE)
            ? GL_POINTS : GL_LINE_STRIP;

    // The second diffuse colour, where the material has one.
    SoGLLazyElement *lazy = SoGLLazyElement::getInstance(state);
    const bool sentSecond = perPart && lazy->getNumDiffuse() > 1;
    if (sentSecond)
        lazy->sendDiffuseByIndex(1);

    const SoType qvDataNodeType = qvData1Element::getType(state);
    const qvDataBase *qvDataNode = qvData1Element::getPtr(state, this);
    if (qvDataNode == nullptr) {
        QV_REPORT_CHECK("qvDataNode = (qvDataBase*) qvData1Element::getPtr(state, this)");
    } else {
        const float time = currentSeconds(state);
        int startIdx = 0, endIdx = 0;
        _computeIndices(time, seconds(past), seconds(future), qvDataNode,
                        startIdx, endIdx);
        if (qvDataNode->isRegularSampled()) {
            // The fields drawn are those of the regular storage class.
            if (QV_REPORT_ASSERT(qvDataNodeType.isDerivedFrom(qvData1Base::getClassTypeId())) &&
                QV_REPORT_ASSERT(qvDataNode->isOfType(qvData1RFloat::getClassTypeId())))
                GLRenderRegular((const qvData1RFloat *)qvDataNode, glMode, time,
                                startIdx, endIdx);
        } else {
            if (QV_REPORT_ASSERT(qvDataNodeType == qvData1NFloat::getClassTypeId() || qvDataNodeType.isDerivedFrom(qvData1NFloat::getClassTypeId())) &&
                QV_REPORT_ASSERT(qvDataNode->isOfType(qvData1NFloat::getClassTypeId())))
                GLRenderNonregular((const qvData1NFloat *)qvDataNode, glMode,
                                   time, startIdx, endIdx);
        }
    }

    if (sentSecond)
        lazy->reset(state, SoLazyElement::DIFFUSE_MASK);
}

SbBool qvLine::computeWindowBox(SoAction *action, SbBox3f &box, SbVec3f &center)
{
    box.makeEmpty();
    center.setValue(0, 0, 0);
    if (action == nullptr) {
        QV_REPORT_CHECK("action");
        return FALSE;
    }
    SoState *state = action->getState();
    if (state == nullptr) {
        QV_REPORT_CHECK("state");
        return FALSE;
    }
    const float time = currentSeconds(state);
    center.setValue(time, 0, 0);
    const qvDataBase *qvDataNode = qvData1Element::getPtr(state, this);
    if (qvDataNode == nullptr) {
        QV_REPORT_CHECK("qvDataNode");
        return FALSE;
    }
    if (qvDataNode->getNum() <= 0)
        return FALSE;
    int startIdx = 0, endIdx = 0;
    _computeIndices(time, seconds(past), seconds(future), qvDataNode, startIdx,
                    endIdx);
    float min = 0.0f, max = 0.0f;
    if (qvDataNode->isOfType(qvData1Base::getClassTypeId()))
        ((const qvData1Base *)qvDataNode)->getValueMinMax(min, max);
    float x0 = qvDataNode->getTime(startIdx) - time;
    float x1 = qvDataNode->getTime(endIdx) - time;
    if (x1 < x0) {
        float swap = x0;
        x0 = x1;
        x1 = swap;
    }
    box.setBounds(x0, min, 0, x1, max, 0);
    return TRUE;
}

void qvLine::computeBBox(SoAction *action, SbBox3f &box, SbVec3f &center)
{
    computeWindowBox(action, box, center);
}

void qvLine::generatePrimitives(SoAction *action)
{
    SbBox3f box;
    SbVec3f center;
    if (!computeWindowBox(action, box, center))
        return;
    const SbVec3f &lo = box.getMin(), &hi = box.getMax();
    const SbVec3f corners[6] = {
        SbVec3f(lo[0], lo[1], 0), SbVec3f(lo[0], hi[1], 0), SbVec3f(hi[0], lo[1], 0),
        SbVec3f(lo[0], hi[1], 0), SbVec3f(hi[0], hi[1], 0), SbVec3f(hi[0], lo[1], 0)};
    SoPrimitiveVertex pv;
    pv.setNormal(SbVec3f(0, 0, 1));
    beginShape(action, TRIANGLES);
    for (const SbVec3f &p : corners) {
        pv.setPoint(p);
        shapeVertex(&pv);
    }
    endShape();
}

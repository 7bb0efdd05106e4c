#include <nodes/qvSurface.h>

#include <elements/qvData2Element.h>
#include <elements/qvDataMarksElement.h>
#include <elements/qvNormalElement.h>
#include <elements/qvTimeElement.h>
#include <nodes/qvData1Marks.h>
#include <nodes/qvData2RNFloat.h>
#include <nodes/qvNormal.h>
#include <nodes/qvWindowFields.h>
#include <qvDebug.h>

#include <Inventor/SoPrimitiveVertex.h>
#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoRayPickAction.h>
#include <Inventor/bundles/SoMaterialBundle.h>
#include <Inventor/elements/SoDrawStyleElement.h>
#include <Inventor/elements/SoGLLazyElement.h>
#include <Inventor/elements/SoLightModelElement.h>
#include <Inventor/elements/SoMaterialBindingElement.h>
#include <Inventor/elements/SoNormalBindingElement.h>
#include <Inventor/misc/SoState.h>

#include <GL/gl.h>
#include <cmath>
#include <iostream>

SO_NODE_SOURCE(qvSurface);

namespace {

const SbVec3f upNormal(0.0f, 1.0f, 0.0f);

struct Edge {
    float x, y, z;
};

// Adds a x b to sum.
inline void addCross(const Edge &a, const Edge &b, Edge &sum)
{
    sum.x += a.y * b.z - a.z * b.y;
    sum.y += a.z * b.x - a.x * b.z;
    sum.z += a.x * b.y - a.y * b.x;
}

// Normal of value (i, j): the sum of the cross products of consecutive
// edges to the existing neighbours. A missing neighbour's edge is zero, so
// its two products vanish and the sum covers exactly the quadrants that
// exist.
inline SbVec3f quadrantNormal(const float *v, const float *dim2, float dt,
                              int num, int num2, int i, int j)
{
    const int k = i * num2 + j;
    const float c = v[k];
    const float d = dim2[j];
    Edge p{0, 0, 0}, n{0, 0, 0}, down{0, 0, 0}, up{0, 0, 0};
    if (i >= 1)
        p = Edge{-dt, v[k - num2] - c, 0.0f};
    if (i <= num - 2)
        n = Edge{dt, v[k + num2] - c, 0.0f};
    if (j >= 1)
        down = Edge{0.0f, v[k - 1] - c, dim2[j - 1] - d};
    if (j <= num2 - 2)
        up = Edge{0.0f, v[k + 1] - c, dim2[j + 1] - d};
    Edge sum{0, 0, 0};
    addCross(up, n, sum);
    addCross(n, down, sum);
    addCross(down, p, sum);
    addCross(p, up, sum);
    const float length = std::sqrt(sum.x * sum.x + sum.y * sum.y + sum.z * sum.z);
    if (!(length > 0.0f)) // flat neighbourhood of one line, or not a number
        return upNormal;
    return SbVec3f(sum.x / length, sum.y / length, sum.z / length);
}

const int32_t packedUp = qvNormal::pack(upNormal);

} // namespace

void qvSurface::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_NODE_INIT_CLASS(qvSurface, SoVertexShape, "VertexShape");
    SO_ENABLE(SoGLRenderAction, qvNormalElement);
    SO_ENABLE(SoGetBoundingBoxAction, qvNormalElement);
    SO_ENABLE(SoGLRenderAction, qvData2Element);
    SO_ENABLE(SoGetBoundingBoxAction, qvData2Element);
    SO_ENABLE(SoRayPickAction, qvData2Element);
    SO_ENABLE(SoGLRenderAction, qvTimeElement);
    SO_ENABLE(SoGetBoundingBoxAction, qvTimeElement);
    SO_ENABLE(SoRayPickAction, qvTimeElement);
    SO_ENABLE(SoGLRenderAction, qvDataMarksElement);
    SO_ENABLE(SoGetBoundingBoxAction, qvDataMarksElement);
    SO_ENABLE(SoRayPickAction, qvDataMarksElement);
    SO_ENABLE(SoGLRenderAction, SoNormalBindingElement);
    SO_ENABLE(SoGetBoundingBoxAction, SoNormalBindingElement);
    SO_ENABLE(SoGLRenderAction, SoMaterialBindingElement);
    SO_ENABLE(SoGetBoundingBoxAction, SoMaterialBindingElement);
}

qvSurface::qvSurface() : cachedNormal(nullptr), indexedNum2(-1), indexedSteps(0)
{
    SO_NODE_CONSTRUCTOR(qvSurface);
    SO_NODE_ADD_FIELD(past, (0.0));
    SO_NODE_ADD_FIELD(future, (0.0));
    SO_NODE_ADD_FIELD(complexity, (1.0f));
    qvConnectWindowFields(past, future, complexity);
}

qvSurface::~qvSurface()
{
    // Held also when it came from the scene, so it cannot vanish under us.
    if (cachedNormal != nullptr)
        cachedNormal->unref();
}

SbBool qvSurface::affectsState() const { return FALSE; }

void qvSurface::_computeIndices(float time, float past, float future,
                                qvDataBase *node, int &startIdx, int &endIdx)
{
    if (past < 0.0f || time <= past)
        startIdx = 0;
    else
        startIdx = node->getIndex(time - past, 0);
    if (future < 0.0f || node->getTimeMax() < time + future)
        endIdx = node->getNum() - 1;
    else
        endIdx = node->getIndex(time + future, 0);
}

void qvSurface::clampIndices(float time, float past, qvDataBase *node,
                             int &startIdx, int &endIdx)
{
    const int num = node->getNum();
    if (startIdx < 0)
        // Before the first step the window starts there; past the last
        // step nothing is left to draw.
        startIdx = (past >= 0.0f && time - past < node->getTimeMin()) ? 0 : num;
    if (endIdx > num - 1)
        endIdx = num - 1;
    if (endIdx < 0 || startIdx > endIdx)
        endIdx = startIdx = 0;
}

void qvSurface::GLRender(SoGLRenderAction *action)
{
    if (!shouldGLRender(action))
        return;
    SoState *state = action->getState();

    const SoMaterialBindingElement::Binding materialBinding =
        SoMaterialBindingElement::get(state);
    const bool perPart = materialBinding == SoMaterialBindingElement::PER_PART ||
                         materialBinding == SoMaterialBindingElement::PER_PART_INDEXED;
    SoGLLazyElement::sendAllMaterial(state);

    unsigned glMode = GL_POINTS;
    switch (SoDrawStyleElement::get(state)) {
    case SoDrawStyleElement::FILLED:
        glMode = GL_TRIANGLE_STRIP;
        break;
    case SoDrawStyleElement::LINES:
        glMode = GL_LINE_STRIP;
        break;
    default:
        glMode = GL_POINTS;
        break;
    }
    SoGLLazyElement *lazy = SoGLLazyElement::getInstance(state);
    // Colours sent here bypass the lazy material state: on every way out,
    // have the diffuse colour sent again before the next shape.
    struct DiffuseReset {
        SoState *state;
        SoGLLazyElement *lazy;
        ~DiffuseReset() { lazy->reset(state, SoLazyElement::DIFFUSE_MASK); }
    } diffuseReset{state, lazy};
    if (perPart && lazy->getNumDiffuse() > 1)
        lazy->sendDiffuseByIndex(1);

    const qvDataBase *marksNode = qvDataMarksElement::getPtr(state, this);
    if (marksNode != nullptr) {
        SoType marksNodeType = qvDataMarksElement::getType(state);
        if (!QV_REPORT_ASSERT((marksNodeType==qvData1Marks::getClassTypeId()) || qvDataMarksElement::getType(state).isDerivedFrom(qvData1Marks::getClassTypeId())) ||
            !QV_REPORT_ASSERT(marksNode->isOfType(qvData1Marks::getClassTypeId())))
            return;
    }

    qvDataBase *dataNode = (qvDataBase *)qvData2Element::getPtr(state, this);
    if (dataNode == nullptr) {
        QV_REPORT_CHECK("dataNode = (qvData2Base*) qvData2Element::getPtr(state, this)");
        return;
    }
    SoType dataNodeType = qvData2Element::getType(state);
    // Only a real two-dimensional node is ever viewed as one.
    const qvData2Base *data2 = dataNode->isOfType(qvData2Base::getClassTypeId())
                                   ? static_cast<const qvData2Base *>(dataNode)
                                   : nullptr;

    qvNormal *normalNode = nullptr;
    if (SoLightModelElement::get(state) != SoLightModelElement::BASE_COLOR) {
        qvNormal *published = qvNormalElement::getPtr(state, this);
        if (cachedNormal == nullptr && data2 != nullptr) {
            qvNormal *target = published != nullptr ? published : new qvNormal;
            target->ref();
            GLComputeNormals(data2, target->vector);
            cachedNormal = target;
        }
        normalNode = cachedNormal;
    }

    const float time = qvTimeElement::getSeconds(state);
    const float pastSeconds = (float)past.getValue().getValue();
    const float futureSeconds = (float)future.getValue().getValue();
    int startIdx, endIdx;
    _computeIndices(time, pastSeconds, futureSeconds, dataNode, startIdx, endIdx);

    if (!dataNode->isRegularSampled()) {
        QV_WARNING("GLRender(): rendering for nonregular data NOT YET IMPLEMENTED !!!");
        return;
    }
    if (!QV_REPORT_ASSERT(dataNodeType.isDerivedFrom(qvData2Base::getClassTypeId())) ||
        !QV_REPORT_ASSERT(dataNode->isOfType(qvData2RNFloat::getClassTypeId())))
        return;
    qvData2RNFloat *series = static_cast<qvData2RNFloat *>(dataNode);
    clampIndices(time, pastSeconds, series, startIdx, endIdx);
    GLRenderRegular(state, series, glMode, normalNode, time, startIdx, endIdx);

    if (marksNode != nullptr) {
        qvData1Marks *marks = (qvData1Marks *)marksNode;
        if (marks->getNum() > 0 && marks->getTimeMin() < time + futureSeconds &&
            time - pastSeconds < marks->getTimeMax()) {
            const int first = marks->getIndex(time - pastSeconds, 0);
            const int last = marks->getIndex(time + futureSeconds, 0);
            GLRenderMarks(state, marks, series, time, first, last, startIdx, endIdx);
        }
    }
}

void qvSurface::GLRenderRegular(SoState *state, qvData2RNFloat *node,
                                unsigned glMode, qvNormal *normalNode,
                                float time, int startIdx, int endIdx)
{
    const int num2 = node->getNum2();
    const int values = node->getNumValues();
    const float t0 = node->startTime.getValue();
    const float dt = node->interval.getValue();
    const float *v = node->data.getValues(0);
    const float *dim2 = node->dim2.getValues(0);

    const SoMaterialBindingElement::Binding materialBinding =
        SoMaterialBindingElement::get(state);
    const bool perVertex =
        materialBinding == SoMaterialBindingElement::PER_VERTEX ||
        materialBinding == SoMaterialBindingElement::PER_VERTEX_INDEXED;
    SoMaterialBundle mb(state->getAction());
    mb.sendFirst();
    // Materials past the last one given repeat the last one.
    const int lastMaterial = SoLazyElement::getInstance(state)->getNumDiffuse() - 1;

    const SoNormalBindingElement::Binding normalBinding =
        normalNode != nullptr ? SoNormalBindingElement::get(state)
                              : SoNormalBindingElement::OVERALL;

    glPushAttrib(GL_POLYGON_BIT);
    glPolygonMode(GL_FRONT, GL_FILL);
    if (normalBinding == SoNormalBindingElement::OVERALL) {
        for (int i = startIdx; i < endIdx; ++i) {
            const float x0 = t0 + (float)i * dt - time;
            const float x1 = t0 + (float)(i + 1) * dt - time;
            const float *row0 = v + i * num2, *row1 = row0 + num2;
            glBegin(glMode);
            for (int j = 0; j < num2; ++j) {
                glVertex3f(x0, row0[j], dim2[j]);
                glVertex3f(x1, row1[j], dim2[j]);
            }
            glEnd();
        }
    } else if (normalBinding == SoNormalBindingElement::PER_VERTEX_INDEXED) {
        // Normals computed before the data grew stop short: up beyond them.
        const int numNormals = normalNode->vector.getNum();
        const int32_t *normals = normalNode->vector.getValues(0);
        SoLazyElement *lazyState = SoLazyElement::getInstance(state);
        if (perVertex && !lazyState->isPacked()) {
            // Materials of a material list go through the bundle one by one.
            signed char bytes[3];
            for (int i = startIdx; i < endIdx; ++i) {
                const float x0 = t0 + (float)i * dt - time;
                const float x1 = t0 + (float)(i + 1) * dt - time;
                glBegin(glMode);
                for (int j = num2 - 1; j >= 0; --j) {
                    const int k = i * num2 + j;
                    const int k1 = k + num2;
                    mb.send(k < lastMaterial ? k : lastMaterial, TRUE);
                    qvNormal::unpack(k < numNormals ? normals[k] : packedUp, bytes);
                    glNormal3bv((const GLbyte *)bytes);
                    glVertex3f(x0, v[k], dim2[j]);
                    mb.send(k1 < lastMaterial ? k1 : lastMaterial, TRUE);
                    qvNormal::unpack(k1 < numNormals ? normals[k1] : packedUp, bytes);
                    glNormal3bv((const GLbyte *)bytes);
                    glVertex3f(x1, v[k1], dim2[j]);
                }
                glEnd();
            }
        } else if (startIdx < endIdx) {
            drawStrips(glMode, node, time, startIdx, endIdx, normals, numNormals,
                       perVertex ? lazyState->getPackedPointer() : nullptr,
                       lastMaterial);
        }
        if (node->getTimeMin() <= time && time <= node->getTimeMax()) {
            const int n = node->getIndex(time, 0);
            if (n >= 0 && (n + 1) * num2 <= values) {
                // Unlit, so that the line shows its own colour.
                glPushAttrib(GL_LIGHTING_BIT | GL_CURRENT_BIT | GL_ENABLE_BIT);
                glDisable(GL_LIGHTING);
                glBegin(GL_LINE_STRIP);
                glColor3f(0.8f, 0.0f, 0.0f);
                for (int j = num2 - 1; j >= 0; --j)
                    glVertex3f(0.0f, v[n * num2 + j] + 1.0f, dim2[j]);
                glEnd();
                glPopAttrib();
            }
        }
    }
    // Any other normal binding draws nothing.
    glPopAttrib();
}

void qvSurface::drawStrips(unsigned glMode, const qvData2RNFloat *node,
                           float time, int startIdx, int endIdx,
                           const int32_t *normals, int numNormals,
                           const uint32_t *packedColors, int lastColor)
{
    // The steps of the window as vertex arrays, each vertex once; every
    // strip then indexes two neighbouring steps, second index descending.
    const int num2 = node->getNum2();
    const float t0 = node->startTime.getValue();
    const float dt = node->interval.getValue();
    const float *v = node->data.getValues(0);
    const float *dim2 = node->dim2.getValues(0);
    const int steps = endIdx - startIdx + 1;
    const size_t vertices = (size_t)steps * num2;
    positions.resize(vertices * 3);
    normalBytes.resize(vertices * 3);
    colourBytes.resize(packedColors != nullptr ? vertices * 4 : 0);
    float *p = positions.data();
    signed char *n = normalBytes.data();
    uint8_t *c = colourBytes.data();
    for (int i = startIdx; i <= endIdx; ++i) {
        const float x = t0 + (float)i * dt - time;
        for (int j = 0; j < num2; ++j) {
            const int k = i * num2 + j;
            *p++ = x;
            *p++ = v[k];
            *p++ = dim2[j];
            qvNormal::unpack(k < numNormals ? normals[k] : packedUp, n);
            n += 3;
            if (packedColors != nullptr) {
                const uint32_t rgba = packedColors[k < lastColor ? k : lastColor];
                *c++ = (uint8_t)(rgba >> 24);
                *c++ = (uint8_t)(rgba >> 16);
                *c++ = (uint8_t)(rgba >> 8);
                *c++ = (uint8_t)rgba;
            }
        }
    }
    // Each strip is followed by a repeat of its last and of the next
    // strip's first vertex: joined so, triangle strips go in one call, the
    // added triangles having no area.
    const size_t perStrip = 2 * (size_t)num2 + 2;
    if (indices.size() < (size_t)(steps - 1) * perStrip) {
        indices.resize((size_t)(steps - 1) * perStrip);
        indexedSteps = 0;
    }
    if (indexedNum2 != num2) {
        indexedNum2 = num2;
        indexedSteps = 0;
    }
    for (int s = indexedSteps; s < steps - 1; ++s) {
        GLuint *out = indices.data() + (size_t)s * perStrip;
        for (int j = num2 - 1; j >= 0; --j) {
            *out++ = (GLuint)(s * num2 + j);
            *out++ = (GLuint)((s + 1) * num2 + j);
        }
        out[0] = (GLuint)((s + 1) * num2);
        out[1] = (GLuint)((s + 1) * num2 + num2 - 1);
    }
    if (steps - 1 > indexedSteps)
        indexedSteps = steps - 1;

    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions.data());
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_BYTE, 0, normalBytes.data());
    if (packedColors != nullptr) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_UNSIGNED_BYTE, 0, colourBytes.data());
    }
    if (glMode == GL_TRIANGLE_STRIP)
        glDrawElements(glMode, (GLsizei)((steps - 1) * perStrip - 2), GL_UNSIGNED_INT,
                       indices.data());
    else
        for (int s = 0; s < steps - 1; ++s)
            glDrawElements(glMode, (GLsizei)(perStrip - 2), GL_UNSIGNED_INT,
                           indices.data() + (size_t)s * perStrip);
    glPopClientAttrib();
}

void qvSurface::GLRenderMarks(SoState *, qvData1Marks *marks, qvData2RNFloat *node,
                              float time, int startIdx, int endIdx,
                              int dataStart, int dataEnd)
{
    const int numMarks = marks->marks.getNum();
    const int num2 = node->getNum2();
    const float *v = node->data.getValues(0);
    const float *dim2 = node->dim2.getValues(0);
    const float drawnFrom = node->getTime(dataStart);
    const float drawnTo = node->getTime(dataEnd);
    if (startIdx < 0)
        startIdx = 0;
    if (endIdx > numMarks - 1)
        endIdx = numMarks - 1;
    // Unlit, so that the marks show their own colour.
    glPushAttrib(GL_LIGHTING_BIT | GL_CURRENT_BIT | GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    for (int m = startIdx; m <= endIdx && dataStart < dataEnd; ++m) {
        const float t = marks->marks[m];
        // Only marks over the drawn surface: the nearest mark to a window
        // end may lie outside the window.
        if (t < drawnFrom || t > drawnTo)
            continue;
        const int n = node->getIndex(t, 0);
        if (n < dataStart || n > dataEnd)
            continue;
        glBegin(GL_LINE_STRIP);
        glColor3fv(marks->color.getValue().getValue());
        for (int j = num2 - 1; j >= 0; --j)
            glVertex3f(t - time, v[n * num2 + j] + 1.0f, dim2[j]);
        glEnd();
    }
    glPopAttrib();
    glFinish();
}

void qvSurface::GLComputeNormals(const qvData2Base *node, SoMFInt32 &normals)
{
    SoType real = node->getRealClassTypeId();
    if (real != qvData2RNFloat::getClassTypeId() ||
        !node->isOfType(qvData2RNFloat::getClassTypeId())) {
        QV_WARNING("GLComputeNormals() is only implemented for data nodes of type qvData2RNFloat yet. This is: "
                   << real.getName().getString() << "!I do nothing!!!");
        return;
    }
    const qvData2RNFloat *series = static_cast<const qvData2RNFloat *>(node);
    const int num = series->getNum();
    const int num2 = series->getNum2();
    const int values = series->getNumValues();
    const float *v = series->data.getValues(0);
    const float *dim2 = series->dim2.getValues(0);
    const float dt = series->interval.getValue();

    normals.setNum(values);
    int32_t *out = normals.startEditing();
    // Values of an incomplete last step get no computed normal.
    for (int k = num * num2; k < values; ++k)
        out[k] = packedUp;
    const bool computable = !(num == 1 || num2 == 2);
    for (int i = 0; i < num; ++i)
        for (int j = 0; j < num2; ++j) {
            if (!computable) {
                QV_WARNING("computeNormal(): (num == 1 || num2 == 2) => There no normals to compute!");
                out[i * num2 + j] = packedUp;
                continue;
            }
            out[i * num2 + j] =
                qvNormal::pack(quadrantNormal(v, dim2, dt, num, num2, i, j));
        }
    normals.finishEditing();
}

SbVec3f qvSurface::GLcomputeNormal(const qvData2RNFloat *node, int i, int j)
{
    const int num = node->getNum();
    const int num2 = node->getNum2();
    if (num == 1 || num2 == 2) {
        QV_WARNING("computeNormal(): (num == 1 || num2 == 2) => There no normals to compute!");
        return upNormal;
    }
    if (i < 0 || i >= num || j < 0 || j >= num2)
        return upNormal;
    return quadrantNormal(node->data.getValues(0), node->dim2.getValues(0),
                          node->interval.getValue(), num, num2, i, j);
}

void qvSurface::computeBBox(SoAction *action, SbBox3f &box, SbVec3f &center)
{
    box.makeEmpty();
    center.setValue(0, 0, 0);
    if (action == nullptr) {
        QV_REPORT_CHECK("action");
        return;
    }
    SoState *state = action->getState();
    if (state == nullptr) {
        QV_REPORT_CHECK("state");
        return;
    }
    qvDataBase *qvDataNode = (qvDataBase *)qvData2Element::getPtr(state, this);
    if (qvDataNode == nullptr) {
        QV_REPORT_CHECK("qvDataNode = (qvData2Base*) qvData2Element::getPtr(state, this)");
        return;
    }
    if (!QV_REPORT_ASSERT(qvDataNode->isOfType(qvData2Base::getClassTypeId())))
        return;
    qvData2Base *node = static_cast<qvData2Base *>(qvDataNode);
    const float time = qvTimeElement::getSeconds(state);
    const float pastSeconds = (float)past.getValue().getValue();
    const float futureSeconds = (float)future.getValue().getValue();
    int startIdx, endIdx;
    _computeIndices(time, pastSeconds, futureSeconds, node, startIdx, endIdx);
    clampIndices(time, pastSeconds, node, startIdx, endIdx);
    float vmin, vmax, dmin, dmax;
    node->getValueMinMax(vmin, vmax);
    node->getDim2MinMax(dmin, dmax);
    box.setBounds(node->getTime(startIdx) - time, vmin, dmin,
                  node->getTime(endIdx) - time, vmax, dmax);
    center.setValue(time, (vmax - vmin) / 2.0f, (dmax - dmin) / 2.0f);
}

void qvSurface::generatePrimitives(SoAction *action)
{
    SbBox3f box;
    SbVec3f center;
    computeBBox(action, box, center);
    if (box.isEmpty())
        return;
    const SbVec3f &lo = box.getMin();
    const SbVec3f &hi = box.getMax();
    const float y = (hi[1] - lo[1]) / 2.0f;
    const float corners[6][2] = {{lo[0], lo[2]}, {lo[0], hi[2]}, {hi[0], lo[2]},
                                 {lo[0], hi[2]}, {hi[0], hi[2]}, {hi[0], lo[2]}};
    SoPrimitiveVertex pv;
    pv.setNormal(SbVec3f(0, 1, 0));
    beginShape(action, TRIANGLES);
    for (const auto &c : corners) {
        pv.setPoint(SbVec3f(c[0], y, c[1]));
        shapeVertex(&pv);
    }
    endShape();
}

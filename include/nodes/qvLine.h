// Draws the stretch of the current one-dimensional series around the
// current time as a line (or points) in z = 0: x is the sample's time
// minus the current time, y its value. The stretch reaches past seconds
// back and future seconds ahead.
#ifndef QV_LINE_H
#define QV_LINE_H

#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFTime.h>
#include <Inventor/nodes/SoVertexShape.h>

#include <vector>

class qvDataBase;
class qvData1RFloat;
class qvData1NFloat;

class qvLine : public SoVertexShape {
    SO_NODE_HEADER(qvLine);

  public:
    SoSFTime past;
    SoSFTime future;
    // Kept and written; has no effect on the line.
    SoSFFloat complexity;

    static void initClass();
    // Connects past, future and complexity to the global fields "qvPast",
    // "qvFuture" and "qvComplexity" where they exist.
    qvLine();

    virtual SbBool affectsState() const;
    virtual void GLRender(SoGLRenderAction *action);

    // Window of sample indices around time: samples startIdx up to
    // endIdx - 1 are drawn, endIdx bounds the box. Both lie within the
    // series (0 for an empty one).
    void _computeIndices(float time, float past, float future,
                         const qvDataBase *node, int &startIdx, int &endIdx);
    void GLRenderRegular(const qvData1RFloat *node, unsigned glMode, float time,
                         int startIdx, int endIdx);
    void GLRenderNonregular(const qvData1NFloat *node, unsigned glMode,
                            float time, int startIdx, int endIdx);

  protected:
    virtual ~qvLine();
    virtual void computeBBox(SoAction *action, SbBox3f &box, SbVec3f &center);
    // Two triangles over the box's rectangle: a pick hits anywhere in it.
    virtual void generatePrimitives(SoAction *action);

  private:
    // Current series, time and window; false (box left empty) when there
    // is nothing to bound.
    SbBool computeWindowBox(SoAction *action, SbBox3f &box, SbVec3f &center);
    void drawVertices(unsigned glMode, int count);

    // Scratch vertices (x, y) for one draw.
    std::vector<float> vertices;
};

#endif

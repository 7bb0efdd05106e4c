// Draws the stretch of a regular two-dimensional series around the
// current time as a surface: x is the time of a step minus the current
// time, y the value, z the second-dimension position. Lit, it is shaded
// with per-vertex normals computed once into a qvNormal node; marks of
// the current marks series are drawn across it, and a red line shows the
// current time.
#ifndef QV_SURFACE_H
#define QV_SURFACE_H

#include <Inventor/fields/SoMFInt32.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFTime.h>
#include <Inventor/nodes/SoVertexShape.h>

#include <cstdint>
#include <vector>

class SoState;
class qvData1Marks;
class qvData2Base;
class qvData2RNFloat;
class qvDataBase;
class qvNormal;

class qvSurface : public SoVertexShape {
    SO_NODE_HEADER(qvSurface);

  public:
    SoSFTime past;
    SoSFTime future;
    SoSFFloat complexity;

    static void initClass();
    qvSurface();

    virtual SbBool affectsState() const;
    virtual void GLRender(SoGLRenderAction *action);

    // Packed normals of every value of node into normals.
    void GLComputeNormals(const qvData2Base *node, SoMFInt32 &normals);
    // Unit normal of value (i, j) from the neighbour quadrants; up
    // (0, 1, 0) where none can be computed.
    SbVec3f GLcomputeNormal(const qvData2RNFloat *node, int i, int j);

    // The normal node in use; none before the first lit rendering.
    qvNormal *getNormalNode() const { return cachedNormal; }

  protected:
    virtual ~qvSurface();

    virtual void computeBBox(SoAction *action, SbBox3f &box, SbVec3f &center);
    virtual void generatePrimitives(SoAction *action);

    void GLRenderRegular(SoState *state, qvData2RNFloat *node, unsigned glMode,
                         qvNormal *normalNode, float time, int startIdx, int endIdx);
    // Marks first to last; only those within the drawn steps dataStart to
    // dataEnd are drawn.
    void GLRenderMarks(SoState *state, qvData1Marks *marks, qvData2RNFloat *node,
                       float time, int startIdx, int endIdx, int dataStart,
                       int dataEnd);
    void _computeIndices(float time, float past, float future, qvDataBase *node,
                         int &startIdx, int &endIdx);

  private:
    // Window limited to the steps the series holds: startIdx to endIdx - 1
    // each draw a strip to the next step. Empty when startIdx >= endIdx.
    void clampIndices(float time, float past, qvDataBase *node, int &startIdx,
                      int &endIdx);

    // Strips of steps startIdx to endIdx from vertex arrays; packedColors,
    // when given, are the per-vertex materials by value index.
    void drawStrips(unsigned glMode, const qvData2RNFloat *node, float time,
                    int startIdx, int endIdx, const int32_t *normals,
                    int numNormals, const uint32_t *packedColors, int lastColor);

    qvNormal *cachedNormal;
    // Vertex arrays of the last frame, kept to save their allocation.
    std::vector<float> positions;
    std::vector<signed char> normalBytes;
    std::vector<uint8_t> colourBytes;
    std::vector<unsigned> indices;
    int indexedNum2;  // second-index count the indices were made for
    int indexedSteps; // strips the indices cover
};

#endif

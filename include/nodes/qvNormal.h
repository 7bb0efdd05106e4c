// Packed per-vertex normals of a surface, published into the normal
// element. A normal is one 32-bit value: x, y, z of the unit normal, each
// times 127 truncated to a signed byte, from the most significant byte
// down; the low byte is 0.
#ifndef QV_NORMAL_H
#define QV_NORMAL_H

#include <Inventor/SbLinear.h>
#include <Inventor/fields/SoMFInt32.h>
#include <Inventor/nodes/SoSubNode.h>

class qvNormal : public SoNode {
    SO_NODE_HEADER(qvNormal);

  public:
    SoMFInt32 vector;

    static void initClass();
    qvNormal();

    static int32_t pack(const SbVec3f &unitNormal)
    {
        const uint32_t x = (uint8_t)(int8_t)(unitNormal[0] * 127.0f);
        const uint32_t y = (uint8_t)(int8_t)(unitNormal[1] * 127.0f);
        const uint32_t z = (uint8_t)(int8_t)(unitNormal[2] * 127.0f);
        return (int32_t)((x << 24) | (y << 16) | (z << 8));
    }
    // The three signed bytes x, y, z of a packed normal.
    static void unpack(int32_t packed, signed char xyz[3])
    {
        const uint32_t p = (uint32_t)packed;
        xyz[0] = (signed char)(p >> 24);
        xyz[1] = (signed char)(p >> 16);
        xyz[2] = (signed char)(p >> 8);
    }

    virtual void doAction(SoAction *action);
    virtual void GLRender(SoGLRenderAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);
    virtual void callback(SoCallbackAction *action);
    virtual void pick(SoPickAction *action);

  protected:
    virtual ~qvNormal();
};

#endif

// An engine with a scalar, a vector and a node input and two outputs.
// It is registered so that scenes naming it read and write; it leaves its
// outputs untouched.
#ifndef QV_MULT_FLOAT_VEC3F_H
#define QV_MULT_FLOAT_VEC3F_H

#include <Inventor/engines/SoSubEngine.h>
#include <Inventor/fields/SoMFUInt32.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFNode.h>
#include <Inventor/fields/SoSFVec3f.h>

class qvMultFloatVec3f : public SoEngine {
    SO_ENGINE_HEADER(qvMultFloatVec3f);

  public:
    SoSFFloat scalar;
    SoSFVec3f vector;
    SoSFNode node;

    SoEngineOutput product;  // SoSFFloat
    SoEngineOutput product2; // SoMFUInt32

    static void initClass();
    qvMultFloatVec3f();

  protected:
    virtual ~qvMultFloatVec3f();
    virtual void evaluate();
    virtual void inputChanged(SoField *whichField);
};

#endif

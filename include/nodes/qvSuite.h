// The kit node: naming it in a scene file loads the toolkit, registers
// all of its types, and extends the reader's search path once.
#ifndef QV_SUITE_H
#define QV_SUITE_H

#include <Inventor/fields/SoMFString.h>
#include <Inventor/nodes/SoSubNode.h>

class qvSuite : public SoNode {
    SO_NODE_HEADER(qvSuite);

  public:
    SoMFString directories;

    static void initClass();
    // Registers every element, node and engine type of the toolkit.
    static void initClasses();

    qvSuite();

    virtual void doAction(SoAction *action);
    virtual void GLRender(SoGLRenderAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);

  protected:
    virtual ~qvSuite();

  private:
    SbBool directoriesAdded;
};

// The entry the scene reader looks up after loading "qvSuite.so".
extern "C" void initClass__7qvSuite();

#endif

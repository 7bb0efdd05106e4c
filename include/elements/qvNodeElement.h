// Base of the elements that carry the current data node of a kind
// through a traversal. It has no stack of its own: each subclass gets one.
#ifndef QV_NODE_ELEMENT_H
#define QV_NODE_ELEMENT_H

#include <Inventor/elements/SoReplacedElement.h>

#include <qvDebug.h>

class qvDataBase;

class qvNodeElement : public SoReplacedElement {
    SO_ELEMENT_ABSTRACT_HEADER(qvNodeElement);

  public:
    static void initClass();

    virtual void init(SoState *state);
    virtual void push(SoState *state);
    virtual void pop(SoState *state, const SoElement *prevTopElement);
    virtual SbBool matches(const SoElement *elt) const;
    virtual SoElement *copyMatchInfo() const;
    virtual ~qvNodeElement();
    virtual void setElt(const qvDataBase *node, SoType type);

    // Never called by the toolkit; kept for symmetry with the subclasses.
    static void set(SoState *state, const qvDataBase *node, SoType type);

    const qvDataBase *getNode() const { return node; }
    SoType getStoredType() const { return type; }

  protected:
    // Writable fetch of the element at stackIndex, stamped with caller's id.
    static qvNodeElement *fetchForReading(SoState *state, int stackIndex,
                                          SoNode *caller);
    static SoType fetchType(SoState *state, int stackIndex);
    static void publish(SoState *state, int stackIndex,
                        const qvDataBase *node, SoType type);

    const qvDataBase *node;
    SoType type;
};

#endif

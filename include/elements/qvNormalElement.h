// Current normal node (packed per-vertex normals of a surface).
#ifndef QV_NORMAL_ELEMENT_H
#define QV_NORMAL_ELEMENT_H

#include <elements/qvNodeElement.h>

class qvNormal;

class qvNormalElement : public qvNodeElement {
    SO_ELEMENT_HEADER(qvNormalElement);

  public:
    static void initClass();

    virtual void init(SoState *state);
    virtual void push(SoState *state);
    virtual SbBool matches(const SoElement *elt) const;
    virtual SoElement *copyMatchInfo() const;
    virtual ~qvNormalElement();
    using qvNodeElement::setElt;
    virtual void setElt(qvNormal *node, SoType type);

    static void set(SoState *state, qvNormal *node, SoType type);
    static qvNormal *getPtr(SoState *state, SoNode *caller)
    {
        const qvNodeElement *elt = fetchForReading(state, classStackIndex, caller);
        return elt != nullptr ? ((const qvNormalElement *)elt)->normalNode : nullptr;
    }
    static SoType getType(SoState *state)
    {
        return fetchType(state, classStackIndex);
    }

  private:
    qvNormal *normalNode;
};

#endif

// Current one-dimensional series of a traversal.
#ifndef QV_DATA1_ELEMENT_H
#define QV_DATA1_ELEMENT_H

#include <elements/qvNodeElement.h>

class qvData1Element : public qvNodeElement {
    SO_ELEMENT_HEADER(qvData1Element);

  public:
    static void initClass();
    virtual ~qvData1Element();

    static void set(SoState *state, const qvDataBase *node, SoType type)
    {
        publish(state, classStackIndex, node, type);
    }
    // The published node, or none; the caller's id stamps the element.
    static const qvDataBase *getPtr(SoState *state, SoNode *caller)
    {
        const qvNodeElement *elt = fetchForReading(state, classStackIndex, caller);
        return elt != nullptr ? elt->getNode() : nullptr;
    }
    static SoType getType(SoState *state)
    {
        return fetchType(state, classStackIndex);
    }
};

#endif

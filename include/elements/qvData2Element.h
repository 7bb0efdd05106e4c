// Current two-dimensional series of a traversal.
#ifndef QV_DATA2_ELEMENT_H
#define QV_DATA2_ELEMENT_H

#include <elements/qvNodeElement.h>

class qvData2Element : public qvNodeElement {
    SO_ELEMENT_HEADER(qvData2Element);

  public:
    static void initClass();
    virtual ~qvData2Element();

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

#include <elements/qvData2Element.h>

SO_ELEMENT_SOURCE(qvData2Element);

void qvData2Element::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_ELEMENT_INIT_CLASS(qvData2Element, qvNodeElement);
}

qvData2Element::~qvData2Element() {}

#include <elements/qvData1Element.h>

SO_ELEMENT_SOURCE(qvData1Element);

void qvData1Element::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_ELEMENT_INIT_CLASS(qvData1Element, qvNodeElement);
}

qvData1Element::~qvData1Element() {}

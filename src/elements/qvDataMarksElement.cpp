#include <elements/qvDataMarksElement.h>

SO_ELEMENT_SOURCE(qvDataMarksElement);

void qvDataMarksElement::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_ELEMENT_INIT_CLASS(qvDataMarksElement, qvNodeElement);
}

qvDataMarksElement::~qvDataMarksElement() {}

#include <engines/qvMultFloatVec3f.h>

SO_ENGINE_SOURCE(qvMultFloatVec3f);

void qvMultFloatVec3f::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_ENGINE_INIT_CLASS(qvMultFloatVec3f, SoEngine, "Engine");
}

qvMultFloatVec3f::qvMultFloatVec3f()
{
    SO_ENGINE_CONSTRUCTOR(qvMultFloatVec3f);
    SO_ENGINE_ADD_INPUT(scalar, (0.0f));
    SO_ENGINE_ADD_INPUT(vector, (0.0f, 0.0f, 0.0f));
    SO_ENGINE_ADD_INPUT(node, (NULL));
    SO_ENGINE_ADD_OUTPUT(product, SoSFFloat);
    SO_ENGINE_ADD_OUTPUT(product2, SoMFUInt32);
}

qvMultFloatVec3f::~qvMultFloatVec3f() {}

void qvMultFloatVec3f::inputChanged(SoField *) {}

// The outputs carry nothing: connected fields keep their values.
void qvMultFloatVec3f::evaluate() {}

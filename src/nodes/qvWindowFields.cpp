#include <nodes/qvWindowFields.h>

#include <Inventor/SoDB.h>

static void connectGlobal(SoField &field, const char *name)
{
    SoField *global = SoDB::getGlobalField(name);
    if (global != nullptr)
        field.connectFrom(global);
}

void qvConnectWindowFields(SoSFTime &past, SoSFTime &future, SoSFFloat &complexity)
{
    connectGlobal(past, "qvPast");
    connectGlobal(future, "qvFuture");
    connectGlobal(complexity, "qvComplexity");
}

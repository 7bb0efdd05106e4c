// Typed parameter lists of the digital-media layer: named values of type
// enum, int, float, string or nested list; a value set under a name is
// read back under it.
#ifndef QV_DM_PARAMS_H
#define QV_DM_PARAMS_H

#include <dmedia/dmedia.h>

#include <cstddef>

typedef struct _DMparams DMparams;

typedef enum {
    DM_TYPE_ENUM = 1,
    DM_TYPE_INT,
    DM_TYPE_STRING,
    DM_TYPE_FLOAT,
    DM_TYPE_PARAMS,
    DM_TYPE_INVALID = -1
} DMparamtype;

typedef int DMboolean;
#ifndef DM_TRUE
#define DM_TRUE 1
#define DM_FALSE 0
#endif

// Error numbers recorded by the layer (dmGetError).
enum {
    DM_ERR_BAD_ARGUMENT = 1001,
    DM_ERR_NO_SUCH_ELEM,
    DM_ERR_WRONG_TYPE,
    DM_ERR_UNSUPPORTED,
    DM_ERR_NO_BUFFER,
    DM_ERR_QUEUE_EMPTY,
    DM_ERR_CONVERSION,
    DM_ERR_NO_MEMORY
};

DMstatus dmParamsCreate(DMparams **params);
void dmParamsDestroy(DMparams *params);

// Copies every element of from into to (replacing those of equal name).
DMstatus dmParamsCopyAllElems(const DMparams *from, DMparams *to);
DMstatus dmParamsCopyElem(const DMparams *from, const char *name, DMparams *to);

// Removes the element of that name; nothing when there is none.
void dmParamsRemoveElem(DMparams *params, const char *name);

DMstatus dmParamsSetEnum(DMparams *params, const char *name, int value);
DMstatus dmParamsSetInt(DMparams *params, const char *name, int value);
DMstatus dmParamsSetFloat(DMparams *params, const char *name, double value);
DMstatus dmParamsSetString(DMparams *params, const char *name,
                           const char *value);
// Stores a copy of the list value.
DMstatus dmParamsSetParams(DMparams *params, const char *name,
                           const DMparams *value);

// Readers answer 0, 0.0 or none (and record an error) for a missing name
// or a value of another type.
int dmParamsGetEnum(const DMparams *params, const char *name);
int dmParamsGetInt(const DMparams *params, const char *name);
double dmParamsGetFloat(const DMparams *params, const char *name);
const char *dmParamsGetString(const DMparams *params, const char *name);
const DMparams *dmParamsGetParams(const DMparams *params, const char *name);

DMboolean dmParamsIsPresent(const DMparams *params, const char *name);
DMparamtype dmParamsGetElemType(const DMparams *params, const char *name);
// Elements in the order they were first set.
int dmParamsGetNumElems(const DMparams *params);
const char *dmParamsGetElem(const DMparams *params, int index);
DMparamtype dmParamsGetElemTypeByIndex(const DMparams *params, int index);

#endif

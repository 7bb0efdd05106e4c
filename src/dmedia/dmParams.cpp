#include <dmedia/dm_params.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

struct _DMparams {
    struct Elem {
        std::string name;
        DMparamtype type = DM_TYPE_INVALID;
        long long intValue = 0;
        double floatValue = 0.0;
        std::string stringValue;
        std::unique_ptr<DMparams> listValue;
    };
    std::vector<Elem> elems;

    Elem *find(const char *name)
    {
        for (Elem &e : elems)
            if (e.name == name)
                return &e;
        return nullptr;
    }
    const Elem *find(const char *name) const
    {
        return const_cast<_DMparams *>(this)->find(name);
    }
    // The element of that name, made anew with the given type.
    Elem &slot(const char *name, DMparamtype type)
    {
        Elem *e = find(name);
        if (e == nullptr) {
            elems.emplace_back();
            e = &elems.back();
            e->name = name;
        }
        e->type = type;
        e->intValue = 0;
        e->floatValue = 0.0;
        e->stringValue.clear();
        e->listValue.reset();
        return *e;
    }
};

namespace {

bool badName(const DMparams *params, const char *name)
{
    if (params == nullptr || name == nullptr || name[0] == '\0') {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no parameter list or empty name");
        return true;
    }
    return false;
}

const _DMparams::Elem *typed(const DMparams *params, const char *name,
                            DMparamtype type)
{
    if (badName(params, name))
        return nullptr;
    const _DMparams::Elem *e = params->find(name);
    if (e == nullptr) {
        dmSetError(DM_ERR_NO_SUCH_ELEM, "no parameter \"%s\"", name);
        return nullptr;
    }
    if (e->type != type) {
        dmSetError(DM_ERR_WRONG_TYPE, "parameter \"%s\" is of another type",
                   name);
        return nullptr;
    }
    return e;
}

void copyElem(const _DMparams::Elem &from, DMparams *to)
{
    _DMparams::Elem &e = to->slot(from.name.c_str(), from.type);
    e.intValue = from.intValue;
    e.floatValue = from.floatValue;
    e.stringValue = from.stringValue;
    if (from.listValue) {
        e.listValue.reset(new _DMparams);
        dmParamsCopyAllElems(from.listValue.get(), e.listValue.get());
    }
}

} // namespace

DMstatus dmParamsCreate(DMparams **params)
{
    if (params == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no place for the parameter list");
        return DM_FAILURE;
    }
    *params = new _DMparams;
    return DM_SUCCESS;
}

void dmParamsDestroy(DMparams *params)
{
    delete params;
}

DMstatus dmParamsCopyAllElems(const DMparams *from, DMparams *to)
{
    if (from == nullptr || to == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no parameter list");
        return DM_FAILURE;
    }
    if (from == to)
        return DM_SUCCESS;
    for (const _DMparams::Elem &e : from->elems)
        copyElem(e, to);
    return DM_SUCCESS;
}

DMstatus dmParamsCopyElem(const DMparams *from, const char *name, DMparams *to)
{
    if (badName(from, name) || to == nullptr)
        return DM_FAILURE;
    const _DMparams::Elem *e = from->find(name);
    if (e == nullptr) {
        dmSetError(DM_ERR_NO_SUCH_ELEM, "no parameter \"%s\"", name);
        return DM_FAILURE;
    }
    if (from != to)
        copyElem(*e, to);
    return DM_SUCCESS;
}

void dmParamsRemoveElem(DMparams *params, const char *name)
{
    if (params == nullptr || name == nullptr)
        return;
    for (size_t i = 0; i < params->elems.size(); ++i)
        if (params->elems[i].name == name) {
            params->elems.erase(params->elems.begin() + (long)i);
            return;
        }
}

DMstatus dmParamsSetEnum(DMparams *params, const char *name, int value)
{
    if (badName(params, name))
        return DM_FAILURE;
    params->slot(name, DM_TYPE_ENUM).intValue = value;
    return DM_SUCCESS;
}

DMstatus dmParamsSetInt(DMparams *params, const char *name, int value)
{
    if (badName(params, name))
        return DM_FAILURE;
    params->slot(name, DM_TYPE_INT).intValue = value;
    return DM_SUCCESS;
}

DMstatus dmParamsSetFloat(DMparams *params, const char *name, double value)
{
    if (badName(params, name))
        return DM_FAILURE;
    params->slot(name, DM_TYPE_FLOAT).floatValue = value;
    return DM_SUCCESS;
}

DMstatus dmParamsSetString(DMparams *params, const char *name,
                           const char *value)
{
    if (badName(params, name))
        return DM_FAILURE;
    if (value == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no string for \"%s\"", name);
        return DM_FAILURE;
    }
    std::string copy(value); // value may live in the element itself
    params->slot(name, DM_TYPE_STRING).stringValue = copy;
    return DM_SUCCESS;
}

DMstatus dmParamsSetParams(DMparams *params, const char *name,
                           const DMparams *value)
{
    if (badName(params, name))
        return DM_FAILURE;
    if (value == nullptr || value == params) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no usable list for \"%s\"", name);
        return DM_FAILURE;
    }
    std::unique_ptr<DMparams> copy(new _DMparams);
    dmParamsCopyAllElems(value, copy.get());
    params->slot(name, DM_TYPE_PARAMS).listValue = std::move(copy);
    return DM_SUCCESS;
}

int dmParamsGetEnum(const DMparams *params, const char *name)
{
    const _DMparams::Elem *e = typed(params, name, DM_TYPE_ENUM);
    return e != nullptr ? (int)e->intValue : 0;
}

int dmParamsGetInt(const DMparams *params, const char *name)
{
    const _DMparams::Elem *e = typed(params, name, DM_TYPE_INT);
    return e != nullptr ? (int)e->intValue : 0;
}

double dmParamsGetFloat(const DMparams *params, const char *name)
{
    const _DMparams::Elem *e = typed(params, name, DM_TYPE_FLOAT);
    return e != nullptr ? e->floatValue : 0.0;
}

const char *dmParamsGetString(const DMparams *params, const char *name)
{
    const _DMparams::Elem *e = typed(params, name, DM_TYPE_STRING);
    return e != nullptr ? e->stringValue.c_str() : nullptr;
}

const DMparams *dmParamsGetParams(const DMparams *params, const char *name)
{
    const _DMparams::Elem *e = typed(params, name, DM_TYPE_PARAMS);
    return e != nullptr ? e->listValue.get() : nullptr;
}

DMboolean dmParamsIsPresent(const DMparams *params, const char *name)
{
    return params != nullptr && name != nullptr && params->find(name) != nullptr;
}

DMparamtype dmParamsGetElemType(const DMparams *params, const char *name)
{
    if (params == nullptr || name == nullptr)
        return DM_TYPE_INVALID;
    const _DMparams::Elem *e = params->find(name);
    return e != nullptr ? e->type : DM_TYPE_INVALID;
}

int dmParamsGetNumElems(const DMparams *params)
{
    return params != nullptr ? (int)params->elems.size() : 0;
}

const char *dmParamsGetElem(const DMparams *params, int index)
{
    if (params == nullptr || index < 0 || index >= (int)params->elems.size())
        return nullptr;
    return params->elems[(size_t)index].name.c_str();
}

DMparamtype dmParamsGetElemTypeByIndex(const DMparams *params, int index)
{
    if (params == nullptr || index < 0 || index >= (int)params->elems.size())
        return DM_TYPE_INVALID;
    return params->elems[(size_t)index].type;
}

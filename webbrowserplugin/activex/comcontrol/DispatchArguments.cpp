#include "DispatchArguments.h"

namespace comcontrol {

namespace {

// The function description of dispid, or null; the caller releases it.
FUNCDESC* FindFunction(ITypeInfo* typeInfo, DISPID dispid)
{
    TYPEATTR* attr = nullptr;
    if (FAILED(typeInfo->GetTypeAttr(&attr)))
        return nullptr;
    WORD count = attr->cFuncs;
    typeInfo->ReleaseTypeAttr(attr);
    for (WORD i = 0; i < count; ++i) {
        FUNCDESC* desc = nullptr;
        if (FAILED(typeInfo->GetFuncDesc(i, &desc)))
            continue;
        if (desc->memid == dispid)
            return desc;
        typeInfo->ReleaseFuncDesc(desc);
    }
    return nullptr;
}

} // namespace

DispatchArguments::~DispatchArguments() { Clear(); }

void DispatchArguments::Clear()
{
    for (VARIANT& value : values)
        VariantClear(&value);
    values.clear();
}

HRESULT DispatchArguments::Convert(ITypeInfo* typeInfo, DISPID dispid, WORD flags,
                                   const DISPPARAMS* params, UINT* argError)
{
    Clear();
    if (!typeInfo || !params)
        return E_INVALIDARG;
    if (!(flags & DISPATCH_METHOD))
        return DISP_E_MEMBERNOTFOUND;
    if (params->cNamedArgs != 0)
        return DISP_E_NONAMEDARGS;
    FUNCDESC* desc = FindFunction(typeInfo, dispid);
    if (!desc)
        return DISP_E_MEMBERNOTFOUND;
    HRESULT hr = S_OK;
    UINT count = static_cast<UINT>(desc->cParams);
    if (params->cArgs != count || (count != 0 && !params->rgvarg)) {
        hr = DISP_E_BADPARAMCOUNT;
    } else {
        resultType = desc->elemdescFunc.tdesc.vt;
        values.resize(count);
        for (VARIANT& value : values)
            VariantInit(&value);
        for (UINT i = 0; i < count && SUCCEEDED(hr); ++i) {
            // The caller passes the arguments last to first.
            UINT callerIndex = count - 1 - i;
            VARTYPE wanted = desc->lprgelemdescParam[i].tdesc.vt;
            VARIANT source;
            VariantInit(&source);
            HRESULT copied = VariantCopyInd(&source, &params->rgvarg[callerIndex]);
            if (SUCCEEDED(copied) && (V_VT(&source) == VT_EMPTY || V_VT(&source) == VT_ERROR)) {
                hr = DISP_E_PARAMNOTOPTIONAL;
            } else if (FAILED(copied) || FAILED(VariantChangeType(&values[i], &source, 0, wanted))) {
                hr = DISP_E_TYPEMISMATCH;
            }
            if (FAILED(hr) && argError)
                *argError = callerIndex;
            VariantClear(&source);
        }
    }
    typeInfo->ReleaseFuncDesc(desc);
    if (FAILED(hr))
        Clear();
    return hr;
}

} // namespace comcontrol

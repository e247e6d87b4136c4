// The arguments of one IDispatch::Invoke call of a method, converted to the
// types the type library declares for it, in declaration order.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <vector>

namespace comcontrol {

class DispatchArguments {
public:
    DispatchArguments() = default;
    ~DispatchArguments();
    DispatchArguments(const DispatchArguments&) = delete;
    DispatchArguments& operator=(const DispatchArguments&) = delete;

    // Looks dispid up in typeInfo and converts params. Failures are those of
    // IDispatch::Invoke: DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT,
    // DISP_E_NONAMEDARGS, DISP_E_PARAMNOTOPTIONAL or DISP_E_TYPEMISMATCH with
    // the failing argument's index (as the caller numbered it) in argError.
    HRESULT Convert(ITypeInfo* typeInfo, DISPID dispid, WORD flags, const DISPPARAMS* params,
                    UINT* argError);

    UINT Count() const { return static_cast<UINT>(values.size()); }
    VARIANT* Values() { return values.empty() ? nullptr : values.data(); }
    VARTYPE ResultType() const { return resultType; }

private:
    void Clear();
    std::vector<VARIANT> values;
    VARTYPE resultType = VT_EMPTY;
};

} // namespace comcontrol

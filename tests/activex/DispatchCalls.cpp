#include "DispatchCalls.h"

#include <algorithm>
#include <vector>

namespace activex_test {

VARIANT Bool(bool value)
{
    VARIANT v;
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT Uint(ULONG value)
{
    VARIANT v;
    V_VT(&v) = VT_UI4;
    V_UI4(&v) = value;
    return v;
}

VARIANT Text(const wchar_t* text)
{
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(text);
    return v;
}

HRESULT CallById(IDispatch* control, DISPID dispid, std::initializer_list<VARIANT> args,
                 VARIANT* result, UINT* argError)
{
    std::vector<VARIANT> reversed(args.begin(), args.end());
    std::reverse(reversed.begin(), reversed.end());
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr,
                         static_cast<UINT>(reversed.size()), 0};
    VariantInit(result);
    HRESULT hr = control->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                 result, nullptr, argError);
    for (VARIANT& v : reversed)
        VariantClear(&v);
    return hr;
}

HRESULT CallByName(IDispatch* control, const wchar_t* name, std::initializer_list<VARIANT> args,
                   VARIANT* result, UINT* argError)
{
    DISPID dispid = 0;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
    if (FAILED(hr)) {
        for (VARIANT v : args)
            VariantClear(&v);
        return hr;
    }
    return CallById(control, dispid, args, result, argError);
}

std::wstring TextOf(VARIANT& value)
{
    std::wstring text = V_VT(&value) == VT_BSTR && V_BSTR(&value) ? V_BSTR(&value) : L"<not text>";
    VariantClear(&value);
    return text;
}

} // namespace activex_test

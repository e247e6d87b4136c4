// A page's calls into the control through IDispatch, by name or by dispatch
// identifier, with arguments given in declaration order.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <string>

namespace activex_test {

VARIANT Bool(bool value);
VARIANT Uint(ULONG value);
VARIANT Text(const wchar_t* text);

// Invoke with the arguments (which it clears afterwards); result is filled.
HRESULT CallById(IDispatch* control, DISPID dispid, std::initializer_list<VARIANT> args,
                 VARIANT* result, UINT* argError = nullptr);
// GetIDsOfNames, then CallById.
HRESULT CallByName(IDispatch* control, const wchar_t* name, std::initializer_list<VARIANT> args,
                   VARIANT* result, UINT* argError = nullptr);

// The text of a BSTR result, which it clears; "<not text>" for another type.
std::wstring TextOf(VARIANT& value);

} // namespace activex_test

#include "PropertyPage.h"

#include "ComModule.h"

namespace comcontrol {

PropertyPage::PropertyPage(const CLSID& clsid, UINT dialogId, UINT captionId)
    : clsid(clsid), dialogId(dialogId), captionId(captionId)
{
    ComModule::ObjectCreated();
}

PropertyPage::~PropertyPage()
{
    Deactivate();
    if (site)
        site->Release();
    ComModule::ObjectDestroyed();
}

STDMETHODIMP PropertyPage::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPage)) {
        *object = static_cast<IPropertyPage*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PropertyPage::AddRef() { return InterlockedIncrement(&references); }

STDMETHODIMP_(ULONG) PropertyPage::Release()
{
    LONG left = InterlockedDecrement(&references);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP PropertyPage::SetPageSite(IPropertyPageSite* newSite)
{
    if (newSite)
        newSite->AddRef();
    if (site)
        site->Release();
    site = newSite;
    return S_OK;
}

INT_PTR CALLBACK PropertyPage::DialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

STDMETHODIMP PropertyPage::Activate(HWND parent, LPCRECT rect, BOOL)
{
    if (dialog)
        return E_UNEXPECTED;
    dialog = CreateDialogParamW(ComModule::Instance(), MAKEINTRESOURCEW(dialogId), parent,
                                DialogProc, 0);
    if (!dialog)
        return E_FAIL;
    if (rect)
        Move(rect);
    return S_OK;
}

STDMETHODIMP PropertyPage::Deactivate()
{
    if (dialog) {
        DestroyWindow(dialog);
        dialog = nullptr;
    }
    return S_OK;
}

SIZE PropertyPage::DialogSize() const
{
    SIZE size = {0, 0};
    HRSRC found = FindResourceW(ComModule::Instance(), MAKEINTRESOURCEW(dialogId),
                                MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    HGLOBAL loaded = found ? LoadResource(ComModule::Instance(), found) : nullptr;
    const DLGTEMPLATE* dialogTemplate =
        loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
    if (!dialogTemplate || SizeofResource(ComModule::Instance(), found) < sizeof(DLGTEMPLATE))
        return size;
    LONG units = GetDialogBaseUnits();
    size.cx = MulDiv(dialogTemplate->cx, LOWORD(units), 4);
    size.cy = MulDiv(dialogTemplate->cy, HIWORD(units), 8);
    return size;
}

STDMETHODIMP PropertyPage::GetPageInfo(PROPPAGEINFO* info)
{
    if (!info)
        return E_POINTER;
    wchar_t caption[256] = L"";
    LoadStringW(ComModule::Instance(), captionId, caption, 256);
    size_t bytes = (wcslen(caption) + 1) * sizeof(wchar_t);
    info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!info->pszTitle)
        return E_OUTOFMEMORY;
    memcpy(info->pszTitle, caption, bytes);
    info->cb = sizeof(PROPPAGEINFO);
    info->size = DialogSize();
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
}

STDMETHODIMP PropertyPage::SetObjects(ULONG, IUnknown**) { return S_OK; }

STDMETHODIMP PropertyPage::Show(UINT command)
{
    if (dialog)
        ShowWindow(dialog, command);
    return S_OK;
}

STDMETHODIMP PropertyPage::Move(LPCRECT rect)
{
    if (!rect)
        return E_POINTER;
    if (dialog)
        MoveWindow(dialog, rect->left, rect->top, rect->right - rect->left,
                   rect->bottom - rect->top, TRUE);
    return S_OK;
}

STDMETHODIMP PropertyPage::IsPageDirty() { return S_FALSE; }

STDMETHODIMP PropertyPage::Apply() { return S_OK; }

STDMETHODIMP PropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; }

STDMETHODIMP PropertyPage::TranslateAccelerator(MSG* msg)
{
    if (!msg)
        return E_POINTER;
    return dialog && IsDialogMessageW(dialog, msg) ? S_OK : S_FALSE;
}

} // namespace comcontrol

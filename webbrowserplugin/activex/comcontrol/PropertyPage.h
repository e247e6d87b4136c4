// A property page shown from a dialog resource; it binds no property.
#pragma once

#include <windows.h>
#include <ocidl.h>

namespace comcontrol {

class PropertyPage : public IPropertyPage {
public:
    PropertyPage(const CLSID& clsid, UINT dialogId, UINT captionId);
    virtual ~PropertyPage();

    const CLSID& ClassId() const { return clsid; }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    STDMETHODIMP Deactivate() override;
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
    STDMETHODIMP Show(UINT command) override;
    STDMETHODIMP Move(LPCRECT rect) override;
    STDMETHODIMP IsPageDirty() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP Help(LPCOLESTR helpDir) override;
    STDMETHODIMP TranslateAccelerator(MSG* msg) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    SIZE DialogSize() const;

    CLSID clsid;
    UINT dialogId;
    UINT captionId;
    volatile LONG references = 1;
    IPropertyPageSite* site = nullptr;
    HWND dialog = nullptr;
};

} // namespace comcontrol

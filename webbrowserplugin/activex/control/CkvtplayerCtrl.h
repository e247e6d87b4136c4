// The Internet Explorer front end: the control the page scripts through its
// 45 methods and whose 15 events it hears. It creates its window as soon as
// it is sited and initialises itself there.
#pragma once

#include <windows.h>
#include <objsafe.h>

#include <map>
#include <string>

#include "KeyCombination.h"
#include "OleControl.h"

namespace kvtplayer {

class CkvtplayerCtrl : public comcontrol::OleControl {
public:
    CkvtplayerCtrl();
    ~CkvtplayerCtrl() override;

    static HRESULT Create(REFIID iid, void** object);

    // Hook state of the library, for tests of the reference counting.
    static LONG HookReferenceCount();
    static CkvtplayerCtrl* ActiveControl();

    BOOL IsPassAllKey() const { return passAllKeys; }
    BOOL IsInterceptAllKey() const { return interceptAllKeys; }
    BOOL IsInterceptMouseMessage() const { return interceptMouseMessages; }
    BOOL IsPassKey(const KeyCombination& key) const;
    BOOL IsInterceptKey(const KeyCombination& key) const;
    void Cleanup();

    HRESULT GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled);
    HRESULT SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled);

protected:
    HRESULT InvokeMethod(DISPID dispid, VARIANT* args, UINT count, VARIANT* result) override;
    IUnknown* QueryExtraInterface(REFIID iid) override;
    void OnSetClientSite() override;
    void OnDraw(HDC dc, const RECT& bounds, const RECT& invalid) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    HRESULT OnActivateInPlace(BOOL uiActivate, MSG* msg) override;
    void OnClose(DWORD saveOption) override;
    void GetPropPageIDs(std::vector<CLSID>& pages) override;

private:
    class XObjectSafety : public IObjectSafety {
    public:
        explicit XObjectSafety(CkvtplayerCtrl* owner) : owner(owner) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;
        STDMETHODIMP GetInterfaceSafetyOptions(REFIID iid, DWORD* supported,
                                               DWORD* enabled) override;
        STDMETHODIMP SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override;

    private:
        CkvtplayerCtrl* owner;
    };

    static LRESULT CALLBACK GetMessageHookProc(int code, WPARAM removal, LPARAM message);

    int OnCreate();
    void OnTimer();
    void EnsureInitialized();
    void FireTextEvent(DISPID dispid, const char* text);
    bool IsPersistenceInterface(REFIID iid) const;
    HRESULT CallKeyMethod(DISPID dispid, VARIANT* args, VARIANT* result);
    HRESULT CallHostMethod(DISPID dispid, VARIANT* args, VARIANT* result);

    XObjectSafety objectSafety;
    std::map<KeyCombination, bool> interceptKeys;
    std::map<KeyCombination, bool> passKeys;
    bool holdsHook = false;
    bool passAllKeys = false;
    bool interceptAllKeys = false;
    bool interceptMouseMessages = true;
    bool initialized = false;
};

// UTF-16 and ANSI code page conversions of the script's texts.
bool AnsiToWide(const char* text, std::wstring& result);
bool WideToAnsi(const wchar_t* text, std::string& result);

} // namespace kvtplayer

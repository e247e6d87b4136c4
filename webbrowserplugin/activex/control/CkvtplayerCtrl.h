// The Internet Explorer front end: the control the page scripts through its
// 45 methods and whose 15 events it hears. It embeds the game host, creates
// its window as soon as it is sited and initialises itself there.
#pragma once

#include <windows.h>
#include <objsafe.h>

#include <string>

#include "GameLoader.h"
#include "IGameHostOwner.h"
#include "KeyRouting.h"
#include "MessageHook.h"
#include "OleControl.h"

namespace kvtplayer {

class CkvtplayerCtrl : public comcontrol::OleControl,
                       public IGameHostOwner,
                       public IInputTarget {
public:
    CkvtplayerCtrl();
    ~CkvtplayerCtrl() override;

    static HRESULT Create(REFIID iid, void** object);

    // The control the keyboard hook acts for (the one last UI-activated).
    static CkvtplayerCtrl* ActiveControl();
    static int HookReferenceCount();

    void Cleanup();
    bool IsInitialized() const { return initialized; }
    GameLoader& Loader() { return loader; }

    HRESULT GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled);
    HRESULT SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled);

    // IGameHostOwner
    void FirePageEvent(int number, const char* name, const ScriptValue* args,
                       size_t count) override;

    // IInputTarget
    KeyRouting& GetKeyRouting() override { return keys; }
    HWND GetInputWindow() override { return Window(); }
    LRESULT HandleInterceptedMessage(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) override;

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

    int OnCreate();
    void OnTimer();
    void EnsureInitialized();
    void ForwardToGame(UINT message, WPARAM wParam, LPARAM lParam);
    void FireTextEvent(DISPID dispid, const char* text);
    bool IsPersistenceInterface(REFIID iid) const;

    XObjectSafety objectSafety;
    GameLoader loader;
    KeyRouting keys;
    bool holdsHook = false;
    bool initialized = false;
};

// UTF-16 and ANSI code page conversions of the script's texts, whole however
// long they are.
bool AnsiToWide(const char* text, std::wstring& result);
bool WideToAnsi(const wchar_t* text, std::string& result);

} // namespace kvtplayer

// A class factory of the library: a static object that creates one class
// through a creation function and counts its server locks in ComModule.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace comcontrol {

class ClassFactory : public IClassFactory {
public:
    typedef HRESULT (*CreateFunction)(REFIID iid, void** object);

    ClassFactory(const CLSID& clsid, CreateFunction create);
    virtual ~ClassFactory() = default;

    const CLSID& ClassId() const { return clsid; }

    // Writes (register true) or removes (false) the class's registry keys.
    virtual bool UpdateRegistry(bool doRegister) = 0;

    // The factory of clsid among factories, asked for iid.
    static HRESULT GetClassObject(ClassFactory* const* factories, size_t count, REFCLSID clsid,
                                  REFIID iid, void** object);

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    CLSID clsid;
    CreateFunction create;
};

} // namespace comcontrol

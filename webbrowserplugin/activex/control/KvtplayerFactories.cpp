#include "KvtplayerFactories.h"

#include "CkvtplayerCtrl.h"
#include "CkvtplayerPropPage.h"
#include "ComModule.h"
#include "ControlRegistration.h"
#include "KvtplayerIds.h"

namespace kvtplayer {

CkvtplayerCtrlFactory::CkvtplayerCtrlFactory()
    : ClassFactory(kControlClsid, &CkvtplayerCtrl::Create)
{
}

bool CkvtplayerCtrlFactory::UpdateRegistry(bool doRegister)
{
    return doRegister ? WriteControlClassKeys(comcontrol::ComModule::Instance())
                      : RemoveControlClassKeys();
}

CkvtplayerPropPageFactory::CkvtplayerPropPageFactory()
    : ClassFactory(kPropPageClsid, &CkvtplayerPropPage::Create)
{
}

bool CkvtplayerPropPageFactory::UpdateRegistry(bool doRegister)
{
    return doRegister ? WritePropPageClassKeys(comcontrol::ComModule::Instance())
                      : RemovePropPageClassKeys();
}

comcontrol::ClassFactory* const* LibraryFactories(size_t* count)
{
    static CkvtplayerCtrlFactory controlFactory;
    static CkvtplayerPropPageFactory pageFactory;
    static comcontrol::ClassFactory* const factories[] = {&controlFactory, &pageFactory};
    *count = 2;
    return factories;
}

} // namespace kvtplayer

#include "CkvtplayerPropPage.h"

#include <new>

#include "KvtplayerIds.h"
#include "KvtplayerResources.h"

namespace kvtplayer {

CkvtplayerPropPage::CkvtplayerPropPage()
    : PropertyPage(kPropPageClsid, IDD_PROPPAGE_KVTPLAYER, IDS_KVTPLAYER_PPG_CAPTION)
{
}

HRESULT CkvtplayerPropPage::Create(REFIID iid, void** object)
{
    CkvtplayerPropPage* page = new (std::nothrow) CkvtplayerPropPage();
    if (!page)
        return E_OUTOFMEMORY;
    HRESULT hr = page->QueryInterface(iid, object);
    page->Release();
    return hr;
}

} // namespace kvtplayer

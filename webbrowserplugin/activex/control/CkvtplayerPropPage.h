// The control's (empty) property page: dialog 200 with the caption "General".
#pragma once

#include "PropertyPage.h"

namespace kvtplayer {

class CkvtplayerPropPage : public comcontrol::PropertyPage {
public:
    CkvtplayerPropPage();
    static HRESULT Create(REFIID iid, void** object);
};

} // namespace kvtplayer

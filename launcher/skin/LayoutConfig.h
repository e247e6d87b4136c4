// The configuration's side of the layout: which record and which
// configured size each control takes on a skin. Picture sizes come from the
// window, which owns the pictures.
#pragma once

#include "ControlLayout.h"

class ConfigMgr;

// Sets the record of every control but the window for the skin, and the
// sizes of the browser area ("W" x "H" of WebBrowser) and of the message
// area (of Messages on the main skin, of SelfUpdateMessage on the small).
void ApplyLayoutConfig(const ConfigMgr& config, bool mainSkin, ControlLayout* layout);

// The configuration record a control is placed by; null for the window.
const LayoutRecord* LayoutRecordOf(const ConfigMgr& config, LayoutControl control, bool mainSkin);

// Identifiers of the control library's resources, shared by the .rc file and
// the code that loads them.
#pragma once

#define IDS_KVTPLAYER           1
#define IDS_KVTPLAYER_PPG       2
#define IDS_KVTPLAYER_PPG_CAPTION 200
#define IDB_KVTPLAYER           1
#define IDD_PROPPAGE_KVTPLAYER  200
#define IDC_PROPPAGE_TEXT       (-1)

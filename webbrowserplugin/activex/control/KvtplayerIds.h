// The identifiers of the control library: classes, type library, interfaces,
// the ProgIDs and the component categories it is registered under.
#pragma once

#include <windows.h>

namespace kvtplayer {

// {5C1E7A20-3B9D-4F61-A2C8-0D7E94B1F356}
const CLSID kControlClsid = {0x5C1E7A20, 0x3B9D, 0x4F61, {0xA2, 0xC8, 0x0D, 0x7E, 0x94, 0xB1, 0xF3, 0x56}};
// {6E0B93C4-2F58-4A1D-9C37-E4D15A8B2F70}
const CLSID kPropPageClsid = {0x6E0B93C4, 0x2F58, 0x4A1D, {0x9C, 0x37, 0xE4, 0xD1, 0x5A, 0x8B, 0x2F, 0x70}};
// {E47A0C58-1F3B-49D6-9E2A-B75C08D4F13A}
const GUID kTypeLibId = {0xE47A0C58, 0x1F3B, 0x49D6, {0x9E, 0x2A, 0xB7, 0x5C, 0x08, 0xD4, 0xF1, 0x3A}};
const WORD kTypeLibMajor = 1;
const WORD kTypeLibMinor = 0;
// {9D3F2B61-C4A7-4E08-8B5D-61F2A03C7E94}
const IID kDispatchIid = {0x9D3F2B61, 0xC4A7, 0x4E08, {0x8B, 0x5D, 0x61, 0xF2, 0xA0, 0x3C, 0x7E, 0x94}};
// {B8265D1F-7A40-4C9E-A31B-2F06E8D59C47}
const IID kEventIid = {0xB8265D1F, 0x7A40, 0x4C9E, {0xA3, 0x1B, 0x2F, 0x06, 0xE8, 0xD5, 0x9C, 0x47}};
// {7DD95801-9882-11CF-9FA9-00AA006C42C4}
const GUID kCatidSafeForScripting = {0x7DD95801, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
// {7DD95802-9882-11CF-9FA9-00AA006C42C4}
const GUID kCatidSafeForInitializing = {0x7DD95802, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};

const wchar_t kControlClsidText[] = L"{5C1E7A20-3B9D-4F61-A2C8-0D7E94B1F356}";
const wchar_t kPropPageClsidText[] = L"{6E0B93C4-2F58-4A1D-9C37-E4D15A8B2F70}";
const wchar_t kTypeLibIdText[] = L"{E47A0C58-1F3B-49D6-9E2A-B75C08D4F13A}";
const wchar_t kDispatchIidText[] = L"{9D3F2B61-C4A7-4E08-8B5D-61F2A03C7E94}";
const wchar_t kEventIidText[] = L"{B8265D1F-7A40-4C9E-A31B-2F06E8D59C47}";
const wchar_t kDispatchMarshallerText[] = L"{00020420-0000-0000-C000-000000000046}";
const wchar_t kCatidSafeForScriptingText[] = L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
const wchar_t kCatidSafeForInitializingText[] = L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}";

const wchar_t kControlProgId[] = L"KVTPLAYER.kvtplayerCtrl.1";
const wchar_t kPropPageProgId[] = L"KVTPLAYER.kvtplayerPropPage.1";
const wchar_t kControlTypeName[] = L"kvtplayer Control";
const wchar_t kPropPageTypeName[] = L"kvtplayer Property Page";
const wchar_t kTypeLibHelpString[] = L"kvtplayer ActiveX Control module";

// 0xA0191: recompose on resize, cannot link inside, inside-out, activate
// when visible, set client site first, ignore activate when visible.
const DWORD kMiscStatus = 0xA0191;

} // namespace kvtplayer

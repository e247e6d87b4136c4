// The two front ends that embed the game host. The few places where they
// differ are decided from this value, so one library serves both:
//   - the flag DorvGameClient_Activate gets: always 0 for the plug-in, the
//     control's notInPlaceActive state for the control;
//   - hostFlag2 of GameInitParams: 0 for the plug-in, 1 for the control;
//   - the "Low" data folder (control only, for a non-administrator on Vista
//     or later);
//   - two script results: RunGame (the control always answers true) and
//     EnableIdleUpdate (the plug-in always answers true).
// Text conversion is the front end's: each ScriptType::Text value is handed
// over and taken back in the front end's own narrow encoding (the plug-in's
// UTF-8 bytes as the page sent them, the control's strings converted to and
// from the ANSI code page); ScriptType::WideText is UTF-16 in both (the
// RunGame parameter, the CanLoadSystemDll name, the GetVersion text and the
// game's event texts), which the plug-in converts from and to UTF-8.
#pragma once

enum class HostFlavour {
  Netscape,          // the Netscape-API plug-in
  InternetExplorer,  // the ActiveX control
};

// The two front ends that embed the game host. The few places where they
// differ (the Activate flag, hostFlag2, the "Low" data folder, two script
// results) are decided from this value, so one library serves both.
#pragma once

enum class HostFlavour {
  Netscape,          // the Netscape-API plug-in
  InternetExplorer,  // the ActiveX control
};

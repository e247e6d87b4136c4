#include "LayoutConfig.h"

#include "ConfigMgr.h"

const LayoutRecord* LayoutRecordOf(const ConfigMgr& config, LayoutControl control, bool mainSkin) {
  switch (control) {
    case LayoutControl::kWindow: return nullptr;
    case LayoutControl::kWebBrowser: return &config.webBrowser;
    case LayoutControl::kMessage: return mainSkin ? &config.messages : &config.selfUpdateMessage;
    case LayoutControl::kSubProgress: return &config.subProgress;
    case LayoutControl::kProgress: return mainSkin ? &config.progress : &config.selfUpdateProgress;
    case LayoutControl::kCloseButton:
      return mainSkin ? &config.closeButton : &config.selfUpdateCloseButton;
    case LayoutControl::kMinimizeButton: return &config.minimizeButton;
    case LayoutControl::kGovernmentButton: return &config.governmentButton;
    case LayoutControl::kBbsButton: return &config.bbsButton;
    case LayoutControl::kChargeButton: return &config.chargeButton;
    case LayoutControl::kCustomServiceButton: return &config.customServiceButton;
    case LayoutControl::kLoadingWebBrowser: return &config.loadingWebBrowser;
    case LayoutControl::kCount: break;
  }
  return nullptr;
}

void ApplyLayoutConfig(const ConfigMgr& config, bool mainSkin, ControlLayout* layout) {
  for (int i = 0; i < kLayoutControlCount; ++i) {
    const LayoutControl control = static_cast<LayoutControl>(i);
    const LayoutRecord* record = LayoutRecordOf(config, control, mainSkin);
    if (record != nullptr) layout->SetRecord(control, *record);
  }
  layout->SetSize(LayoutControl::kWebBrowser, config.webBrowserWidth, config.webBrowserHeight);
  if (mainSkin) {
    layout->SetSize(LayoutControl::kMessage, config.messagesWidth, config.messagesHeight);
  } else {
    layout->SetSize(LayoutControl::kMessage, config.selfUpdateMessageWidth,
                    config.selfUpdateMessageHeight);
  }
}

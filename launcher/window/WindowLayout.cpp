#include "WindowLayout.h"

#include "ConfigMgr.h"
#include "ControlLayout.h"

namespace {

RECT ToRect(const LayoutRect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

ControlLayout::Record ToRecord(const LayoutRecord& record) {
  ControlLayout::Record out;
  out.point = record.point;
  out.relateTo = record.relateTo;
  out.relatePoint = record.relatePoint;
  out.x = record.x;
  out.y = record.y;
  return out;
}

void Place(ControlLayout& layout, LayoutControl control, const LayoutRecord& record, SIZE size) {
  layout.SetRecord(control, ToRecord(record));
  layout.SetSize(control, size.cx, size.cy);
}

SIZE Size(int32_t width, int32_t height) { return {width, height}; }

}  // namespace

bool ComputeWindowRects(const ConfigMgr& config, const LauncherWindow& window, WindowRects* out) {
  if (!out) return false;
  bool main = window.IsMainSkin();
  ControlLayout layout;
  SIZE background = BitmapSize(window.CurrentBackground());
  layout.SetSize(LayoutControl::kWindow, background.cx, background.cy);
  Place(layout, LayoutControl::kWebBrowser, config.webBrowser,
        Size(config.webBrowserWidth, config.webBrowserHeight));
  if (main)
    Place(layout, LayoutControl::kMessage, config.messages,
          Size(config.messagesWidth, config.messagesHeight));
  else
    Place(layout, LayoutControl::kMessage, config.selfUpdateMessage,
          Size(config.selfUpdateMessageWidth, config.selfUpdateMessageHeight));
  Place(layout, LayoutControl::kSubProgress, config.subProgress,
        window.PictureSize(SkinPicture::SubProgressBar));
  Place(layout, LayoutControl::kProgress, main ? config.progress : config.selfUpdateProgress,
        BitmapSize(window.CurrentProgressBar()));
  Place(layout, LayoutControl::kCloseButton,
        main ? config.closeButton : config.selfUpdateCloseButton,
        window.ButtonSize(ButtonId::Close));
  Place(layout, LayoutControl::kMinimizeButton, config.minimizeButton,
        window.ButtonSize(ButtonId::Minimize));
  Place(layout, LayoutControl::kGovernmentButton, config.governmentButton,
        window.ButtonSize(ButtonId::Government));
  Place(layout, LayoutControl::kBbsButton, config.bbsButton, window.ButtonSize(ButtonId::Bbs));
  Place(layout, LayoutControl::kChargeButton, config.chargeButton,
        window.ButtonSize(ButtonId::Charge));
  Place(layout, LayoutControl::kCustomServiceButton, config.customServiceButton,
        window.ButtonSize(ButtonId::CustomService));
  Place(layout, LayoutControl::kLoadingWebBrowser, config.loadingWebBrowser,
        window.PictureSize(SkinPicture::BrowserPlaceholder));
  if (!layout.Layout()) return false;
  out->window = ToRect(layout.Rect(LayoutControl::kWindow));
  out->webBrowser = ToRect(layout.Rect(LayoutControl::kWebBrowser));
  out->message = ToRect(layout.Rect(LayoutControl::kMessage));
  out->subProgress = ToRect(layout.Rect(LayoutControl::kSubProgress));
  out->progress = ToRect(layout.Rect(LayoutControl::kProgress));
  out->loadingWebBrowser = ToRect(layout.Rect(LayoutControl::kLoadingWebBrowser));
  const LayoutControl buttonControls[kButtonCount] = {
      LayoutControl::kCloseButton,     LayoutControl::kMinimizeButton,
      LayoutControl::kGovernmentButton, LayoutControl::kBbsButton,
      LayoutControl::kChargeButton,    LayoutControl::kCustomServiceButton};
  for (int i = 0; i < kButtonCount; ++i) out->buttons[i] = ToRect(layout.Rect(buttonControls[i]));
  return true;
}

bool LayoutWindow(const ConfigMgr& config, LauncherWindow& window) {
  WindowRects rects;
  if (!ComputeWindowRects(config, window, &rects)) return false;
  window.SetRects(rects);
  return true;
}

WindowSettings WindowSettingsFrom(const ConfigMgr& config, bool relogin) {
  WindowSettings settings;
  settings.subProgressVisible = config.subProgressVisible;
  settings.pageEnabled = relogin ? config.reloginEnable : config.loginEnable;
  settings.browserVisibleWhenReady = config.webBrowserVisibleWhenReady;
  return settings;
}

bool LookUpMessageStyle(const ConfigMgr& config, const char* id, MessageStyle* out) {
  if (!out) return false;
  MessageStyle entry;
  uint32_t color = 0, overColor = 0, downColor = 0;
  if (!config.GetMessageEntry(id, &entry.text, &color, &overColor, &downColor,
                              &entry.clickToReboot, &entry.clickToOpenUrl, &entry.url))
    return false;
  entry.color = color;
  entry.overColor = overColor;
  entry.downColor = downColor;
  *out = entry;
  return true;
}

bool SetMessageById(const ConfigMgr& config, LauncherWindow& window, const char* id) {
  MessageStyle entry;
  if (!LookUpMessageStyle(config, id, &entry)) return false;
  return window.SetMessage(entry);
}

bool ShowUpdateProgressText(const ConfigMgr& config, LauncherWindow& window) {
  MessageStyle entry;
  if (!LookUpMessageStyle(config, "update_resource_progress", &entry)) return false;
  return window.ShowFormattedMessage(entry, static_cast<int>(window.Progress() * 100.0));
}

bool ShowLoadingError(const ConfigMgr& config, LauncherWindow& window, int code) {
  MessageStyle entry;
  if (!LookUpMessageStyle(config, "loading_game_error", &entry)) return false;
  return window.ShowFormattedMessage(entry, code);
}

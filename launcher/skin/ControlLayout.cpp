#include "ControlLayout.h"

#include <cctype>
#include <cstring>

namespace {

enum class Anchor {
  kTopLeft,
  kTopCenter,
  kTopRight,
  kRightCenter,
  kRightBottom,
  kBottomCenter,
  kLeftBottom,
  kLeftCenter,
  kCenter,
};

struct AnchorName {
  const char* name;
  Anchor anchor;
};

constexpr AnchorName kAnchorNames[] = {
    {"TopLeft", Anchor::kTopLeft},         {"LeftTop", Anchor::kTopLeft},
    {"TopCenter", Anchor::kTopCenter},     {"CenterTop", Anchor::kTopCenter},
    {"TopRight", Anchor::kTopRight},       {"RightTop", Anchor::kTopRight},
    {"RightCenter", Anchor::kRightCenter}, {"CenterRight", Anchor::kRightCenter},
    {"RightBottom", Anchor::kRightBottom}, {"BottomRight", Anchor::kRightBottom},
    {"BottomCenter", Anchor::kBottomCenter}, {"CenterBottom", Anchor::kBottomCenter},
    {"LeftBottom", Anchor::kLeftBottom},   {"BottomLeft", Anchor::kLeftBottom},
    {"LeftCenter", Anchor::kLeftCenter},   {"CenterLeft", Anchor::kLeftCenter},
    {"Center", Anchor::kCenter},
};

struct ControlName {
  const char* name;
  LayoutControl control;
};

// "Message" names the message area although its element is "Messages".
constexpr ControlName kControlNames[] = {
    {"Progress", LayoutControl::kProgress},
    {"SubProgress", LayoutControl::kSubProgress},
    {"Message", LayoutControl::kMessage},
    {"WebBrowser", LayoutControl::kWebBrowser},
    {"CloseButton", LayoutControl::kCloseButton},
    {"MinimizeButton", LayoutControl::kMinimizeButton},
    {"LoadingWebBrowser", LayoutControl::kLoadingWebBrowser},
    {"GovernmentButton", LayoutControl::kGovernmentButton},
    {"BBSButton", LayoutControl::kBbsButton},
    {"ChargeButton", LayoutControl::kChargeButton},
    {"CustomServiceButton", LayoutControl::kCustomServiceButton},
};

bool SameText(const std::string& text, const char* name) {
  const size_t length = std::strlen(name);
  if (text.size() != length) return false;
  for (size_t i = 0; i < length; ++i) {
    const int a = std::tolower(static_cast<unsigned char>(text[i]));
    const int b = std::tolower(static_cast<unsigned char>(name[i]));
    if (a != b) return false;
  }
  return true;
}

Anchor AnchorByName(const std::string& name) {
  for (const AnchorName& entry : kAnchorNames) {
    if (SameText(name, entry.name)) return entry.anchor;
  }
  return Anchor::kTopLeft;
}

// Sums wrap like the 32-bit values they are instead of overflowing.
int32_t Add(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<int64_t>(a) + b); }

int32_t Sub(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<int64_t>(a) - b); }

// Halving truncates toward zero, as C++ integer division does. The sums are
// taken in 64 bits so that extreme rectangles do not overflow on the way.
int32_t Middle(int32_t a, int32_t b) {
  return static_cast<int32_t>((static_cast<int64_t>(a) + b) / 2);
}

void PointOf(const LayoutRect& r, Anchor anchor, int32_t* x, int32_t* y) {
  switch (anchor) {
    case Anchor::kTopLeft: *x = r.left; *y = r.top; return;
    case Anchor::kTopCenter: *x = Middle(r.left, r.right); *y = r.top; return;
    case Anchor::kTopRight: *x = r.right; *y = r.top; return;
    case Anchor::kRightCenter: *x = r.right; *y = Middle(r.top, r.bottom); return;
    case Anchor::kRightBottom: *x = r.right; *y = r.bottom; return;
    case Anchor::kBottomCenter: *x = Middle(r.left, r.right); *y = r.bottom; return;
    case Anchor::kLeftBottom: *x = r.left; *y = r.bottom; return;
    case Anchor::kLeftCenter: *x = r.left; *y = Middle(r.top, r.bottom); return;
    case Anchor::kCenter: *x = Middle(r.left, r.right); *y = Middle(r.top, r.bottom); return;
  }
}

// Where the placed control's top-left corner lies when its anchor point is
// at (x, y).
void PlaceBy(Anchor anchor, int32_t x, int32_t y, int32_t w, int32_t h, int32_t* left,
             int32_t* top) {
  *left = x;
  *top = y;
  switch (anchor) {
    case Anchor::kTopLeft: return;
    case Anchor::kTopCenter: *left = Sub(x, w / 2); return;
    case Anchor::kTopRight: *left = Sub(x, w); return;
    case Anchor::kRightCenter: *left = Sub(x, w); *top = Sub(y, h / 2); return;
    case Anchor::kRightBottom: *left = Sub(x, w); *top = Sub(y, h); return;
    case Anchor::kBottomCenter: *left = Sub(x, w / 2); *top = Sub(y, h); return;
    case Anchor::kLeftBottom: *top = Sub(y, h); return;
    case Anchor::kLeftCenter: *top = Sub(y, h / 2); return;
    case Anchor::kCenter: *left = Sub(x, w / 2); *top = Sub(y, h / 2); return;
  }
}

}  // namespace

bool ComputeAnchoredRect(const LayoutRect& reference, const std::string& point,
                         const std::string& relatePoint, int32_t x, int32_t y, int32_t w,
                         int32_t h, LayoutRect* out) {
  int32_t px = 0;
  int32_t py = 0;
  PointOf(reference, AnchorByName(relatePoint), &px, &py);
  px = Add(px, x);
  py = Add(py, y);
  int32_t left = 0;
  int32_t top = 0;
  PlaceBy(AnchorByName(point), px, py, w, h, &left, &top);
  out->left = left;
  out->top = top;
  out->right = Add(left, w);
  out->bottom = Add(top, h);
  return true;
}

LayoutControl LayoutControlByName(const std::string& relateTo) {
  for (const ControlName& entry : kControlNames) {
    if (SameText(relateTo, entry.name)) return entry.control;
  }
  return LayoutControl::kWindow;
}

const char* LayoutElementName(LayoutControl control, bool mainSkin) {
  switch (control) {
    case LayoutControl::kWindow: return nullptr;
    case LayoutControl::kWebBrowser: return "WebBrowser";
    case LayoutControl::kMessage: return mainSkin ? "Messages" : "SelfUpdateMessage";
    case LayoutControl::kSubProgress: return "SubProgress";
    case LayoutControl::kProgress: return mainSkin ? "Progress" : "SelfUpdateProgress";
    case LayoutControl::kCloseButton: return mainSkin ? "CloseButton" : "SelfUpdateCloseButton";
    case LayoutControl::kMinimizeButton: return "MinimizeButton";
    case LayoutControl::kGovernmentButton: return "GovernmentButton";
    case LayoutControl::kBbsButton: return "BBSButton";
    case LayoutControl::kChargeButton: return "ChargeButton";
    case LayoutControl::kCustomServiceButton: return "CustomServiceButton";
    case LayoutControl::kLoadingWebBrowser: return "LoadingWebBrowser";
    case LayoutControl::kCount: break;
  }
  return nullptr;
}

void ControlLayout::SetRecord(LayoutControl control, const Record& record) {
  SlotOf(control).record = record;
}

void ControlLayout::SetSize(LayoutControl control, int32_t width, int32_t height) {
  Slot& slot = SlotOf(control);
  slot.width = width;
  slot.height = height;
}

bool ControlLayout::Layout() {
  for (Slot& slot : slots_) slot.computed = false;
  for (int i = 0; i < kLayoutControlCount; ++i) Compute(static_cast<LayoutControl>(i));
  return true;
}

bool ControlLayout::ResolveRelateTo(const std::string& name, LayoutRect* out) {
  const LayoutControl control = LayoutControlByName(name);
  Compute(control);
  *out = SlotOf(control).rect;
  return true;
}

const LayoutRect& ControlLayout::Rect(LayoutControl control) const {
  return slots_[static_cast<int>(control)].rect;
}

void ControlLayout::Compute(LayoutControl control) {
  Slot& slot = SlotOf(control);
  if (slot.computed) return;
  // Marked before its reference is resolved: a reference that comes back to
  // this control reads its current rectangle instead of recursing.
  slot.computed = true;
  if (control == LayoutControl::kWindow) {
    slot.rect = LayoutRect{0, 0, slot.width, slot.height};
    return;
  }
  LayoutRect reference;
  ResolveRelateTo(slot.record.relateTo, &reference);
  ComputeAnchoredRect(reference, slot.record.point, slot.record.relatePoint, slot.record.x,
                      slot.record.y, slot.width, slot.height, &slot.rect);
}

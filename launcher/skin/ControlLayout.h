// Placement of the skinned window's controls: each control's anchor point is
// pinned to an anchor point of a reference rectangle (another control's or
// the window's) plus an offset. References are resolved on demand within a
// pass; a cycle ends with the second visit reading the rectangle's value
// from the previous pass.
#pragma once

#include <cstdint>
#include <string>

struct LayoutRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool operator==(const LayoutRect& other) const {
    return left == other.left && top == other.top && right == other.right &&
           bottom == other.bottom;
  }
};

// The controls in the order a pass computes them.
enum class LayoutControl {
  kWindow,
  kWebBrowser,
  kMessage,
  kSubProgress,
  kProgress,
  kCloseButton,
  kMinimizeButton,
  kGovernmentButton,
  kBbsButton,
  kChargeButton,
  kCustomServiceButton,
  kLoadingWebBrowser,
  kCount
};

constexpr int kLayoutControlCount = static_cast<int>(LayoutControl::kCount);

// The anchor arithmetic: the point of the reference rectangle named by
// relatePoint, moved by (x, y), is where the placed control's own point
// lands; the result has the size w x h. Unknown or empty anchor names mean
// the top-left corner. Always true.
bool ComputeAnchoredRect(const LayoutRect& reference, const std::string& point,
                         const std::string& relatePoint, int32_t x, int32_t y, int32_t w,
                         int32_t h, LayoutRect* out);

// The control a "RelateTo" text names (case-insensitive); the window for any
// other text, also an empty one.
LayoutControl LayoutControlByName(const std::string& relateTo);

// The configuration element that holds a control's record on a skin, or
// null for the window, which has none.
const char* LayoutElementName(LayoutControl control, bool mainSkin);

class ControlLayout {
 public:
  struct Record {
    std::string point;
    std::string relateTo;
    std::string relatePoint;
    int32_t x = 0;
    int32_t y = 0;
  };

  // The record and size a control is placed with; the window takes only its
  // size and sits at (0, 0).
  void SetRecord(LayoutControl control, const Record& record);
  void SetSize(LayoutControl control, int32_t width, int32_t height);

  // One full pass over every control; rectangles keep their values from the
  // previous pass until recomputed. Always true.
  bool Layout();
  // The rectangle named by a "RelateTo" text, computed first when this pass
  // has not computed it yet.
  bool ResolveRelateTo(const std::string& name, LayoutRect* out);

  const LayoutRect& Rect(LayoutControl control) const;

 private:
  struct Slot {
    Record record;
    int32_t width = 0;
    int32_t height = 0;
    LayoutRect rect;
    bool computed = false;
  };

  void Compute(LayoutControl control);
  Slot& SlotOf(LayoutControl control) { return slots_[static_cast<int>(control)]; }

  Slot slots_[kLayoutControlCount];
};

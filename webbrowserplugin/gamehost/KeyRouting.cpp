#include "KeyRouting.h"

namespace {

constexpr uint32_t kKeyShift = 0x10;
constexpr uint32_t kKeyControl = 0x11;
constexpr uint32_t kKeyMenu = 0x12;
constexpr uint32_t kKeyF1 = 0x70;
constexpr uint32_t kKeyF4 = 0x73;
constexpr uint32_t kKeyF11 = 0x7A;
constexpr uint32_t kKeyF24 = 0x87;

}  // namespace

KeyRouting::KeyRouting()
    : passAllKeys_(false), interceptAllKeys_(false), interceptMouseMessages_(true) {}

void KeyRouting::Clear() {
  passKeys_.clear();
  interceptKeys_.clear();
  passAllKeys_ = false;
  interceptAllKeys_ = false;
  interceptMouseMessages_ = true;
}

void KeyRouting::ResetToDefaults() {
  Clear();
  AddPassKey(KeyCombination{kKeyF4, false, true, false});
  AddPassKey(KeyCombination{kKeyF11, false, false, false});
}

void KeyRouting::ClearPassKeys() { passKeys_.clear(); }
void KeyRouting::AddPassKey(const KeyCombination& key) { passKeys_[key] = true; }
void KeyRouting::RemovePassKey(const KeyCombination& key) { passKeys_.erase(key); }
bool KeyRouting::IsPassKey(const KeyCombination& key) const { return passKeys_.count(key) != 0; }

void KeyRouting::ClearInterceptKeys() { interceptKeys_.clear(); }
void KeyRouting::AddInterceptKey(const KeyCombination& key) { interceptKeys_[key] = true; }
void KeyRouting::RemoveInterceptKey(const KeyCombination& key) { interceptKeys_.erase(key); }
bool KeyRouting::IsInterceptKey(const KeyCombination& key) const {
  return interceptKeys_.count(key) != 0;
}

RouteDecision KeyRouting::DecideKey(const KeyCombination& key) const {
  if (passAllKeys_) return RouteDecision::Pass;
  if (IsPassKey(key)) return RouteDecision::Pass;
  if (interceptAllKeys_) return RouteDecision::Intercept;
  if (IsInterceptKey(key)) return RouteDecision::Intercept;
  if (key.virtualKey == kKeyShift || key.virtualKey == kKeyControl || key.virtualKey == kKeyMenu) {
    return RouteDecision::Intercept;
  }
  if (key.ctrl || key.alt || key.shift) return RouteDecision::Intercept;
  if (key.virtualKey >= kKeyF1 && key.virtualKey <= kKeyF24) return RouteDecision::Intercept;
  return RouteDecision::Pass;
}

RouteDecision KeyRouting::DecideMouse(bool aimedAtOwnWindow) const {
  return (interceptMouseMessages_ && aimedAtOwnWindow) ? RouteDecision::Intercept
                                                       : RouteDecision::Pass;
}

// The pass and intercept key sets and the three flags a page controls, and
// the decision the message hook takes for a key or mouse message. Each
// front-end object owns one.
#pragma once

#include <map>

#include "KeyCombination.h"

enum class RouteDecision { Pass, Intercept };

class KeyRouting {
 public:
  KeyRouting();

  // Empties both sets, restores the flag defaults (pass-all and intercept-all
  // false, intercept-mouse true) and puts Alt+F4 and F11 in the pass set.
  void ResetToDefaults();
  // The shut-down state: sets emptied, flags at their defaults.
  void Clear();

  void ClearPassKeys();
  void AddPassKey(const KeyCombination& key);
  void RemovePassKey(const KeyCombination& key);
  bool IsPassKey(const KeyCombination& key) const;

  void ClearInterceptKeys();
  void AddInterceptKey(const KeyCombination& key);
  void RemoveInterceptKey(const KeyCombination& key);
  bool IsInterceptKey(const KeyCombination& key) const;

  void SetPassAllKeys(bool value) { passAllKeys_ = value; }
  bool IsPassAllKeys() const { return passAllKeys_; }
  void SetInterceptAllKeys(bool value) { interceptAllKeys_ = value; }
  bool IsInterceptAllKeys() const { return interceptAllKeys_; }
  void SetInterceptMouseMessages(bool value) { interceptMouseMessages_ = value; }
  bool IsInterceptMouseMessages() const { return interceptMouseMessages_; }

  // The decision for a key message with this combination.
  RouteDecision DecideKey(const KeyCombination& key) const;
  // The decision for a mouse message; aimedAtOwnWindow when the message's
  // window is the plug-in window.
  RouteDecision DecideMouse(bool aimedAtOwnWindow) const;

 private:
  typedef std::map<KeyCombination, bool, KeyCombinationLess> KeySet;
  KeySet passKeys_;
  KeySet interceptKeys_;
  bool passAllKeys_;
  bool interceptAllKeys_;
  bool interceptMouseMessages_;
};

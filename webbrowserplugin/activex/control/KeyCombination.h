// A virtual-key code with its three modifier states, ordered by key, then
// control, alt and shift, false before true.
#pragma once

#include <tuple>

namespace kvtplayer {

struct KeyCombination {
    unsigned int key;
    bool ctrl;
    bool alt;
    bool shift;

    bool operator<(const KeyCombination& other) const
    {
        return std::tie(key, ctrl, alt, shift) <
               std::tie(other.key, other.ctrl, other.alt, other.shift);
    }
};

} // namespace kvtplayer

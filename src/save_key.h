// What a key does while the probe's own window offers to save its report.
// Read as keys, not characters: on a Russian, Greek or Hebrew layout the S
// key gives another letter, and Delete or Ctrl+Left once came as two
// characters, the second an 'S' or an 's'.
#pragma once

#include "console.h"

namespace detect {

// Windows' virtual-key codes of the keys that do something.
inline constexpr unsigned key_s = 0x53;      // the S key, whatever letter the layout gives it
inline constexpr unsigned key_enter = 0x0D;  // VK_RETURN: the main Enter and the keypad's

enum class key_choice : unsigned char { save, close, ignore };

// S pressed with neither Ctrl nor Alt saves; Enter pressed closes; every
// other key, and every key's release, is ignored.
key_choice choice_for(const console::key_event& key);

}  // namespace detect

#include "console.h"

namespace console {

// A terminal outlives the programs it runs: nothing to keep open.
bool is_own_window() { return false; }

void wait_for_enter() {}

}  // namespace console

// The probe's console, as each platform provides it.
#pragma once

namespace console {

// True when the program is the only one attached to its console and both
// its input and output are that console: started by a double-click on
// Windows, the console and the report in it vanish when the program ends.
bool is_own_window();

// Shows "Press Enter to close" and waits for a line of input (or its end).
void wait_for_enter();

}  // namespace console

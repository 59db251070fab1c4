// The probe's console, as each platform provides it.
#pragma once

#include <cstdio>
#include <string_view>

namespace console {

// Writes UTF-8 text to out: on Windows through the console's wide output
// where out is a console, so that any script shows in any code page; as
// the bytes themselves where out is a file or a pipe, and on POSIX.
void write(std::FILE* out, std::string_view text);

// True when the program is the only one attached to its console and both
// its input and output are that console: started by a double-click on
// Windows, the console and the report in it vanish when the program ends.
bool is_own_window();

// Shows "Press Enter to close" and waits for a line of input (or its end).
void wait_for_enter();

}  // namespace console

// The probe's console, as each platform provides it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <span>
#include <string_view>

#include "text_line.h"

namespace console {

// The most bytes one write takes: no line of the report is longer.
inline constexpr std::size_t longest_write = detect::longest_line;

// Writes UTF-8 text, at most longest_write bytes, to out: on Windows
// through the console's wide output where out is a console, so that any
// script shows in any code page; as the bytes themselves where out is a
// file or a pipe, and on POSIX.
void write(std::FILE* out, std::string_view text);

// True when the program is the only one attached to its console and both
// its input and output are that console: started by a double-click on
// Windows, the console and the report in it vanish when the program ends.
bool is_own_window();

// Shows "Press Enter to close" and waits for a line of input (or its end).
void wait_for_enter();

// Waits in an own window for S (true) or Enter (false), ignoring other
// keys; false at the input's end.
bool wait_for_save_key();

// Creates a new file for a report in the user's Documents folder (the
// known folder, which follows OneDrive's folder backup), named after the
// date and time so that no earlier one is replaced, and writes its full
// path, UTF-8, into path. Null on failure, with the system's error in
// error.
std::FILE* create_report_file(std::span<char> path, int& error);

// Closes what create_report_file() opened: 0 when everything written is
// in the file, or the system's error.
int close_report_file(std::FILE* file);

}  // namespace console

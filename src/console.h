// The probe's console, as each platform provides it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
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

// Drops the keys typed into an own window so far, so that only a key
// pressed after a prompt answers it.
void discard_typed_keys();

// One argument as typed, cut to fit at the end of a character: UTF-8 on
// Windows; on POSIX the bytes given, cut before a whole UTF-8 character
// where they hold one, and anywhere else between bytes.
struct argument {
    char text[128] = {};
};

// The arguments after the program's name, as typed: on Windows read anew
// from the UTF-16 command line, since main's have passed through the ANSI
// code page, whose best fit makes a full-width "１" a "1" (a command line
// that begins with a space, as a caller giving CreateProcess the
// program's name apart may pass, has an empty name first, which is still
// the name); on POSIX argv's bytes. Fills out with the first ones;
// returns how many there are.
std::size_t arguments(int argc, char** argv, std::span<argument> out);

// A key pressed or released in an own window: the key itself, whatever
// character the keyboard's layout gives it (Windows' virtual-key code),
// and whether Ctrl or Alt was held.
struct key_event {
    bool down = true;
    unsigned key = 0;
    bool ctrl = false;
    bool alt = false;
};

// The next key event of an own window's input; none at the input's end.
std::optional<key_event> read_key();

// The system's reason a step of saving failed: an error code, or an
// HRESULT where the system gave one.
struct save_error {
    int code = 0;
    bool hresult = false;
};

// A report file being written, and the name to remove it by.
struct report_file {
    std::FILE* stream = nullptr;
    wchar_t* name = nullptr;  // allocated; released by close_report_file()
};

// Creates a new file for a report in the user's Documents folder (the
// known folder, which follows OneDrive's folder backup), however long its
// path, named after the date and time so that no earlier one is replaced,
// and writes its full path, UTF-8, into path. Lines written end in CRLF,
// as Notepad of every Windows reads them, and as a piped report's do. No
// stream on failure, with the system's error in error, and no file.
report_file create_report_file(std::span<char> path, save_error& error);

// Closes what create_report_file() opened: no error when everything
// written is in the file; otherwise the file is removed, and the error is
// the system's.
save_error close_report_file(report_file& file);

}  // namespace console

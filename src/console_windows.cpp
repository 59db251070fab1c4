#include <windows.h>

#include <cstdio>

#include "console.h"

namespace console {

void write(std::FILE* out, std::string_view text) {
    HANDLE handle = GetStdHandle(out == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if ((out != stdout && out != stderr) || GetConsoleMode(handle, &mode) == 0) {
        std::fwrite(text.data(), 1, text.size(), out);
        return;
    }
    std::fflush(out);  // what went out through the C library comes first
    wchar_t wide[4096];
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           wide, static_cast<int>(sizeof wide / sizeof *wide));
    DWORD written = 0;
    WriteConsoleW(handle, wide, static_cast<DWORD>(length), &written, nullptr);
}

bool is_own_window() {
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) == 0 ||
        GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) == 0) {
        return false;  // redirected or piped: whoever reads it keeps the report
    }
    // A console shared with cmd or PowerShell lists them too.
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

void wait_for_enter() {
    std::fputs("\nPress Enter to close", stdout);
    std::fflush(stdout);
    for (int c = std::getchar(); c != '\n' && c != EOF; c = std::getchar()) {
    }
}

}  // namespace console

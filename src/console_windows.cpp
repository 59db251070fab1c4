#include <windows.h>

#include <cstdio>

#include "console.h"

namespace console {

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

// Starts a program as some tools do: CreateProcess given the program's
// name apart and a command line of the arguments alone, here one that
// begins with a space. Its output goes where this one's goes, and its exit
// status is this one's.
//   start_named.exe PROGRAM ARGUMENTS
#include <windows.h>
#include <shellapi.h>

int main() {
    int count = 0;
    wchar_t** given = CommandLineToArgvW(GetCommandLineW(), &count);
    if (given == nullptr || count != 3) {
        return 125;
    }
    wchar_t command_line[1024] = L" ";
    lstrcpynW(command_line + 1, given[2], 1022);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    if (CreateProcessW(given[1], command_line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &started) == 0) {
        return 126;
    }
    WaitForSingleObject(started.hProcess, INFINITE);
    DWORD status = 126;
    GetExitCodeProcess(started.hProcess, &status);
    return static_cast<int>(status);
}

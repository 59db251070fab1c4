#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shlobj.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string_view>

#include "console.h"
#include "utf8.h"

namespace console {
namespace {

// The report file being written, and the error of its first failed
// write, taken at that write: a later call may change the C library's.
std::FILE* report_stream = nullptr;
int report_write_error = 0;

// Why the C library's last write or close failed: the system's error it
// kept, or a full disk, where Windows wrote less than asked and said
// nothing (the C library then sets errno alone).
int failed_write_error() {
    return _doserrno != 0 ? static_cast<int>(_doserrno) : errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
}

}  // namespace

void write(std::FILE* out, std::string_view text) {
    HANDLE handle = GetStdHandle(out == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if ((out != stdout && out != stderr) || GetConsoleMode(handle, &mode) == 0) {
        _doserrno = 0;
        errno = 0;
        if (std::fwrite(text.data(), 1, text.size(), out) != text.size() && out == report_stream &&
            report_write_error == 0) {
            report_write_error = failed_write_error();
        }
        return;
    }
    std::fflush(out);  // what went out through the C library comes first
    // A UTF-8 text never takes more UTF-16 units than it has bytes: the
    // report's longest line fits.
    wchar_t wide[8192];
    static_assert(std::size(wide) >= detect::longest_line);
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(),
                                           static_cast<int>(std::min(text.size(), longest_write)),
                                           wide, static_cast<int>(sizeof wide / sizeof *wide));
    // A console may take part of it: the rest follows until all is out or
    // the console takes nothing.
    for (DWORD done = 0, written = 0; done < static_cast<DWORD>(std::max(length, 0)); done += written) {
        if (WriteConsoleW(handle, wide + done, static_cast<DWORD>(length) - done, &written, nullptr) == 0 ||
            written == 0) {
            return;
        }
    }
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

void discard_typed_keys() { FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE)); }

std::size_t arguments(int argc, char** argv, std::span<argument> out) {
    int count = 0;
    wchar_t** typed = CommandLineToArgvW(GetCommandLineW(), &count);
    if (typed == nullptr) {  // no memory for it: main's are all there is
        count = argc;
    }
    for (int at = 1; at < count && static_cast<std::size_t>(at) <= out.size(); ++at) {
        if (typed != nullptr) {
            detect::utf8_from_utf16({reinterpret_cast<const char16_t*>(typed[at]), std::wcslen(typed[at])},
                                    out[at - 1].text);
        } else {
            // The ANSI code page's bytes: cut between characters where they are UTF-8.
            detect::copy_whole_characters(argv[at], out[at - 1].text);
        }
    }
    LocalFree(typed);
    return count > 1 ? static_cast<std::size_t>(count - 1) : 0;
}

void wait_for_enter() {
    std::fputs("\nPress Enter to close", stdout);
    std::fflush(stdout);
    for (int c = std::getchar(); c != '\n' && c != EOF; c = std::getchar()) {
    }
}

std::optional<key_event> read_key() {
    INPUT_RECORD record;
    DWORD read = 0;
    while (ReadConsoleInputW(GetStdHandle(STD_INPUT_HANDLE), &record, 1, &read) != 0 && read == 1) {
        if (record.EventType == KEY_EVENT) {
            const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
            const DWORD held = key.dwControlKeyState;
            return key_event{key.bKeyDown != 0, key.wVirtualKeyCode,
                             (held & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0,
                             (held & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0};
        }
    }
    return std::nullopt;
}

namespace {

// "korvelin-report-YYYY-MM-DD-HHMMSS.txt", built by hand: swprintf would
// bring mingw's own printf into the exe.
constexpr std::size_t file_name_length = 37;
void write_file_name(wchar_t* name) {
    const auto append = [&](const wchar_t* text) {
        for (; *text != L'\0'; ++text) {
            *name++ = *text;
        }
    };
    const auto append_number = [&](unsigned value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10) {
            name[i] = static_cast<wchar_t>(L'0' + value % 10);
        }
        name += digits;
    };
    SYSTEMTIME now;
    GetLocalTime(&now);
    append(L"korvelin-report-");
    append_number(now.wYear, 4);
    for (const WORD part : {now.wMonth, now.wDay}) {
        append(L"-");
        append_number(part, 2);
    }
    append(L"-");
    for (const WORD part : {now.wHour, now.wMinute, now.wSecond}) {
        append_number(part, 2);
    }
    append(L".txt");
    *name = L'\0';
}

// The report's full name in folder, made whole (GetFullPathNameW) and
// prefixed with \\?\ or \\?\UNC\, which lifts MAX_PATH: a Documents folder
// redirected to OneDrive or a roaming profile may be deep. Allocated; null
// with the system's error.
wchar_t* long_report_name(const wchar_t* folder, DWORD& error) {
    const std::size_t folder_length = std::wcslen(folder);
    auto* plain = static_cast<wchar_t*>(std::malloc((folder_length + file_name_length + 2) * sizeof(wchar_t)));
    if (plain == nullptr) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    std::wmemcpy(plain, folder, folder_length);
    plain[folder_length] = L'\\';
    write_file_name(plain + folder_length + 1);
    constexpr std::wstring_view local = L"\\\\?\\", unc = L"\\\\?\\UNC\\";
    DWORD needed = GetFullPathNameW(plain, 0, nullptr, nullptr);
    error = needed == 0 ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
    auto* name = needed == 0 ? nullptr : static_cast<wchar_t*>(std::malloc((unc.size() + needed) * sizeof(wchar_t)));
    wchar_t* whole = name == nullptr ? nullptr : name + unc.size();
    if (whole != nullptr) {
        // The second call's own failure, or a name that grew in between.
        const DWORD written = GetFullPathNameW(plain, needed, whole, nullptr);
        error = written == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
        needed = written + 1 == needed ? needed : 0;
    }
    if (whole == nullptr || needed == 0) {
        std::free(plain);
        std::free(name);
        return nullptr;
    }
    std::free(plain);
    const std::wstring_view path{whole};
    if (path.starts_with(local)) {
        std::wmemmove(name, whole, path.size() + 1);
    } else if (path.starts_with(L"\\\\")) {  // \\server\share: \\?\UNC\server\share
        std::wmemcpy(whole + 2 - unc.size(), unc.data(), unc.size());
        std::wmemmove(name, whole + 2 - unc.size(), path.size() - 2 + unc.size() + 1);
    } else {
        std::wmemcpy(whole - local.size(), local.data(), local.size());
        std::wmemmove(name, whole - local.size(), path.size() + local.size() + 1);
    }
    return name;
}

}  // namespace

report_file create_report_file(std::span<char> path, save_error& error) {
    // FOLDERID_Documents, spelt out: mingw's is in libuuid.
    constexpr GUID documents = {0xFDD39AD0, 0x238F, 0x46AF, {0xAD, 0xB4, 0x6C, 0x85, 0x48, 0x03, 0x69, 0xC7}};
    wchar_t* folder = nullptr;
    const HRESULT found = SHGetKnownFolderPath(documents, 0, nullptr, &folder);
    DWORD failure = 0;
    wchar_t* name = FAILED(found) ? nullptr : long_report_name(folder, failure);
    CoTaskMemFree(folder);
    if (name == nullptr) {
        error = FAILED(found) ? save_error{static_cast<int>(found), true} : save_error{static_cast<int>(failure)};
        return {};
    }
    // As Windows spells it for a person, without the prefix.
    const std::wstring_view shown = std::wstring_view{name}.starts_with(L"\\\\?\\UNC\\")
                                        ? std::wstring_view{name + 6}
                                        : std::wstring_view{name + 4};
    detect::utf8_from_utf16({reinterpret_cast<const char16_t*>(shown.data()), shown.size()}, path);
    if (shown.data() == name + 6) {
        path[0] = '\\';  // "C\server\share" back to "\\server\share"
    }
    // A new file or none: an earlier report is never written over.
    HANDLE handle = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = {static_cast<int>(GetLastError())};
        std::free(name);
        return {};
    }
    // In text mode, which ends each line in CRLF as a piped stdout does.
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_TEXT);
    std::FILE* stream = descriptor < 0 ? nullptr : _fdopen(descriptor, "w");
    if (stream == nullptr) {
        error = {static_cast<int>(ERROR_NOT_ENOUGH_MEMORY)};
        if (descriptor < 0) {
            CloseHandle(handle);
        } else {
            _close(descriptor);
        }
        DeleteFileW(name);
        std::free(name);
        return {};
    }
    report_stream = stream;
    report_write_error = 0;
    return {stream, name};
}

save_error close_report_file(report_file& file) {
    // The first failed write's error; else the close's own, which writes
    // what was kept in the buffer.
    save_error error{report_write_error};
    const bool written = std::ferror(file.stream) == 0;
    _doserrno = 0;
    errno = 0;
    if (std::fclose(file.stream) != 0 && error.code == 0) {
        error.code = failed_write_error();
    }
    if (error.code == 0 && !written) {
        error.code = ERROR_WRITE_FAULT;
    }
    report_stream = nullptr;
    if (error.code != 0) {
        DeleteFileW(file.name);  // no half a report left behind
    }
    std::free(file.name);
    file = {};
    return error;
}

}  // namespace console

#include <windows.h>
#include <conio.h>
#include <fcntl.h>
#include <io.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "console.h"
#include "utf8.h"

namespace console {

void write(std::FILE* out, std::string_view text) {
    HANDLE handle = GetStdHandle(out == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if ((out != stdout && out != stderr) || GetConsoleMode(handle, &mode) == 0) {
        std::fwrite(text.data(), 1, text.size(), out);
        return;
    }
    std::fflush(out);  // what went out through the C library comes first
    // A UTF-8 text never takes more UTF-16 units than it has bytes.
    wchar_t wide[longest_write];
    static_assert(sizeof wide / sizeof *wide >= longest_write);
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

void wait_for_enter() {
    std::fputs("\nPress Enter to close", stdout);
    std::fflush(stdout);
    for (int c = std::getchar(); c != '\n' && c != EOF; c = std::getchar()) {
    }
}

bool wait_for_save_key() {
    for (;;) {
        switch (_getwch()) {
        case L's':
        case L'S': return true;
        case L'\r':
        case L'\n':
        case WEOF: return false;
        default: break;
        }
    }
}

std::FILE* create_report_file(std::span<char> path, int& error) {
    // FOLDERID_Documents, spelt out: mingw's is in libuuid.
    constexpr GUID documents = {0xFDD39AD0, 0x238F, 0x46AF, {0xAD, 0xB4, 0x6C, 0x85, 0x48, 0x03, 0x69, 0xC7}};
    wchar_t* folder = nullptr;
    const HRESULT found = SHGetKnownFolderPath(documents, 0, nullptr, &folder);
    if (FAILED(found)) {
        CoTaskMemFree(folder);
        error = static_cast<int>(found);
        return nullptr;
    }
    // Built by hand: swprintf would bring mingw's own printf into the exe.
    wchar_t name[MAX_PATH + 64];
    std::size_t length = std::min(std::wcslen(folder), static_cast<std::size_t>(MAX_PATH));
    std::wmemcpy(name, folder, length);
    const auto append = [&](const wchar_t* text) {
        for (; *text != L'\0'; ++text) {
            name[length++] = *text;
        }
    };
    const auto append_number = [&](unsigned value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10) {
            name[length + static_cast<std::size_t>(i)] = static_cast<wchar_t>(L'0' + value % 10);
        }
        length += static_cast<std::size_t>(digits);
    };
    SYSTEMTIME now;
    GetLocalTime(&now);
    append(L"\\korvelin-report-");
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
    name[length] = L'\0';
    CoTaskMemFree(folder);
    detect::utf8_from_utf16({reinterpret_cast<const char16_t*>(name), std::wcslen(name)}, path);
    // A new file or none: an earlier report is never written over.
    HANDLE handle = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(GetLastError());
        return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    std::FILE* file = descriptor < 0 ? nullptr : _fdopen(descriptor, "wb");
    if (file == nullptr) {
        error = static_cast<int>(ERROR_NOT_ENOUGH_MEMORY);
        if (descriptor < 0) {
            CloseHandle(handle);
        } else {
            _close(descriptor);
        }
    }
    return file;
}

int close_report_file(std::FILE* file) {
    // The C library keeps the system's own error beside errno.
    const bool written = std::ferror(file) == 0;
    _doserrno = 0;
    if (std::fclose(file) == 0 && written) {
        return 0;
    }
    return _doserrno != 0 ? static_cast<int>(_doserrno) : static_cast<int>(ERROR_WRITE_FAULT);
}

}  // namespace console

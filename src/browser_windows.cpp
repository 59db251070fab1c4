// Windows' http handler, as ShellExecute finds it, and the proxy settings
// of Internet Options, which Edge and Chrome follow by default.
#include <windows.h>
#include <shlwapi.h>
#include <winhttp.h>

#include <cwchar>
#include <iterator>
#include <string_view>

#include "browser.h"
#include "utf8.h"

namespace browser {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

void to_utf8(const wchar_t* text, detect::setting_text& to) {
    const wchar_t* shown = text != nullptr ? text : L"";
    detect::utf8_from_utf16({reinterpret_cast<const char16_t*>(shown), std::wcslen(shown)}, to);
}

// Frees what WinHTTP allocated for a string it returned, and copies it.
void take(LPWSTR text, detect::setting_text& to) {
    to_utf8(text, to);
    if (text != nullptr) {
        GlobalFree(text);
    }
}

// WinHTTP is no KnownDLL: imported, it would be looked for beside the exe
// first. Loaded from System32 alone, and kept, so that describe_error()
// finds its messages.
HMODULE winhttp_module = nullptr;

template <typename Call>
Call winhttp(const char* name) {
    if (winhttp_module == nullptr) {
        winhttp_module = LoadLibraryExW(L"winhttp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // Through a plain function pointer type: GCC warns of any other cast.
    return winhttp_module == nullptr
               ? nullptr
               : reinterpret_cast<Call>(reinterpret_cast<void (*)()>(GetProcAddress(winhttp_module, name)));
}

using get_config_call = BOOL(WINAPI*)(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG*);
using open_call = HINTERNET(WINAPI*)(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD);
using timeouts_call = BOOL(WINAPI*)(HINTERNET, int, int, int, int);
using proxy_for_url_call = BOOL(WINAPI*)(HINTERNET, LPCWSTR, WINHTTP_AUTOPROXY_OPTIONS*, WINHTTP_PROXY_INFO*);
using close_call = BOOL(WINAPI*)(HINTERNET);

// What the PAC file, found or given, names for url: 0 or WinHTTP's error.
DWORD run_script(const wchar_t* url, const wchar_t* script_url, bool auto_detect, detect::setting_text& proxy) {
    const auto open = winhttp<open_call>("WinHttpOpen");
    const auto set_timeouts = winhttp<timeouts_call>("WinHttpSetTimeouts");
    const auto proxy_for_url = winhttp<proxy_for_url_call>("WinHttpGetProxyForUrl");
    const auto close = winhttp<close_call>("WinHttpCloseHandle");
    if (open == nullptr || set_timeouts == nullptr || proxy_for_url == nullptr || close == nullptr) {
        return GetLastError();
    }
    HINTERNET session = open(L"korvelin-probe", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                             WINHTTP_NO_PROXY_BYPASS, 0);
    if (session == nullptr) {
        return GetLastError();
    }
    // Resolving, connecting, sending and receiving the script: 3 s each.
    set_timeouts(session, 3000, 3000, 3000, 3000);
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (auto_detect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (script_url != nullptr && *script_url != L'\0') {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = script_url;
    }
    options.fAutoLogonIfChallenged = FALSE;  // no credentials, to anyone
    WINHTTP_PROXY_INFO info{};
    const DWORD error = proxy_for_url(session, url, &options, &info) ? 0 : GetLastError();
    take(info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY ? info.lpszProxy : nullptr, proxy);
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY && info.lpszProxy != nullptr) {
        GlobalFree(info.lpszProxy);
    }
    if (info.lpszProxyBypass != nullptr) {
        GlobalFree(info.lpszProxyBypass);
    }
    close(session);
    return error;
}

}  // namespace

detect::http_program find_http_program() {
    detect::http_program program;
    // The program file decides whether one is registered; its friendly
    // name, which not every program gives, is only shown.
    for (const ASSOCSTR kind : {ASSOCSTR_EXECUTABLE, ASSOCSTR_FRIENDLYAPPNAME}) {
        wchar_t text[MAX_PATH * 2];
        DWORD size = std::size(text);
        const HRESULT result = AssocQueryStringW(ASSOCF_IS_PROTOCOL, kind, L"http", nullptr, text, &size);
        if (kind == ASSOCSTR_EXECUTABLE && FAILED(result)) {
            program.none = result == HRESULT_FROM_WIN32(ERROR_NO_ASSOCIATION);
            program.error = program.none ? 0 : static_cast<net::error_code>(result);
            return program;
        }
        to_utf8(SUCCEEDED(result) ? text : nullptr, kind == ASSOCSTR_EXECUTABLE ? program.executable : program.name);
    }
    return program;
}

detect::proxy_settings read_proxy_settings(const char* url) {
    detect::proxy_settings settings;
    settings.read = true;
    const auto get_config = winhttp<get_config_call>("WinHttpGetIEProxyConfigForCurrentUser");
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (get_config == nullptr || !get_config(&config)) {
        settings.error = static_cast<net::error_code>(GetLastError());
        return settings;
    }
    settings.auto_detect = config.fAutoDetect != FALSE;
    const bool has_script = config.lpszAutoConfigUrl != nullptr && *config.lpszAutoConfigUrl != L'\0';
    settings.script_run = settings.auto_detect || has_script;
    if (settings.script_run) {
        wchar_t wide_url[64] = {};
        for (std::size_t at = 0; url[at] != '\0' && at + 1 < std::size(wide_url); ++at) {
            wide_url[at] = static_cast<unsigned char>(url[at]);  // "http://A.B.C.D/": ASCII
        }
        settings.script_error = static_cast<net::error_code>(
            run_script(wide_url, config.lpszAutoConfigUrl, settings.auto_detect, settings.script_proxy));
    }
    take(config.lpszAutoConfigUrl, settings.script_url);
    take(config.lpszProxy, settings.fixed);
    take(config.lpszProxyBypass, settings.bypass);
    return settings;
}

}  // namespace browser

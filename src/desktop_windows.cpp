#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "desktop.h"

namespace desktop {

void open_url(const char* url) {
    // The shell may carry out the "open" of a URL with a COM-based handler
    // (the "How do you want to open this?" chooser when no default browser
    // is set), so COM is initialised on this thread around the call.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ShellExecuteA(GetDesktopWindow(), "open", url, nullptr, nullptr, SW_SHOW);
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
}

void show_warning(const char* caption, const char* text) {
    MessageBoxA(nullptr, text, caption, MB_ICONWARNING);
}

}  // namespace desktop

#include <windows.h>
#include <shellapi.h>

#include "desktop.h"

namespace desktop {

void open_url(const char* url) {
    ShellExecuteA(GetDesktopWindow(), "open", url, nullptr, nullptr, SW_SHOW);
}

void show_warning(const char* caption, const char* text) {
    MessageBoxA(nullptr, text, caption, MB_ICONWARNING);
}

}  // namespace desktop

#include <windows.h>

#include "launcher.h"
#include "system_dlls.h"

// Nothing from the command line or the show state is used.
int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
    // First, before Winsock, the shell or the box can load a DLL.
    platform::load_dlls_from_system32_only();
    return detect::run_launcher();
}

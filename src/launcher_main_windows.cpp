#include <windows.h>

#include "launcher.h"

// Nothing from the command line or the show state is used.
int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
    return detect::run_launcher();
}

#include <windows.h>

#include <initializer_list>

#include "system_dlls.h"

namespace platform {

void load_dlls_from_system32_only() {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // No KnownDLLs, and loaded by name while the programs run: IP Helper by
    // Winsock's route query, msimg32 by the common controls of the warning
    // box. Wine's DLLs load them through delayed imports, which disregard
    // the default directories. Loaded from System32 now and kept to the
    // end, these copies are the ones that any later load by name gets.
    for (const wchar_t* name : {L"iphlpapi.dll", L"msimg32.dll"}) {
        LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

}  // namespace platform

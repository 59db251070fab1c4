// Where the programs load DLLs from. People run them from the folder the
// ZIP was unpacked into, usually Downloads, where anyone who can drop a
// file can put a DLL beside them; Windows looks in an exe's own folder
// before System32 for every DLL that is not one of its KnownDLLs, the ones
// its own DLLs load by name at run time included.
#pragma once

namespace platform {

// Limits every later load of a DLL by name, by our code or by Windows' own
// DLLs, to System32, and loads from there for good the DLLs that Windows'
// own are seen to load by name while the programs run: call it
// first, before anything can load a DLL. With this one valid flag the call
// cannot fail on Windows 10 or 11, so there is nothing to report. Nothing
// to limit on POSIX.
void load_dlls_from_system32_only();

}  // namespace platform

// What stands between the launcher's hand-off and the page, as each
// platform keeps it: the program that opens http URLs, and the proxy
// settings a browser follows. Only the probe asks.
#pragma once

#include "journey_data.h"

namespace browser {

// The program the system starts for an http URL.
//   Windows: as ShellExecute finds it for this user, through
//   AssocQueryStringW for the http protocol: its friendly name and its
//   program file.
//   Linux: the desktop file xdg-mime names for x-scheme-handler/http, as
//   xdg-open would start it; xdg-mime runs with its output read, for 3
//   seconds at the most, and is killed past them.
detect::http_program find_http_program();

// The user's Internet Options, through WinHTTP (loaded from System32),
// and, where auto-detect or a PAC file is set, the proxy they name for
// url, within WinHTTP's time-outs of 3 seconds a step. Linux: not read
// (read is false).
detect::proxy_settings read_proxy_settings(const char* url);

}  // namespace browser

#include "system_dlls.h"

namespace platform {

net::error_code load_dlls_from_system32_only() { return 0; }

}  // namespace platform

#include "system_dlls.h"

namespace platform {

void load_dlls_from_system32_only() {}

}  // namespace platform

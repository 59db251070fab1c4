#include "console.h"

namespace console {

void write(std::FILE* out, std::string_view text) { std::fwrite(text.data(), 1, text.size(), out); }

// A terminal outlives the programs it runs: nothing to keep open.
bool is_own_window() { return false; }

void wait_for_enter() {}

}  // namespace console

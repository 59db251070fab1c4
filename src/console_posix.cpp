#include "console.h"

#include <cerrno>

namespace console {

void write(std::FILE* out, std::string_view text) { std::fwrite(text.data(), 1, text.size(), out); }

// A terminal outlives the programs it runs: nothing to keep open.
bool is_own_window() { return false; }

void wait_for_enter() {}

bool wait_for_save_key() { return false; }

std::FILE* create_report_file(std::span<char>, int& error) {
    error = ENOTSUP;  // a terminal's output is redirected instead
    return nullptr;
}

int close_report_file(std::FILE* file) { return std::fclose(file) == 0 ? 0 : errno; }

}  // namespace console

#include "console.h"

#include <cerrno>

namespace console {

void write(std::FILE* out, std::string_view text) { std::fwrite(text.data(), 1, text.size(), out); }

// A terminal outlives the programs it runs: nothing to keep open.
bool is_own_window() { return false; }

void wait_for_enter() {}

std::optional<key_event> read_key() { return std::nullopt; }

report_file create_report_file(std::span<char>, save_error& error) {
    error = {ENOTSUP};  // a terminal's output is redirected instead
    return {};
}

save_error close_report_file(report_file& file) {
    const int closed = std::fclose(file.stream);
    file = {};
    return {closed == 0 ? 0 : errno};
}

}  // namespace console

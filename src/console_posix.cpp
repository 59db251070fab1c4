#include "console.h"
#include "utf8.h"

#include <cerrno>
#include <cstdio>

namespace console {

void write(std::FILE* out, std::string_view text) { std::fwrite(text.data(), 1, text.size(), out); }

// A terminal outlives the programs it runs: nothing to keep open.
bool is_own_window() { return false; }

void wait_for_enter() {}

void discard_typed_keys() {}

std::size_t arguments(int argc, char** argv, std::span<argument> out) {
    for (int at = 1; at < argc && static_cast<std::size_t>(at) <= out.size(); ++at) {
        detect::copy_whole_characters(argv[at], out[at - 1].text);
    }
    return argc > 1 ? static_cast<std::size_t>(argc - 1) : 0;
}

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

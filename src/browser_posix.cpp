// Linux's http handler, as xdg-open finds it. Browsers there follow the
// desktop's own proxy settings, which have no one place to read.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string_view>

#include "browser.h"
#include "net.h"
#include "utf8.h"

extern char** environ;

namespace browser {
namespace {

constexpr long helper_microseconds = 3000000;

// Starts xdg-mime with its output into a pipe, its input and errors on
// /dev/null: 0, or why it could not start.
int start_query(pid_t& child, int& output) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return errno;
    }
    posix_spawn_file_actions_t actions;
    int error = posix_spawn_file_actions_init(&actions);
    if (error == 0) {
        const char* const argv[] = {"xdg-mime", "query", "default", "x-scheme-handler/http", nullptr};
        for (const int stream : {STDIN_FILENO, STDERR_FILENO}) {
            error = error != 0 ? error : posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", O_RDWR, 0);
        }
        error = error != 0 ? error : posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        // argv is not const for historical reasons only.
        error = error != 0 ? error
                           : posix_spawnp(&child, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
    }
    close(ends[1]);
    output = ends[0];
    return error;
}

}  // namespace

detect::http_program find_http_program() {
    detect::http_program program;
    // Whoever started us may ignore SIGCHLD; waitpid would then fail.
    std::signal(SIGCHLD, SIG_DFL);
    pid_t child = -1;
    int output = -1;
    program.error = start_query(child, output);
    char answer[detect::setting_size] = {};
    std::size_t size = 0;
    const std::int64_t deadline = net::monotonic_microseconds() + helper_microseconds;
    for (long left = helper_microseconds; program.error == 0; left = deadline - net::monotonic_microseconds()) {
        pollfd watched{output, POLLIN, 0};
        const int ready = left <= 0 ? 0 : poll(&watched, 1, static_cast<int>((left + 999) / 1000));
        const ssize_t got = ready > 0 ? read(output, answer + size, sizeof answer - 1 - size) : -1;
        if (ready == 0) {
            program.error = net::timed_out;
        } else if (got < 0 && errno != EINTR) {
            program.error = errno;
        } else if (got == 0 || (size += static_cast<std::size_t>(got)) + 1 == sizeof answer) {
            break;
        }
    }
    close(output);
    // Our own child, by its pid, and only while it is not yet reaped.
    int status = 0;
    if (child > 0 && program.error != 0) {
        kill(child, SIGKILL);
    }
    if (child > 0 && waitpid(child, &status, 0) == child && program.error == 0 &&
        !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
        program.helper_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string_view name{answer, size};
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r' || name.back() == ' ')) {
        name.remove_suffix(1);
    }
    program.none = program.error == 0 && program.helper_status == 0 && name.empty();
    detect::copy_whole_characters(name, program.name);
    return program;
}

detect::proxy_settings read_proxy_settings(const char* /*url*/) { return {}; }

}  // namespace browser

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "desktop.h"
#include "dialog_policy.h"

extern char** environ;

namespace desktop {
namespace {

// Streams on /dev/null, every signal at its default and none blocked, and
// a session of its own when asked; false when a record refused a setting.
bool prepare_spawn(posix_spawn_file_actions_t& quiet, posix_spawnattr_t& attributes,
                   bool own_session) {
    for (int stream = STDIN_FILENO; stream <= STDERR_FILENO; ++stream) {
        if (posix_spawn_file_actions_addopen(&quiet, stream, "/dev/null", O_RDWR, 0) != 0) {
            return false;
        }
    }
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    if (own_session) {
        flags |= POSIX_SPAWN_SETSID;
    }
    return posix_spawnattr_setsigdefault(&attributes, &all) == 0 &&
           posix_spawnattr_setsigmask(&attributes, &none) == 0 &&
           posix_spawnattr_setflags(&attributes, flags) == 0;
}

// Starts argv[0] from PATH with its standard streams on /dev/null: what the
// tool, or a browser behind it, prints must not land on the user's terminal
// after we are gone. It starts with every signal at its default and none
// blocked, whatever whoever started us ignored or blocked. Returns its pid,
// or -1 when it could not start.
pid_t spawn_from_path(const char* const* argv, bool own_session) {
    posix_spawn_file_actions_t quiet;
    posix_spawnattr_t attributes;
    const bool have_actions = posix_spawn_file_actions_init(&quiet) == 0;
    const bool have_attributes = posix_spawnattr_init(&attributes) == 0;
    pid_t child = -1;
    // posix_spawnp's argv is not const for historical reasons only.
    if (have_actions && have_attributes && prepare_spawn(quiet, attributes, own_session) &&
        posix_spawnp(&child, argv[0], &quiet, &attributes, const_cast<char* const*>(argv),
                     environ) != 0) {
        child = -1;
    }
    if (have_attributes) {
        posix_spawnattr_destroy(&attributes);
    }
    if (have_actions) {
        posix_spawn_file_actions_destroy(&quiet);
    }
    return child;
}

// How a dialog tool ended. A tool that exits non-zero may have shown
// nothing (zenity on a display that is gone, xmessage in a Wayland-only
// session), so that, like a status that cannot be had, counts as failed.
detect::dialog_end wait_for_tool(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return detect::dialog_end::failed;
        }
    }
    if (WIFSIGNALED(status)) {
        return detect::dialog_end::killed;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? detect::dialog_end::shown
                                                         : detect::dialog_end::failed;
}

bool has_display() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// Starts one tool with the box's caption and text, and waits for it.
detect::dialog_end show_with(detect::dialog_tool tool, const char* caption, const char* text) {
    const char* const zenity[] = {"zenity", "--warning", "--no-markup", "--title", caption,
                                  "--text", text, nullptr};
    const char* const kdialog[] = {"kdialog", "--title", caption, "--sorry", text, nullptr};
    const char* const xmessage[] = {"xmessage", "-center", "-title", caption, text, nullptr};
    const char* const* argv = tool == detect::dialog_tool::zenity    ? zenity
                              : tool == detect::dialog_tool::kdialog ? kdialog
                                                                     : xmessage;
    const pid_t child = spawn_from_path(argv, false);
    return child > 0 ? wait_for_tool(child) : detect::dialog_end::not_found;
}

}  // namespace

void open_url(const char* url) {
    // xdg-open may stay until the browser exits; a session of its own keeps
    // it alive after we are gone, and we never wait for it.
    const char* const argv[] = {"xdg-open", url, nullptr};
    spawn_from_path(argv, true);
}

void show_warning(const char* caption, const char* text) {
    // Whoever started us may ignore SIGCHLD; waitpid would then fail, and
    // with it the tell whether the tool showed the box.
    std::signal(SIGCHLD, SIG_DFL);
    const bool display = has_display();
    std::array<detect::dialog_end, 3> ended{};
    std::size_t tried = 0;
    detect::warning_step step = detect::next_warning_step(display, {});
    while (step.kind == detect::warning_step::try_tool && tried < ended.size()) {
        ended[tried++] = show_with(step.tool, caption, text);
        step = detect::next_warning_step(display, {ended.data(), tried});
    }
    if (step.kind == detect::warning_step::line_on_stderr) {
        std::fprintf(stderr, "%s: %s\n", caption, text);
    }
}

}  // namespace desktop

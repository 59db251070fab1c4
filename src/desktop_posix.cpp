#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "desktop.h"

extern char** environ;

namespace desktop {
namespace {

// Starts argv[0] from PATH; returns its pid, or -1 when it could not start.
pid_t spawn_from_path(const char* const* argv, bool own_session) {
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) {
        return -1;
    }
    if (own_session) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    }
    pid_t child = -1;
    // posix_spawnp's argv is not const for historical reasons only.
    const int failed = posix_spawnp(&child, argv[0], nullptr, &attributes,
                                    const_cast<char* const*>(argv), environ);
    posix_spawnattr_destroy(&attributes);
    return failed != 0 ? -1 : child;
}

void wait_for(pid_t child) {
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

bool has_display() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// The first desktop dialog tool that starts shows the box. The tools'
// exit codes do not tell a dismissed box from a failed one, so none is read.
bool show_with_dialog_tool(const char* caption, const char* text) {
    const std::string zenity_title = std::string("--title=") + caption;
    const std::string zenity_text = std::string("--text=") + text;
    const char* const zenity[] = {"zenity", "--warning", "--no-markup", zenity_title.c_str(),
                                  zenity_text.c_str(), nullptr};
    const char* const kdialog[] = {"kdialog", "--title", caption, "--sorry", text, nullptr};
    const char* const xmessage[] = {"xmessage", "-center", "-title", caption, text, nullptr};

    for (const char* const* argv : {zenity, kdialog, xmessage}) {
        const pid_t child = spawn_from_path(argv, false);
        if (child > 0) {
            wait_for(child);
            return true;
        }
    }
    return false;
}

}  // namespace

void open_url(const char* url) {
    // xdg-open may stay until the browser exits; a session of its own keeps
    // it alive after we are gone, and we never wait for it.
    const char* const argv[] = {"xdg-open", url, nullptr};
    spawn_from_path(argv, true);
}

void show_warning(const char* caption, const char* text) {
    if (has_display() && show_with_dialog_tool(caption, text)) {
        return;
    }
    std::fprintf(stderr, "%s: %s\n", caption, text);
}

}  // namespace desktop

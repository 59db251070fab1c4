#include <csignal>

#include "detect.h"

// Arguments are ignored, as on Windows.
int main() {
    // A parent that ignores SIGCHLD would make waitpid fail, and with it
    // the tell whether a dialog tool showed the box.
    std::signal(SIGCHLD, SIG_DFL);
    return detect::run_launcher();
}

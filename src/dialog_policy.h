// How the Linux launcher warns: which desktop dialog tool it tries next,
// and when the warning goes to standard error. Decided here, above the
// platform layer, so that a table can test every case; desktop_posix.cpp
// only starts a tool and tells how it ended.
#pragma once

#include <array>
#include <cstddef>

namespace detect {

// The tools, in the order they are tried.
enum class dialog_tool : unsigned char { zenity, kdialog, xmessage };
inline constexpr std::array<dialog_tool, 3> dialog_tools = {
    dialog_tool::zenity, dialog_tool::kdialog, dialog_tool::xmessage};

// How one attempt to show the box ended.
enum class dialog_end : unsigned char {
    no_display,  // neither DISPLAY nor WAYLAND_DISPLAY: no tool was started
    not_found,   // the tool could not be started
    killed,      // a signal ended it: it showed nothing (kdialog without a display aborts)
    shown,       // it exited 0: the box was shown and dismissed
    failed,      // it exited non-zero, or its status was lost: it may have shown
                 // nothing, or the box was cancelled
};

// What the launcher does next.
enum class warning_step : unsigned char {
    next_tool,       // try the next tool
    done,            // the user has seen the warning
    line_on_stderr,  // write "CAPTION: TEXT" on standard error, and stop
};

// The step after a tool ended so; last says no tool is left to try.
warning_step next_warning_step(dialog_end end, bool last);

}  // namespace detect

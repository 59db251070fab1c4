// How the Linux launcher warns: which desktop dialog tool it tries next,
// and when the warning goes to standard error. Decided here, above the
// platform layer, so that a table can test every case; desktop_posix.cpp
// only starts a tool and tells how it ended. Written whole in this header,
// so that the platform layer uses it without linking anything above it.
#pragma once

#include <array>
#include <span>

namespace detect {

enum class dialog_tool : unsigned char { zenity, kdialog, xmessage };

// How one attempt to show the box ended.
enum class dialog_end : unsigned char {
    not_found,  // the tool could not be started
    killed,     // a signal ended it: it showed nothing (kdialog without a display aborts)
    shown,      // it exited 0: the box was shown and dismissed
    failed,     // it exited non-zero, or its status was lost: it may have shown
                // nothing, or the box was cancelled
};

// What the launcher does next.
struct warning_step {
    enum kind_of_step : unsigned char {
        try_tool,        // start tool
        done,            // the user has seen the warning
        line_on_stderr,  // write "CAPTION: TEXT" on standard error, and stop
    } kind;
    dialog_tool tool = dialog_tool::zenity;
};

// The step after the tools tried so far ended as ended says, in the order
// they were tried; display: DISPLAY or WAYLAND_DISPLAY names one.
constexpr warning_step next_warning_step(bool display, std::span<const dialog_end> ended) {
    constexpr std::array tools = {dialog_tool::zenity, dialog_tool::kdialog, dialog_tool::xmessage};
    // Without a display no tool can show anything, and zenity and xmessage
    // would say so only as a failure.
    if (!display) {
        return {warning_step::line_on_stderr};
    }
    if (!ended.empty() && ended.back() == dialog_end::shown) {
        return {warning_step::done};
    }
    // A failed tool has the last word: another box after a cancelled one
    // would be a second warning, so the line goes out in case none was
    // seen. After a tool that showed nothing, the next may manage, and
    // when none is left the line is all the user gets.
    if ((!ended.empty() && ended.back() == dialog_end::failed) || ended.size() >= tools.size()) {
        return {warning_step::line_on_stderr};
    }
    return {warning_step::try_tool, tools[ended.size()]};
}

}  // namespace detect

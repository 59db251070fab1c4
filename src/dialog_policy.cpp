#include "dialog_policy.h"

namespace detect {

warning_step next_warning_step(dialog_end end, bool last) {
    switch (end) {
    case dialog_end::not_found:
    case dialog_end::killed:
        // Nothing was shown: the next tool may manage, and when none is
        // left the line is all the user gets.
        return last ? warning_step::line_on_stderr : warning_step::next_tool;
    case dialog_end::shown: return warning_step::done;
    case dialog_end::no_display:
    case dialog_end::failed:
        // A failed tool has the last word: another box after a cancelled
        // one would be a second warning, so the line goes out in case none
        // was seen.
        return warning_step::line_on_stderr;
    }
    return warning_step::line_on_stderr;
}

}  // namespace detect

// The two desktop actions as each platform provides them. A port to another
// desktop keeps both promises, above all that a warning is never silent.
#pragma once

namespace desktop {

// Hands url to the platform's "open" action, which starts or reuses the
// default browser, and returns without waiting for the browser. Whether
// the platform managed is not reported.
//   Windows: ShellExecuteA "open", COM initialised around it.
//   Linux: xdg-open, started in a session of its own with its output
//   discarded, and never waited for.
void open_url(const char* url);

// Warns the user and returns once the warning is over; it is never silent.
//   Windows: a standalone box (MessageBoxA, warning icon, one OK button)
//   that blocks until the user dismisses it.
//   Linux: with a display, the first of zenity, kdialog and xmessage that
//   starts and is not killed shows the box, and this waits for it; the
//   line "CAPTION: TEXT" goes to standard error as well when that tool
//   exits with an error (it may have shown nothing), and instead of a box
//   when there is no display or no tool.
void show_warning(const char* caption, const char* text);

}  // namespace desktop

// The two desktop actions as each platform provides them.
#pragma once

namespace desktop {

// Hands url to the platform's "open" action, which starts or reuses the
// default browser, and returns without waiting for the browser. Whether
// the platform managed is not reported.
void open_url(const char* url);

// Shows a standalone warning box with one OK button and blocks until the
// user dismisses it.
void show_warning(const char* caption, const char* text);

}  // namespace desktop

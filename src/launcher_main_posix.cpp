#include "launcher.h"

// Arguments are ignored, as on Windows.
int main() { return detect::run_launcher(); }

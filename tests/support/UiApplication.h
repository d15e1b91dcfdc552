#pragma once
// Support for the tests of ui/. Linking it also installs the program's own dialogs behind
// platform/'s handlers, as the program does at start: a test that replaces a handler and
// puts it back finds the real box again.

namespace parelix::test {

// Creates the QApplication on first use (widget tests run under QT_QPA_PLATFORM=offscreen).
void ensureApplication();

}  // namespace parelix::test

#pragma once

namespace kb::testing {

// Makes the test binary's one QApplication on first use (offscreen under ctest). Call it
// from the main thread before touching any widget.
void ensure_qt_application();

}  // namespace kb::testing

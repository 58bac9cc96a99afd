#include "tests/ui/qt_application.h"

#include <QApplication>
#include <cstdlib>

namespace kb::testing {

void ensure_qt_application() {
    if (QCoreApplication::instance()) return;
    // Direct runs of the binary get the same platform as ctest gives it.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tearing it down among the exit handlers races Qt's own globals.
    static QApplication* application = new QApplication(argc, argv);
    (void)application;
}

}  // namespace kb::testing

// The one QApplication of the Qt test suite, made on first use (never at discovery).
#pragma once

#include <QApplication>

namespace qttest {

inline QApplication& application() {
    static int argc = 1;
    static char name[] = "qt_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Base of every fixture, so the application exists before any member is made.
struct WithApplication {
    WithApplication() { application(); }
};

}  // namespace qttest

// The one QApplication of the Qt tests, made on first use (never at discovery), and the
// base of their fixtures: the real loop, and an application whose boxes a test reads.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include <functional>

#include "platform/qt/qt_event_loop.h"
#include "tests/fakes/virtual_platform.h"
#include "ui/application.h"

namespace qttest {

inline QApplication& application() {
    static int argc = 1;
    static char name[] = "qt_tests";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Runs the application's events until `done` holds or `ms` have passed; says whether it
// holds. For answers that come over a bus or a descriptor, whose time no test knows.
inline bool waitFor(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// A base, so the application exists before any member is made.
struct WithApplication {
    WithApplication() { application(); }
};

class QtTest : public WithApplication, public ::testing::Test {
protected:
    qt::QtEventLoop loop;
    fakes::ScriptedServices services;
    ui::Application app{loop, services};
};

}  // namespace qttest

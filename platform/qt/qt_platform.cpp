#include "platform/qt/qt_platform.h"

#include <QApplication>

#include "platform/qt/qt_event_loop.h"
#include "platform/instance/qt_single_instance.h"
#include "platform/qt/qt_view.h"
#include "platform/qt/qt_window_services.h"

namespace qt {

struct QtPlatform::Impl {
    Impl(int& argc, char** argv) : application(argc, argv) {
        QApplication::setApplicationName(QStringLiteral("Tolvane"));
        QApplication::setDesktopFileName(QStringLiteral("tolvane"));
    }

    QApplication application;
    QtEventLoop loop;
    QtView view;
    QtWindowServices services{view};
    std::unique_ptr<instance::SingleInstance> instance;
};

QtPlatform::QtPlatform(int& argc, char** argv) {
    // The window is small and repaints one panel a second: plain X requests copy that
    // cheaply, while shared-memory images cost the X event thread and the main thread
    // an extra wake-up for every repaint's completion event.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    impl_ = std::make_unique<Impl>(argc, argv);
}

QtPlatform::~QtPlatform() = default;

bool QtPlatform::claimInstance(const std::string& settingsFile) {
    impl_->instance = instance::SingleInstance::forThisSession(settingsFile);
    impl_->instance->onShow = [this] { impl_->view.showMainWindow(); };
    return impl_->instance->claim();
}

std::string QtPlatform::instanceElsewhere() const {
    return impl_->instance ? impl_->instance->runningElsewhere() : std::string();
}

sys::EventLoop& QtPlatform::loop() { return impl_->loop; }

sys::WindowServices& QtPlatform::services() { return impl_->services; }

void QtPlatform::attach(ui::Form& form) { impl_->view.attach(form); }

void QtPlatform::detach(ui::Form& form) { impl_->view.detach(form); }

}  // namespace qt

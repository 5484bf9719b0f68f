// The Qt platform the program runs on: the toolkit's application object, the message
// loop, the view and the desktop services, made in the order they need each other.
#pragma once

#include <memory>
#include <string>

namespace sys {
class EventLoop;
class WindowServices;
}  // namespace sys
namespace ui {
class Form;
}  // namespace ui

namespace qt {

class QtPlatform {
public:
    // argc must outlive the platform.
    QtPlatform(int& argc, char** argv);
    ~QtPlatform();
    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;

    // False when this user already runs the program on the settings file: on this
    // display that one has been asked to show its main window; on another display,
    // instanceElsewhere() names it. Either way this one should end. Otherwise later
    // starts show this one's main window from now on.
    bool claimInstance(const std::string& settingsFile);
    // After a false claimInstance(): the other display the program runs on, or "".
    std::string instanceElsewhere() const;

    sys::EventLoop& loop();
    sys::WindowServices& services();

    // Shows a constructed form as a window from now on, until it goes or is detached.
    void attach(ui::Form& form);
    void detach(ui::Form& form);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qt

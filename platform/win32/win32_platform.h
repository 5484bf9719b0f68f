// The Windows platform the program runs on: the message loop, the view, the desktop
// services and the instance guard, made in the order they need each other.
#pragma once

#include <functional>
#include <memory>

namespace sys {
class EventLoop;
class WindowServices;
}  // namespace sys
namespace ui {
class Form;
}  // namespace ui

namespace win32 {

class Win32Platform {
public:
    Win32Platform();
    ~Win32Platform();
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    // False when this user already runs the program in this session: that one has been
    // asked to show its main window, and this one should end. Otherwise later starts
    // show this one's main window from now on.
    bool claimInstance();

    sys::EventLoop& loop();
    sys::WindowServices& services();

    // Shows a constructed form as a window from now on, until it goes or is detached.
    void attach(ui::Form& form);
    void detach(ui::Form& form);

    // Called after the system time or the time zone was changed.
    void onClockChanged(std::function<void()> changed);

    // Called when Windows ends the session (log-off, shut-down): the program saves what
    // it keeps before it returns, as a close by the user would.
    void onSessionEnd(std::function<void()> save);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace win32

// Message boxes, the open-file dialog and the application title on Windows.
#pragma once

#include <string>

#include "sys/window_services.h"

namespace win32 {

class Win32EventLoop;
class Win32View;

class Win32WindowServices : public sys::WindowServices {
public:
    // The boxes and the dialog belong to the view's active window; the loop keeps its
    // timers going while they are open.
    Win32WindowServices(Win32View& view, Win32EventLoop& loop) : view_(view), loop_(loop) {}

    void messageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    std::optional<std::string> openFileDialog(const std::string& filter, const std::string& fileName) override;
    void applicationTitleChanged(const std::string& title) override;
    // Standard error, and a balloon from the tray icon where there is one.
    void notify(const std::string& text) override;

private:
    Win32View& view_;
    Win32EventLoop& loop_;
};

// "Description|*.a;*.b|..." as the file dialog's filter: each description and its
// patterns end in a NUL, and the list in one more.
std::wstring dialogFilter(const std::string& filter);

}  // namespace win32

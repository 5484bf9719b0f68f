// Services of the desktop that the program asks for: modal boxes, the open-file
// dialog and the place where the application title is shown. The Qt view provides
// them for real; tests answer them from a script.
#pragma once

#include <optional>
#include <string>

namespace sys {

// Message box flags, with their classic numeric values.
namespace mb {
inline constexpr unsigned ok = 0x0000;
inline constexpr unsigned iconStop = 0x0010;
inline constexpr unsigned iconExclamation = 0x0030;
inline constexpr unsigned iconMask = 0x00F0;
inline constexpr unsigned systemModal = 0x1000;
}  // namespace mb

class WindowServices {
public:
    virtual ~WindowServices() = default;

    // Shows a modal box and returns when the user has closed it. The message loop
    // keeps running meanwhile (timers, posted tasks).
    virtual void messageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;

    // Shows the open-file dialog pre-filled with fileName; filter is "Description|patterns"
    // pairs joined with '|'. Returns the chosen full path, or nothing when cancelled.
    virtual std::optional<std::string> openFileDialog(const std::string& filter, const std::string& fileName) = 0;

    // The application title changed (the text the desktop shows for the program).
    virtual void applicationTitleChanged(const std::string& title) = 0;

    // Tells the user something that needs no answer, without a box to close: a desktop
    // notification where the desktop shows them; always also on standard error.
    virtual void notify(const std::string& text);
};

}  // namespace sys

// The Win32 view: native windows and controls for the controls of ui::Form trees. It
// mirrors every model change onto its window and feeds the user's input back into the
// model; it never decides behaviour itself. Window handles are passed as void* so that
// this header needs no system header.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace ui {
class Component;
class Form;
}  // namespace ui

namespace win32 {

class Win32View {
public:
    Win32View();
    ~Win32View();
    Win32View(const Win32View&) = delete;
    Win32View& operator=(const Win32View&) = delete;

    // Builds the window of a constructed form (its create handler has run) from the
    // form's current state and follows it from then on. A form's window goes away with
    // the form, or earlier with detach().
    void attach(ui::Form& form);
    void detach(ui::Form& form);

    // The application title: the text of the task-bar button and the tray icon's tooltip.
    void setApplicationTitle(const std::string& title);

    // A notice for the user as a balloon from the tray icon. False where there is no
    // tray icon to show it (the title has not been set, or the shell has no tray).
    bool showNotice(const std::string& text);

    // Brings the main window back (restored, to the front, focused), as when the user
    // picks the program from the tray or starts it a second time.
    void showMainWindow();

    // The window that owns modal boxes and the file dialog: the active form's window, or
    // null when there is none.
    void* ownerWindow() const;

    // Gives the view the first look at a message the loop has taken from the queue
    // (a MSG*): keyboard navigation between controls and menu accelerators. True when it
    // was handled and must not be translated and dispatched.
    bool preTranslate(void* msg);

    // A modal loop the program does not run (a menu, moving or sizing a window) starts
    // (true) or ends (false); the loop keeps its timers going meanwhile.
    std::function<void(bool)> onModalLoop;

    // Windows is ending the session (the user logs off or shuts down): whatever the
    // program keeps must be saved before this returns, since the process may be ended
    // at any moment afterwards.
    std::function<void()> onSessionEnd;

    // The windows made for the model (null when there is none), for tests and tools.
    void* window(const ui::Form& form) const;
    void* widget(const ui::Component& control) const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace win32

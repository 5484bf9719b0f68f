// The Qt view: real widgets for the controls of ui::Form trees. It mirrors every
// model change onto its widget and feeds the user's input back into the model; it
// never decides behaviour itself.
#pragma once

#include <memory>
#include <string>

class QAction;
class QWidget;

namespace ui {
class Component;
class Form;
class MenuItem;
}  // namespace ui

namespace qt {

class QtView {
public:
    // A QApplication must exist first and outlive the view.
    QtView();
    ~QtView();
    QtView(const QtView&) = delete;
    QtView& operator=(const QtView&) = delete;

    // Builds the window of a constructed form (its create handler has run) from the
    // form's current state and follows it from then on. A form's window goes away
    // with the form, or earlier with detach().
    void attach(ui::Form& form);
    void detach(ui::Form& form);

    // The application title, shown as the main window's icon name and as the tooltip
    // of the tray icon where the desktop has a tray.
    void setApplicationTitle(const std::string& title);

    // A notice for the user that the desktop could not show: the tray icon's tooltip
    // holds it under the title (the latest one only).
    void showNotice(const std::string& text);
    // The tray icon's tooltip, as it is shown where the desktop has a tray.
    std::string trayToolTip() const;

    // Brings the main window back (out of the task bar, to the front, focused), as
    // when the user picks the program from the tray.
    void showMainWindow();

    // The widgets made for the model (null when there is none), for tests and tools.
    QWidget* window(const ui::Form& form) const;
    QWidget* widget(const ui::Component& control) const;
    QAction* action(const ui::MenuItem& item) const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace qt

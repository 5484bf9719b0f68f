// The application object: title, forms, modal boxes, the error report, and the
// dispatcher that delivers each event and reports what escapes it.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "sys/event_loop.h"
#include "sys/window_services.h"

namespace ui {

class Form;
class MessageQueue;

class Application {
public:
    Application(sys::EventLoop& loop, sys::WindowServices& services);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    sys::EventLoop& loop() { return loop_; }
    sys::MessageQueue& queue();
    sys::WindowServices& services() { return services_; }

    // The title the desktop shows for the program, apart from any window's caption.
    // Reads back at most 255 characters.
    std::string title() const;
    void setTitle(const std::string& text);

    // A modal box owned by the application: every enabled, visible form is disabled
    // while it is open and enabled again afterwards; the form that was active becomes
    // active again. The message loop keeps running meanwhile.
    void messageBox(const std::string& text, const std::string& caption, unsigned flags);

    // The error report: the message followed by ".", captioned with the title.
    void showException(const std::exception& error);

    // Runs one event; an exception that escapes it is reported and swallowed.
    void dispatch(const std::function<void()>& event) noexcept;

    // Ends the message loop with exit code 0.
    void terminate();

    // Shows the main form and runs the message loop; returns the exit code.
    int run();
    // The main form is shown minimised by run(), without taking the focus (the program
    // was started with the session).
    void setStartMinimised(bool on) { startMinimised_ = on; }
    bool startMinimised() const { return startMinimised_; }
    bool terminated() const { return terminated_; }

    // Forms, in creation order; the first is the main form.
    const std::vector<Form*>& forms() const { return forms_; }
    Form* mainForm() const { return forms_.empty() ? nullptr : forms_.front(); }
    Form* activeForm() const { return active_; }

    // Called by forms and views.
    void addForm(Form& form);
    void removeForm(Form& form);
    void setActiveForm(Form* form) { active_ = form; }

private:
    sys::EventLoop& loop_;
    sys::WindowServices& services_;
    std::string title_;
    std::vector<Form*> forms_;
    Form* active_ = nullptr;
    bool terminated_ = false;
    bool startMinimised_ = false;
};

}  // namespace ui

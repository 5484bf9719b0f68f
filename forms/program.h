// The program's start-up and shutdown around its two windows.
#pragma once

#include <functional>
#include <memory>

#include "forms/about_form.h"
#include "forms/main_form.h"

namespace forms {

class Program {
public:
    Program(ui::Application& app, const MainFormServices& services);
    ~Program();  // shuts down if run() or shutdown() has not

    // Start-up: the title "Tolvane Off" before any window; the main window (whose
    // creation runs FormCreate), then the About window, hidden. An error that escapes
    // is reported.
    void start();
    // Shows the main window and runs the message loop until the program terminates;
    // then shuts down. Returns the exit code (0).
    int run();
    // Shutdown: the About window is destroyed, then the main window is hidden, its
    // FormDestroy runs, and it is destroyed with its controls.
    void shutdown();

    // Called just after a form has been created and before the next step, so a view
    // can show it.
    std::function<void(ui::Form&)> onFormCreated;
    // Called just before a form is destroyed.
    std::function<void(ui::Form&)> onFormDestroying;

    TMainForm* mainForm() const { return main_.get(); }
    TAboutForm* aboutForm() const { return about_.get(); }

private:
    ui::Application& app_;
    MainFormServices services_;
    std::unique_ptr<TMainForm> main_;
    std::unique_ptr<TAboutForm> about_;
};

}  // namespace forms

// Top-level windows.
#pragma once

#include <string>

#include "ui/control.h"

namespace ui {

class MainMenu;

enum class BorderStyle {
    Single,  // fixed size, system menu and minimise button
    Tool,    // small title bar, no buttons
};

class Form : public Control {
public:
    // Registers with the application; the first form registered is the main form.
    Form(Application& app, std::string name);
    ~Form() override;

    Form* form() override { return this; }
    Application& application() const { return app_; }

    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& text);
    BorderStyle borderStyle() const { return border_; }
    void setBorderStyle(BorderStyle b) { border_ = b; }
    // Name of the icon resource the view shows for the window.
    const std::string& icon() const { return icon_; }
    void setIcon(std::string name) { icon_ = std::move(name); }
    MainMenu* menu() const { return menu_; }
    void setMenu(MainMenu* m) { menu_ = m; }

    // Bounds are the client area in screen coordinates.
    void show();  // makes it visible and brings it to the front
    // Makes it visible minimised (a button on the task bar) without activating it, as
    // a program started with the session shows itself. show() brings it back.
    void showMinimised();
    // True from showMinimised() until the next show() or hide(): the view shows the
    // window minimised.
    bool minimisedShow() const { return minimisedShow_; }
    void hide();
    void close();  // the main form ends the program; any other form hides
    bool active() const;
    void activate();   // brings the form to the front and makes it active
    void activated();  // the view reports that the user activated it

    NotifyEvent onCreate;
    NotifyEvent onDestroy;

    // Runs onCreate; an error is reported and creation goes on.
    void doCreate();
    // Hides the form and runs onDestroy, reporting an error; called once before the
    // form is deleted.
    void doDestroy();

private:
    Application& app_;
    std::string caption_;
    BorderStyle border_ = BorderStyle::Single;
    std::string icon_;
    MainMenu* menu_ = nullptr;
    bool destroyed_ = false;
    bool minimisedShow_ = false;
};

}  // namespace ui

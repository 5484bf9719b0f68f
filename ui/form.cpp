#include "ui/form.h"

#include "ui/application.h"

namespace ui {

Form::Form(Application& app, std::string name) : Control(nullptr, std::move(name)), app_(app) {
    setVisible(false);
    app_.addForm(*this);
}

Form::~Form() { app_.removeForm(*this); }

void Form::setCaption(const std::string& text) { assign(caption_, text, Change::Text); }

void Form::show() {
    minimisedShow_ = false;
    setVisible(true);
    activate();
}

void Form::showMinimised() {
    minimisedShow_ = true;
    if (app_.activeForm() == this) app_.setActiveForm(nullptr);
    // A window shown already is minimised all the same.
    if (visible())
        changed(Change::Visible);
    else
        setVisible(true);
}

void Form::hide() {
    minimisedShow_ = false;
    setVisible(false);
    if (app_.activeForm() == this) app_.setActiveForm(nullptr);
}

void Form::close() {
    if (app_.mainForm() == this) {
        app_.terminate();
    } else {
        hide();
    }
}

bool Form::active() const { return app_.activeForm() == this; }

void Form::activate() {
    app_.setActiveForm(this);
    changed(Change::Activate);
}

void Form::activated() { app_.setActiveForm(this); }

void Form::doCreate() {
    app_.dispatch([this] {
        if (onCreate) onCreate(this);
    });
}

void Form::doDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    hide();
    app_.dispatch([this] {
        if (onDestroy) onDestroy(this);
    });
}

}  // namespace ui

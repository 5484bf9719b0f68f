#include "ui/application.h"

#include <algorithm>

#include "sys/message_queue.h"
#include "ui/form.h"

namespace ui {

Application::Application(sys::EventLoop& loop, sys::WindowServices& services) : loop_(loop), services_(services) {
    loop_.queue().setDispatcher([this](const sys::MessageQueue::Task& task) { dispatch(task); });
}

Application::~Application() { loop_.queue().setDispatcher(nullptr); }

sys::MessageQueue& Application::queue() { return loop_.queue(); }

std::string Application::title() const { return title_.substr(0, 255); }

void Application::setTitle(const std::string& text) {
    title_ = text;
    services_.applicationTitleChanged(title());
}

void Application::messageBox(const std::string& text, const std::string& caption, unsigned flags) {
    Form* previouslyActive = active_;
    std::vector<Form*> disabled;
    for (Form* f : forms_) {
        if (f->enabled() && f->visible()) {
            f->setEnabled(false);
            disabled.push_back(f);
        }
    }
    auto alive = [this](Form* f) { return std::find(forms_.begin(), forms_.end(), f) != forms_.end(); };
    try {
        services_.messageBox(text, caption, flags);
    } catch (...) {
        for (Form* f : disabled) {
            if (alive(f)) f->setEnabled(true);
        }
        throw;
    }
    for (Form* f : disabled) {
        if (alive(f)) f->setEnabled(true);
    }
    if (previouslyActive && alive(previouslyActive) && previouslyActive->visible()) previouslyActive->activate();
}

void Application::showException(const std::exception& error) {
    messageBox(std::string(error.what()) + ".", title(), sys::mb::ok | sys::mb::iconStop);
}

void Application::dispatch(const std::function<void()>& event) noexcept {
    try {
        event();
    } catch (const std::exception& e) {
        showException(e);
    } catch (...) {
        showException(std::runtime_error("An unexpected error occurred"));
    }
}

void Application::terminate() {
    terminated_ = true;
    loop_.quit(0);
}

int Application::run() {
    if (Form* main = mainForm()) {
        if (startMinimised_)
            main->showMinimised();
        else
            main->show();
    }
    if (terminated_) return 0;
    return loop_.run();
}

void Application::addForm(Form& form) { forms_.push_back(&form); }

void Application::removeForm(Form& form) {
    std::erase(forms_, &form);
    if (active_ == &form) active_ = nullptr;
}

}  // namespace ui

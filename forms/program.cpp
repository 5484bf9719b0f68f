#include "forms/program.h"

namespace forms {

Program::Program(ui::Application& app, const MainFormServices& services) : app_(app), services_(services) {}

Program::~Program() { shutdown(); }

void Program::start() {
    app_.dispatch([this] {
        app_.setTitle("Tolvane Off");
        main_ = std::make_unique<TMainForm>(app_, services_);
        if (onFormCreated) onFormCreated(*main_);
        about_ = std::make_unique<TAboutForm>(app_);
        if (onFormCreated) onFormCreated(*about_);
    });
}

int Program::run() {
    int code = 0;
    if (main_ && about_) code = app_.run();
    shutdown();
    return code;
}

void Program::shutdown() {
    if (about_) {
        if (onFormDestroying) onFormDestroying(*about_);
        about_.reset();
    }
    if (main_) {
        main_->doDestroy();
        if (onFormDestroying) onFormDestroying(*main_);
        main_.reset();
    }
}

}  // namespace forms

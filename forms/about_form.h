// Module About: the About window.
#pragma once

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace forms {

class TAboutForm : public ui::Form {
public:
    explicit TAboutForm(ui::Application& app);
    ~TAboutForm() override;

    ui::Label* AboutLabel;
    ui::Label* AddressLabel;
    ui::Label* EmailLabel;
    ui::Label* URLLabel;
    ui::Button* OKButton;

    void OKButtonClick(ui::Component* sender);
};

extern TAboutForm* AboutForm;

}  // namespace forms

#include "forms/about_form.h"

namespace forms {

TAboutForm* AboutForm = nullptr;

namespace {
using ui::FontFamily;
namespace colors = ui::colors;
}  // namespace

TAboutForm::TAboutForm(ui::Application& app) : ui::Form(app, "AboutForm") {
    AboutForm = this;
    setCaption("Quennet 1.2");
    setBounds(270, 209, 293, 167);
    setBorderStyle(ui::BorderStyle::Tool);
    setFont({FontFamily::Sans, 8, false, colors::windowText});
    setIcon("tolvane-16");

    AboutLabel = add<ui::Label>("AboutLabel");
    AboutLabel->setBounds(16, 8, 256, 32);
    AboutLabel->setFont({FontFamily::Sans, 10, false, colors::windowText});
    AboutLabel->setWordWrap(true);

    // One string: the runs of blanks make the word wrap break it into three lines.
    AddressLabel = add<ui::Label>("AddressLabel");
    AddressLabel->setBounds(48, 48, 185, 48);
    AddressLabel->setCaption("The Tolvane developers            12 Chime Street                  Morningside");
    AddressLabel->setFont({FontFamily::Sans, 10, true, colors::black});
    AddressLabel->setWordWrap(true);

    EmailLabel = add<ui::Label>("EmailLabel");
    EmailLabel->setBounds(16, 104, 196, 13);
    EmailLabel->setCaption("email: tolvane@example.org");
    EmailLabel->setFont({FontFamily::Sans, 9, true, colors::teal});

    URLLabel = add<ui::Label>("URLLabel");
    URLLabel->setBounds(16, 120, 247, 13);
    URLLabel->setCaption("https://tolvane.example.org");
    URLLabel->setFont({FontFamily::Sans, 9, true, colors::teal});

    OKButton = add<ui::Button>("OKButton");
    OKButton->setBounds(104, 140, 75, 25);
    OKButton->setCaption("OK");
    OKButton->setTabOrder(0);
    OKButton->setTabStop(true);
    // Return presses OK, and Escape too.
    OKButton->setDefault(true);
    OKButton->setCancel(true);
    OKButton->onClick = [this](ui::Component* s) { OKButtonClick(s); };
}

TAboutForm::~TAboutForm() {
    if (AboutForm == this) AboutForm = nullptr;
}

void TAboutForm::OKButtonClick(ui::Component*) { close(); }

}  // namespace forms

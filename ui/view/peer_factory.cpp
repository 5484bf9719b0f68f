#include "ui/view/peer_factory.h"

#include "ui/controls.h"

namespace ui::view {

std::unique_ptr<ControlPeer> PeerFactory::make(ui::Control& c) {
    // A kind is asked for before any kind it is made from.
    if (auto* x = dynamic_cast<ui::CustomControl*>(&c)) return custom(*x);
    if (auto* x = dynamic_cast<ui::Label*>(&c)) return label(*x);
    if (auto* x = dynamic_cast<ui::Shape*>(&c)) return shape(*x);
    if (auto* x = dynamic_cast<ui::Panel*>(&c)) return panel(*x);
    if (auto* x = dynamic_cast<ui::TabbedNotebook*>(&c)) return notebook(*x);
    if (auto* x = dynamic_cast<ui::NotebookPage*>(&c)) return page(*x);
    if (auto* x = dynamic_cast<ui::Button*>(&c)) return button(*x);
    if (auto* x = dynamic_cast<ui::Edit*>(&c)) return edit(*x);
    if (auto* x = dynamic_cast<ui::UpDown*>(&c)) return upDown(*x);
    if (auto* x = dynamic_cast<ui::CheckBox*>(&c)) return checkBox(*x);
    if (auto* x = dynamic_cast<ui::RadioButton*>(&c)) return radioButton(*x);
    if (auto* x = dynamic_cast<ui::ScrollBox*>(&c)) return scrollBox(*x);
    if (auto* x = dynamic_cast<ui::Memo*>(&c)) return memo(*x);
    return nullptr;
}

}  // namespace ui::view

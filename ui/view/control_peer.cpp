#include "ui/view/control_peer.h"

#include "ui/controls.h"

namespace ui::view {

void ControlPeer::componentChanged(ui::Component&, ui::Change what) {
    Updating guard(*this);
    switch (what) {
    case ui::Change::Bounds:
        applyGeometry();
        if (ui::Control* parent = control_.parent()) {
            if (ControlPeer* p = ctx_.peerOf(*parent)) p->childGeometryChanged();
        }
        apply(what);
        break;
    case ui::Change::Visible: applyVisible(); break;
    case ui::Change::Enabled: applyEnabled(); break;
    case ui::Change::Font:
        applyFont();
        apply(what);
        break;
    case ui::Change::Focus: takeFocus(); break;
    case ui::Change::Repaint: repaint(); break;
    default: apply(what); break;
    }
}

void ControlPeer::syncAll() {
    Updating guard(*this);
    applyGeometry();
    applyFont();
    applyEnabled();
    applyHint();
    for (ui::Change c : {ui::Change::Text, ui::Change::Checked, ui::Change::Alignment, ui::Change::ReadOnly,
                         ui::Change::Color, ui::Change::Position, ui::Change::PageIndex})
        apply(c);
    // Shown last, with everything in place.
    applyVisible();
    childGeometryChanged();
}

void ControlPeer::reportFocus(bool hasFocus) {
    ctx_.dispatch([this, hasFocus] {
        if (control_.focused() != hasFocus) control_.focusChanged(hasFocus);
    });
    // A drawn control shows its focus itself.
    if (dynamic_cast<ui::CustomControl*>(&control_)) repaint();
}

}  // namespace ui::view

// What the peers of every kind share: the focus reported to the model, the widget
// taking the control's common state, and the factory that picks each kind's peer (the
// peers themselves are in one file a family: qt_text_controls.cpp, qt_buttons.cpp,
// qt_containers.cpp, qt_drawn_controls.cpp).
#include <QFocusEvent>
#include <QWidget>

#include "platform/qt/qt_peers.h"
#include "ui/view/peer_factory.h"

namespace qt {
namespace {

// Focus changes made by the user (or asked for by the model) reach the model; the
// window losing or regaining activation, or a menu opening, does not move the focus
// between controls and is not reported.
class FocusWatcher : public QObject {
public:
    FocusWatcher(QWidget* target, ControlPeer& peer) : QObject(target), peer_(peer) {
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::FocusIn && e->type() != QEvent::FocusOut) return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || reason == Qt::MenuBarFocusReason)
            return false;
        peer_.reportFocus(e->type() == QEvent::FocusIn);
        return false;
    }

private:
    ControlPeer& peer_;
};

}  // namespace

// ---- ControlPeer ----------------------------------------------------------------------

void ControlPeer::setWidget(QWidget* w) {
    widget_ = w;
    if (QWidget* target = focusTarget()) new FocusWatcher(target, *this);
}

void ControlPeer::applyVisible() { widget_->setVisible(control().visible()); }

void ControlPeer::applyEnabled() { widget_->setEnabled(control().enabled()); }

void ControlPeer::applyGeometry() {
    const ui::Rect b = control().bounds();
    widget_->setGeometry(b.left, b.top, b.width(), b.height());
}

void ControlPeer::applyFont() {
    widget_->setFont(toQFont(control().font()));
    QPalette palette = widget_->palette();
    setTextColor(palette, control().font().color);
    widget_->setPalette(palette);
}

void ControlPeer::applyHint() {
    widget_->setToolTip(control().showHint() ? toQString(control().hint()) : QString());
    if (!control().accessibleName().empty()) widget_->setAccessibleName(toQString(control().accessibleName()));
}

void ControlPeer::takeFocus() {
    if (QWidget* target = focusTarget()) target->setFocus(Qt::OtherFocusReason);
}

void ControlPeer::repaint() { widget_->update(); }

std::unique_ptr<ui::view::ControlPeer> makeControlPeer(ui::Control& c, QWidget* parent, FormContext& ctx) {
    return ui::view::PeerFactoryFor<QWidget*, FormContext>(parent, ctx).make(c);
}

}  // namespace qt

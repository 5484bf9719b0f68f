// What assistive tools see of the widgets the view draws itself: a panel reads as text,
// spin buttons as a spin box, a line as a separator, and a control that draws push
// buttons of its own (the transport bar) as a tool bar of real buttons that can be
// pressed. Everything is read from the model when a tool asks.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QWidget>

#include <unordered_map>
#include <vector>

#include "platform/qt/view_internal.h"
#include "ui/accessible.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace qt {
namespace {

// Input from a tool reaches a control only where a click could: not on a hidden or
// disabled widget, nor on a window held under a box.
bool takesInput(const QWidget* w, ui::Control& control) {
    const ui::Form* form = control.form();
    return w->isEnabled() && w->isVisible() && (!form || form->enabled());
}

// ---- Panels ------------------------------------------------------------------------

// A panel with a caption reads as text: the caption (the time of day, the chosen sound)
// is its name, and its accessible name says what it is. The text is fetched when a tool
// asks and never announced, so the clock's second-by-second change stays quiet. A panel
// that holds controls is a group named by its accessible name.
class PanelAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    PanelAccessible(QWidget* w, ui::Panel& panel)
        : QAccessibleWidget(w, panel.children().empty() ? QAccessible::StaticText : QAccessible::Grouping),
          panel_(panel) {}

    QString text(QAccessible::Text t) const override {
        const QString name = toQString(panel_.accessibleName());
        if (t == QAccessible::Name) return caption().isEmpty() ? name : caption();
        if (t == QAccessible::Description && !caption().isEmpty()) return name;
        return QAccessibleWidget::text(t);
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    // Read-only text, with no cursor or selection of its own.
    QString text(int start, int end) const override { return caption().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(caption().size()); }
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }

private:
    QString caption() const { return toQString(panel_.caption()); }
    ui::Panel& panel_;
};

// ---- Spin buttons ------------------------------------------------------------------

// The position is the value; increase and decrease are clicks on the two arrows.
class SpinAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    SpinAccessible(QWidget* w, ui::UpDown& updown, FormContext& ctx)
        : QAccessibleWidget(w, QAccessible::SpinBox), updown_(updown), ctx_(ctx) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return QString::number(updown_.position());
        return QAccessibleWidget::text(t);
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QVariant currentValue() const override { return updown_.position(); }
    // Only the arrows change the position, as for the mouse.
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return updown_.max(); }
    QVariant minimumValue() const override { return updown_.min(); }
    QVariant minimumStepSize() const override { return 1; }

    QStringList actionNames() const override {
        return QStringList{increaseAction(), decreaseAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action != increaseAction() && action != decreaseAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        if (!takesInput(widget(), updown_)) return;
        const ui::UpDownButton button = action == increaseAction() ? ui::UpDownButton::Up : ui::UpDownButton::Down;
        ctx_.dispatch([this, button] { updown_.step(button); });
    }

private:
    ui::UpDown& updown_;
    FormContext& ctx_;
};

// ---- Drawn push buttons --------------------------------------------------------------

class PartsAccessible;

// The tool bars a tool has asked about, by their widget; only those have anything to
// report when they change.
std::unordered_map<const QWidget*, PartsAccessible*> askedBars;

// One drawn button: a push button whose press is a click on it.
class PartAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    PartAccessible(PartsAccessible& bar, int index) : bar_(bar), index_(index) {}

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::PushButton; }
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override;
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    PartsAccessible& bar_;
    int index_;
};

// The drawing control as a tool bar whose children are its parts, all of them, hidden
// ones marked invisible.
class PartsAccessible : public QAccessibleWidget {
public:
    PartsAccessible(QWidget* w, ui::AccessibleParts& parts, DrawnWidget& drawn)
        : QAccessibleWidget(w, QAccessible::ToolBar), parts_(parts), drawn_(drawn) {
        for (int i = 0; i < parts.partCount(); ++i) {
            auto* part = new PartAccessible(*this, i);
            ids_.push_back(QAccessible::registerAccessibleInterface(part));
            shown_.push_back(partState(i));
        }
        askedBars[w] = this;
    }
    ~PartsAccessible() override {
        std::erase_if(askedBars, [this](const auto& entry) { return entry.second == this; });
        for (QAccessible::Id id : ids_) QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return static_cast<int>(ids_.size()); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) return nullptr;
        return QAccessible::accessibleInterface(ids_[static_cast<std::size_t>(index)]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < childCount(); ++i) {
            if (this->child(i) == child) return i;
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); ++i) {
            if (parts_.partVisible(i) && partRect(i).contains(x, y)) return child(i);
        }
        return nullptr;
    }

    ui::AccessibleParts& parts() const { return parts_; }

    QRect partRect(int index) const {
        const ui::Rect r = parts_.partRect(index);
        if (r.width() <= 0 || !widget()->isVisible()) return {};
        return {widget()->mapToGlobal(QPoint(r.left, r.top)), QSize(r.width(), r.height())};
    }

    QAccessible::State partState(int index) const {
        QAccessible::State s;
        s.disabled = !parts_.partEnabled(index) || !widget()->isEnabled();
        s.invisible = !parts_.partVisible(index) || !widget()->isVisible();
        s.offscreen = s.invisible;
        s.focusable = !s.invisible && widget()->focusPolicy() != Qt::NoFocus;
        s.focused = index == parts_.focusedPart();
        return s;
    }

    // The part the keyboard is on: what a tool reads when the bar takes the focus.
    QAccessibleInterface* focusChild() const override { return child(parts_.focusedPart()); }

    void press(int index) {
        if (!takesInput(widget(), drawn_.model)) return;
        drawn_.context.dispatch([this, index] { parts_.pressPart(index); });
    }

    // The parts were redrawn: tools hear of each part that became enabled or disabled,
    // shown or hidden, or took or lost the focus, and of the part the focus moved to.
    void refresh() {
        for (int i = 0; i < childCount(); ++i) {
            const QAccessible::State now = partState(i);
            QAccessible::State& was = shown_[static_cast<std::size_t>(i)];
            QAccessible::State changed;
            changed.disabled = now.disabled != was.disabled;
            changed.invisible = now.invisible != was.invisible;
            changed.focused = now.focused != was.focused;
            was = now;
            if (!changed.disabled && !changed.invisible && !changed.focused) continue;
            QAccessibleStateChangeEvent event(child(i), changed);
            QAccessible::updateAccessibility(&event);
            if (changed.focused && now.focused) {
                QAccessibleEvent focus(child(i), QAccessible::Focus);
                QAccessible::updateAccessibility(&focus);
            }
        }
    }

private:
    ui::AccessibleParts& parts_;
    DrawnWidget& drawn_;
    std::vector<QAccessible::Id> ids_;
    std::vector<QAccessible::State> shown_;
};

bool PartAccessible::isValid() const { return bar_.isValid(); }
QWindow* PartAccessible::window() const { return bar_.window(); }
QAccessibleInterface* PartAccessible::parent() const { return &bar_; }
QRect PartAccessible::rect() const { return bar_.partRect(index_); }
QAccessible::State PartAccessible::state() const { return bar_.partState(index_); }

QString PartAccessible::text(QAccessible::Text t) const {
    return t == QAccessible::Name ? toQString(bar_.parts().partName(index_)) : QString();
}

void PartAccessible::doAction(const QString& action) {
    if (action == pressAction()) bar_.press(index_);
}

QAccessibleInterface* drawnWidgetFactory(const QString&, QObject* object) {
    auto* drawn = dynamic_cast<DrawnWidget*>(object);
    if (!drawn) return nullptr;
    auto* w = static_cast<QWidget*>(object);  // only widgets are drawn widgets
    ui::Control& c = drawn->model;
    if (auto* parts = dynamic_cast<ui::AccessibleParts*>(&c)) return new PartsAccessible(w, *parts, *drawn);
    if (auto* panel = dynamic_cast<ui::Panel*>(&c)) return new PanelAccessible(w, *panel);
    if (auto* updown = dynamic_cast<ui::UpDown*>(&c)) return new SpinAccessible(w, *updown, drawn->context);
    if (dynamic_cast<ui::Shape*>(&c)) return new QAccessibleWidget(w, QAccessible::Separator);
    return nullptr;
}

}  // namespace

void installAccessibility() { QAccessible::installFactory(drawnWidgetFactory); }

void accessiblePartsChanged(const QWidget* widget) {
    if (const auto it = askedBars.find(widget); it != askedBars.end()) it->second->refresh();
}

}  // namespace qt

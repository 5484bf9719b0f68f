// Push buttons, and the check boxes and radio buttons whose mark the model decides.
#include <QAbstractButton>
#include <QCheckBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include <memory>

#include "platform/qt/qt_peers.h"

namespace qt {
namespace {

// ---- Button -------------------------------------------------------------------------

class ButtonPeer : public ControlPeer {
public:
    ButtonPeer(ui::Button& button, QWidget* parent, FormContext& ctx) : ControlPeer(button, ctx), button_(button) {
        auto* w = new QPushButton(parent);
        w->setAutoDefault(false);
        w->setFocusPolicy(focusPolicyFor(button));
        QObject::connect(w, &QPushButton::clicked, w, [this] {
            if (!updating()) this->ctx().dispatch([this] { button_.click(); });
        });
        setWidget(w);
    }

protected:
    void apply(ui::Change what) override {
        if (what == ui::Change::Text) static_cast<QPushButton*>(widget())->setText(toQString(button_.caption()));
    }

private:
    ui::Button& button_;
};

// ---- CheckBox, RadioButton ----------------------------------------------------------

// Check boxes and radio buttons whose checking the model decides: a click asks the
// model, and the mark follows what the model then holds.
template <class Base>
class ModelButton : public Base {
public:
    using Base::Base;
    std::function<void()> onDoubleClick;

protected:
    void nextCheckState() override {}
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        // The second press of a double click: no press look and no click of its own.
        if (e->button() == Qt::LeftButton && onDoubleClick) {
            e->accept();
            onDoubleClick();
            return;
        }
        Base::mouseDoubleClickEvent(e);
    }
};

// Check boxes and radio buttons: the model decides the check mark. A click goes to the
// model, and then the widget shows what the model made of it.
template <class Model, class Widget>
class CheckablePeer : public ControlPeer {
public:
    CheckablePeer(Model& model, QWidget* parent, FormContext& ctx)
        : ControlPeer(model, ctx), model_(model), button_(new ModelButton<Widget>(parent)) {
        button_->setFocusPolicy(focusPolicyFor(model));
        QObject::connect(button_, &QAbstractButton::clicked, button_, [this] {
            if (!this->updating()) userAction([this] { model_.click(); });
        });
        setWidget(button_);
    }

protected:
    void userAction(const std::function<void()>& action) {
        this->ctx().dispatch(action);
        Updating guard(*this);
        apply(ui::Change::Checked);
    }

    void apply(ui::Change what) override {
        if (what == ui::Change::Text)
            button_->setText(toQString(model_.caption()));
        else if (what == ui::Change::Checked)
            button_->setChecked(model_.checked());
    }

    Model& model_;
    ModelButton<Widget>* button_;
};

class CheckBoxPeer : public CheckablePeer<ui::CheckBox, QCheckBox> {
public:
    using CheckablePeer::CheckablePeer;
};

class RadioPeer : public CheckablePeer<ui::RadioButton, QRadioButton> {
public:
    RadioPeer(ui::RadioButton& radio, QWidget* parent, FormContext& ctx) : CheckablePeer(radio, parent, ctx) {
        button_->setAutoExclusive(false);
        button_->onDoubleClick = [this] { userAction([this] { model_.doubleClick(); }); };
    }
};

}  // namespace

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Button& button, QWidget* parent, FormContext& ctx) {
    return std::make_unique<ButtonPeer>(button, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::CheckBox& box, QWidget* parent, FormContext& ctx) {
    return std::make_unique<CheckBoxPeer>(box, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::RadioButton& radio, QWidget* parent, FormContext& ctx) {
    return std::make_unique<RadioPeer>(radio, parent, ctx);
}

}  // namespace qt

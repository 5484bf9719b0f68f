#include "ui/controls.h"

#include <algorithm>
#include <cstdint>

#include "sys/exception.h"
#include "ui/application.h"
#include "ui/form.h"

namespace ui {

// ---- Label, Shape, Panel -------------------------------------------------------

void Label::setCaption(const std::string& text) { assign(caption_, text, Change::Text); }

void Label::textMeasured(int width, int height) {
    if (autoSize_) setAutoBounds(width, height);
}

void Shape::setColors(Color brush, Color pen) {
    brush_ = brush;
    pen_ = pen;
    changed(Change::Color);
}

void Panel::setCaption(const std::string& text) { assign(caption_, text, Change::Text); }

void Panel::setAlignment(Alignment a) { assign(alignment_, a, Change::Alignment); }

void Panel::setBevels(Bevel outer, Bevel inner) {
    outer_ = outer;
    inner_ = inner;
    changed(Change::Repaint);
}

void Panel::setColor(Color c) { assign(color_, c, Change::Color); }

// ---- TabbedNotebook --------------------------------------------------------------

NotebookPage* TabbedNotebook::addPage(const std::string& caption) {
    auto* page = add<NotebookPage>(std::string(), caption);
    page->setBounds(0, 0, std::max(0, width() - 8), std::max(0, height() - tabHeight - 8));
    pages_.push_back(page);
    return page;
}

void TabbedNotebook::setPageIndex(int index) {
    if (index < 0 || index >= static_cast<int>(pages_.size())) return;
    // The keyboard focus never stays on a page put away: it goes to the tabs, from
    // where Tab enters the new page.
    const bool focusOnPage = pages_[static_cast<std::size_t>(pageIndex_)]->focusedControl() != nullptr;
    if (assign(pageIndex_, index, Change::PageIndex) && focusOnPage) setFocus();
}

// ---- Button ----------------------------------------------------------------------

void Button::setCaption(const std::string& text) { assign(caption_, text, Change::Text); }

void Button::click() {
    if (onClick) onClick(this);
}

// ---- Edit ------------------------------------------------------------------------

Edit::Edit(Component* parent, std::string name) : Control(parent, std::move(name)) { setTabStop(true); }

Edit::~Edit() {
    if (spin_) spin_->linkKeys(nullptr);
}

void Edit::setText(const std::string& text) {
    if (assign(text_, text, Change::Text) && onChange) onChange(this);
}

void Edit::setReadOnly(bool v) { assign(readOnly_, v, Change::ReadOnly); }

char Edit::keyPress(char key) {
    if (onKeyPress) onKeyPress(this, key);
    return key;
}

void Edit::type(char key) {
    const char left = keyPress(key);
    if (left == 0 || readOnly_) return;
    if (left == '\b') {
        if (!text_.empty()) setText(text_.substr(0, text_.size() - 1));
    } else if (static_cast<unsigned char>(left) >= 0x20) {
        setText(text_ + left);
    }
}

bool Edit::keyDown(Key key) {
    if (spin_ && (key == Key::Up || key == Key::Down)) {
        spin_->step(key == Key::Up ? UpDownButton::Up : UpDownButton::Down);
        return true;
    }
    return false;
}

void Edit::mouseMove(Point where) {
    if (onMouseMove) onMouseMove(this, where);
}

void Edit::focusChanged(bool hasFocus) {
    const bool lost = focused() && !hasFocus;
    Control::focusChanged(hasFocus);
    if (lost && onExit) onExit(this);
}

// ---- UpDown ----------------------------------------------------------------------

UpDown::~UpDown() { linkKeys(nullptr); }

void UpDown::linkKeys(Edit* edit) {
    if (keyBox_) keyBox_->spin_ = nullptr;
    if (associate_ != edit) associate_ = nullptr;
    keyBox_ = edit;
    if (!edit) return;
    if (edit->spin_ && edit->spin_ != this) edit->spin_->linkKeys(nullptr);
    edit->spin_ = this;
}

void UpDown::setRange(int min, int max) {
    min_ = min;
    max_ = max;
    position_ = std::clamp(position_, min_, max_);
}

void UpDown::setPosition(int value) {
    assign(position_, std::clamp(static_cast<int>(static_cast<std::int16_t>(value)), min_, max_), Change::Position);
    if (associate_) associate_->setText(std::to_string(position_));
}

void UpDown::setAssociate(Edit* edit) {
    linkKeys(edit);
    associate_ = edit;
    if (associate_) associate_->setText(std::to_string(position_));
}

void UpDown::setArrowKeyBox(Edit* edit) { linkKeys(edit); }

void UpDown::step(UpDownButton button) {
    int pos = position_;
    if (associate_) {
        try {
            pos =
                std::clamp(static_cast<int>(static_cast<std::int16_t>(sys::strToInt(associate_->text()))), min_, max_);
        } catch (const sys::ConvertError&) {
            // A box that holds no number leaves the position as it was.
        }
    }
    if (button == UpDownButton::Up) {
        pos = pos >= max_ ? (wrap_ ? min_ : max_) : pos + 1;
    } else {
        pos = pos <= min_ ? (wrap_ ? max_ : min_) : pos - 1;
    }
    setPosition(pos);
    if (onClick) onClick(this, button);
}

// ---- CheckBox, RadioButton -------------------------------------------------------

void CheckBox::setCaption(const std::string& text) { assign(caption_, text, Change::Text); }

void CheckBox::setChecked(bool v) {
    if (assign(checked_, v, Change::Checked) && onClick) onClick(this);
}

void CheckBox::click() { setChecked(!checked_); }

void RadioButton::setCaption(const std::string& text) { assign(caption_, text, Change::Text); }

void RadioButton::setChecked(bool v) {
    if (!assign(checked_, v, Change::Checked) || !v) return;
    if (Control* p = parent()) {
        for (Control* sibling : p->children()) {
            auto* radio = dynamic_cast<RadioButton*>(sibling);
            if (radio && radio != this) radio->setChecked(false);
        }
    }
    if (onClick) onClick(this);
}

void RadioButton::click() { setChecked(true); }

void RadioButton::doubleClick() {
    if (onDblClick) onDblClick(this);
}

// ---- Memo ------------------------------------------------------------------------

Memo::Memo(Component* parent, std::string name) : Control(parent, std::move(name)) { setTabStop(true); }

void Memo::setLines(std::vector<std::string> lines) {
    lines_ = std::move(lines);
    changed(Change::Text);
}

// ---- CustomControl ---------------------------------------------------------------

CustomControl::~CustomControl() {
    if (queue_ && handle_) queue_->unregisterWindow(handle_);
}

sys::WindowHandle CustomControl::handle() {
    if (!handle_) {
        Form* f = form();
        if (!f) return 0;
        queue_ = &f->application().queue();
        handle_ = queue_->registerWindow(*this);
    }
    return handle_;
}

void CustomControl::handleMessage(const sys::Message& msg) { windowMessage(msg); }

// ---- Timer -----------------------------------------------------------------------

Timer::~Timer() {
    if (id_ && loop_) loop_->stopTimer(id_);
}

void Timer::setInterval(int ms) {
    if (assign(interval_, ms)) restart();
}

void Timer::setEnabled(bool v) {
    if (assign(enabled_, v)) restart();
}

void Timer::setPhase(sys::TimerPhase p) {
    if (assign(phase_, p)) restart();
}

void Timer::setOnTimer(NotifyEvent handler) {
    onTimer_ = std::move(handler);
    restart();
}

void Timer::restart() {
    if (id_ && loop_) loop_->stopTimer(id_);
    id_ = 0;
    if (!enabled_ || interval_ <= 0 || !onTimer_) return;
    Form* f = form();
    if (!f) return;
    Application* app = &f->application();
    loop_ = &app->loop();
    id_ = loop_->startTimer(std::chrono::milliseconds(interval_), phase_, [this, app] {
        app->dispatch([this] {
            if (onTimer_) onTimer_(this);
        });
    });
}

// ---- OpenDialog, menus -----------------------------------------------------------

bool OpenDialog::execute() {
    Form* f = form();
    if (!f) return false;
    auto chosen = f->application().services().openFileDialog(filter_, fileName_);
    if (!chosen) return false;
    fileName_ = *chosen;
    return true;
}

void MenuItem::setChecked(bool v) { assign(checked_, v, Change::Checked); }

std::vector<MenuItem*> MenuItem::items() const { return componentsOf<MenuItem>(); }

MenuItem* MenuItem::addItem(std::string name, std::string caption) {
    return add<MenuItem>(std::move(name), std::move(caption));
}

void MenuItem::click() {
    if (onClick) onClick(this);
}

MenuItem* MainMenu::addItem(std::string name, std::string caption) {
    return add<MenuItem>(std::move(name), std::move(caption));
}

std::vector<MenuItem*> MainMenu::items() const { return componentsOf<MenuItem>(); }

}  // namespace ui

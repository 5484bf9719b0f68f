// The control kinds of the program's windows.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sys/event_loop.h"
#include "sys/message_queue.h"
#include "ui/control.h"

namespace ui {

class Edit;
class UpDown;

// Static text. An auto-sized label takes the size of its caption (the view measures it).
class Label : public Control {
public:
    using Control::Control;

    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& text);
    bool wordWrap() const { return wordWrap_; }
    void setWordWrap(bool v) { wordWrap_ = v; }
    bool autoSize() const { return autoSize_; }
    void setAutoSize(bool v) { autoSize_ = v; }
    // The control this label names (its accelerator focuses it), or null.
    Control* focusControl() const { return focusControl_; }
    void setFocusControl(Control* control) { focusControl_ = control; }
    // Called by the view with the measured size of the caption.
    void textMeasured(int width, int height);

private:
    std::string caption_;
    bool wordWrap_ = false;
    bool autoSize_ = false;
    Control* focusControl_ = nullptr;
};

// A filled, outlined rectangle.
class Shape : public Control {
public:
    using Control::Control;
    Color brushColor() const { return brush_; }
    Color penColor() const { return pen_; }
    void setColors(Color brush, Color pen);

private:
    Color brush_ = colors::white;
    Color pen_ = colors::black;
};

enum class Bevel { None, Lowered, Raised };

class Panel : public Control {
public:
    using Control::Control;

    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& text);
    Alignment alignment() const { return alignment_; }
    void setAlignment(Alignment a);
    Bevel bevelOuter() const { return outer_; }
    Bevel bevelInner() const { return inner_; }
    void setBevels(Bevel outer, Bevel inner);
    Color color() const { return color_; }
    void setColor(Color c);

private:
    std::string caption_;
    Alignment alignment_ = Alignment::Center;
    Bevel outer_ = Bevel::Raised;
    Bevel inner_ = Bevel::None;
    Color color_ = colors::btnFace;
};

// One page of a TabbedNotebook; fills the notebook below its tab row.
class NotebookPage : public Control {
public:
    NotebookPage(Component* parent, std::string name, std::string caption)
        : Control(parent, std::move(name)), caption_(std::move(caption)) {}
    const std::string& caption() const { return caption_; }

private:
    std::string caption_;
};

class TabbedNotebook : public Control {
public:
    using Control::Control;

    NotebookPage* addPage(const std::string& caption);
    const std::vector<NotebookPage*>& pages() const { return pages_; }
    int pageIndex() const { return pageIndex_; }
    // Out-of-range indexes are ignored. A focused control on the page put away gives
    // the focus to the notebook's tabs.
    void setPageIndex(int index);
    // Height of the tab row above the pages.
    static constexpr int tabHeight = 24;

private:
    std::vector<NotebookPage*> pages_;
    int pageIndex_ = 0;
};

// A push button; a bitmap button is the same with its own font colour.
class Button : public Control {
public:
    using Control::Control;

    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& text);
    void click();  // the user's click (or its accelerator)
    // Return anywhere in its window presses the default button; Escape presses the
    // cancel button.
    bool isDefault() const { return default_; }
    void setDefault(bool v) { default_ = v; }
    bool isCancel() const { return cancel_; }
    void setCancel(bool v) { cancel_ = v; }

    NotifyEvent onClick;

private:
    std::string caption_;
    bool default_ = false;
    bool cancel_ = false;
};

class Edit : public Control {
public:
    Edit(Component* parent, std::string name);
    ~Edit() override;

    const std::string& text() const { return text_; }
    void setText(const std::string& text);
    bool readOnly() const { return readOnly_; }
    void setReadOnly(bool v);

    // A character the user typed (control characters such as Backspace included).
    // Runs onKeyPress, which may replace or cancel it; returns what is left (0 when
    // cancelled). The view inserts the character itself when one is returned.
    char keyPress(char key);
    // Typing as a test or a simple view does it: keyPress, then append what is left
    // (Backspace removes the last character) unless the box is read-only.
    void type(char key);
    // A key that makes no character. Up and Down step the spin buttons the box is
    // paired with or gives its arrow keys to; returns true when the control used the key.
    bool keyDown(Key key);
    // The spin buttons that Up and Down step, or null.
    UpDown* arrowKeySpin() const { return spin_; }
    void mouseMove(Point where);
    void focusChanged(bool hasFocus) override;

    NotifyEvent onChange;
    KeyPressEvent onKeyPress;
    NotifyEvent onExit;
    MouseMoveEvent onMouseMove;

private:
    friend class UpDown;
    std::string text_;
    bool readOnly_ = false;
    UpDown* spin_ = nullptr;  // stepped by Up and Down
};

enum class UpDownButton { Up, Down };
using UpDownClickEvent = std::function<void(Component* sender, UpDownButton button)>;

// Vertical spin buttons with a 16-bit position.
class UpDown : public Control {
public:
    using Control::Control;
    ~UpDown() override;

    int min() const { return min_; }
    int max() const { return max_; }
    void setRange(int min, int max);
    bool wrap() const { return wrap_; }
    void setWrap(bool v) { wrap_ = v; }
    int position() const { return position_; }
    // Takes the low 16 bits, moves the value into the range, and writes it into the
    // paired edit box.
    void setPosition(int value);
    Edit* associate() const { return associate_; }
    void setAssociate(Edit* edit);
    // An edit box beside the arrows, not paired, whose Up and Down keys step them as a
    // click does (the click event then writes the box). A paired box has them anyway.
    Edit* arrowKeyBox() const { return keyBox_; }
    void setArrowKeyBox(Edit* edit);

    // One click on an arrow (or Up/Down in the paired box).
    void step(UpDownButton button);

    UpDownClickEvent onClick;

private:
    friend class Edit;
    // Makes `edit` (or none) the box whose arrow keys step these arrows; a box paired
    // before with another one is let go.
    void linkKeys(Edit* edit);
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    bool wrap_ = false;
    Edit* associate_ = nullptr;
    Edit* keyBox_ = nullptr;  // the associate, or the box that only lends its keys
};

class CheckBox : public Control {
public:
    using Control::Control;

    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& text);
    bool checked() const { return checked_; }
    void setChecked(bool v);  // raises onClick when the state changes
    void click();             // the user toggles it

    NotifyEvent onClick;

private:
    std::string caption_;
    bool checked_ = false;
};

// Radio buttons with the same parent form one group.
class RadioButton : public Control {
public:
    using Control::Control;

    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& text);
    bool checked() const { return checked_; }
    // Checking unchecks the siblings and raises onClick, but only on a change from
    // unchecked to checked. Unchecking raises nothing.
    void setChecked(bool v);
    void click();        // a press: checks the button
    void doubleClick();  // the second press of a double click

    NotifyEvent onClick;
    NotifyEvent onDblClick;

private:
    std::string caption_;
    bool checked_ = false;
};

class ScrollBox : public Control {
public:
    using Control::Control;
    bool horizontalBarVisible() const { return hbar_; }
    void setHorizontalBarVisible(bool v) { hbar_ = v; }

private:
    bool hbar_ = true;
};

class Memo : public Control {
public:
    Memo(Component* parent, std::string name);
    const std::vector<std::string>& lines() const { return lines_; }
    void setLines(std::vector<std::string> lines);
    bool wordWrap() const { return wordWrap_; }
    void setWordWrap(bool v) { wordWrap_ = v; }
    bool readOnly() const { return readOnly_; }
    void setReadOnly(bool v) { readOnly_ = v; }

private:
    std::vector<std::string> lines_;
    bool wordWrap_ = true;
    bool readOnly_ = false;
};

// A control that draws itself through a Canvas and handles raw mouse and keys. It
// owns a message window (created on first need) for posted messages.
class CustomControl : public Control, private sys::MessageReceiver {
public:
    using Control::Control;
    ~CustomControl() override;

    virtual void paint(Canvas& canvas) = 0;
    virtual void mouseDown(Point) {}
    virtual void mouseMove(Point) {}
    virtual void mouseUp(Point) {}
    virtual void keyDown(Key) {}
    // The control handles the arrow keys itself rather than letting them move focus.
    virtual bool wantsArrows() const { return false; }

    // The control's own window handle, for posted messages; created on first need.
    sys::WindowHandle handle();

protected:
    virtual void windowMessage(const sys::Message&) {}

private:
    void handleMessage(const sys::Message& msg) override;
    sys::WindowHandle handle_ = 0;
    sys::MessageQueue* queue_ = nullptr;
};

class Timer : public Component {
public:
    using Component::Component;
    ~Timer() override;

    int interval() const { return interval_; }
    void setInterval(int ms);
    bool enabled() const { return enabled_; }
    void setEnabled(bool v);
    sys::TimerPhase phase() const { return phase_; }
    void setPhase(sys::TimerPhase p);
    void setOnTimer(NotifyEvent handler);

private:
    void restart();
    int interval_ = 1000;
    bool enabled_ = true;
    sys::TimerPhase phase_ = sys::TimerPhase::Free;
    NotifyEvent onTimer_;
    sys::TimerId id_ = 0;
    sys::EventLoop* loop_ = nullptr;
};

class OpenDialog : public Component {
public:
    using Component::Component;
    const std::string& filter() const { return filter_; }
    void setFilter(const std::string& f) { filter_ = f; }
    const std::string& fileName() const { return fileName_; }
    void setFileName(const std::string& f) { fileName_ = f; }
    // Shows the dialog modally; true and FileName set when the user confirms.
    bool execute();

private:
    std::string filter_;
    std::string fileName_;
};

class MenuItem : public Component {
public:
    MenuItem(Component* owner, std::string name, std::string caption)
        : Component(owner, std::move(name)), caption_(std::move(caption)) {}

    const std::string& caption() const { return caption_; }
    bool isSeparator() const { return caption_ == "-"; }
    bool checked() const { return checked_; }
    void setChecked(bool v);
    std::vector<MenuItem*> items() const;
    MenuItem* addItem(std::string name, std::string caption);
    void click();

    NotifyEvent onClick;

private:
    std::string caption_;
    bool checked_ = false;
};

class MainMenu : public Component {
public:
    using Component::Component;
    MenuItem* addItem(std::string name, std::string caption);
    std::vector<MenuItem*> items() const;
};

}  // namespace ui

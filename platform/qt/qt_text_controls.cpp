// The controls that show or take text: labels, edit boxes and their key handling, memos.
#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <memory>
#include <optional>

#include "platform/qt/qt_peers.h"

namespace qt {
namespace {

// ---- Label --------------------------------------------------------------------------

class LabelPeer : public ControlPeer {
public:
    LabelPeer(ui::Label& label, QWidget* parent, FormContext& ctx) : ControlPeer(label, ctx), label_(label) {
        w_ = new QLabel(parent);
        w_->setTextFormat(Qt::PlainText);
        w_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        w_->setMargin(0);
        w_->setIndent(0);
        setWidget(w_);
    }

protected:
    void apply(ui::Change what) override {
        if (what == ui::Change::Text) {
            if (const ui::Control* named = label_.focusControl()) {
                if (ControlPeer* peer = ctx().peerOf(*named)) w_->setBuddy(peer->widget());
            }
            w_->setWordWrap(label_.wordWrap());
            w_->setText(toQString(label_.caption()));
            measure();
        } else if (what == ui::Change::Font) {
            measure();
        }
    }

private:
    // An auto-sized label takes the size of its caption: the widest line by its
    // advance, one line height per line; an empty caption measures as one blank.
    void measure() {
        if (!label_.autoSize()) return;
        const QFontMetrics fm(toQFont(label_.font()));
        const QString text = label_.caption().empty() ? QStringLiteral(" ") : toQString(label_.caption());
        if (label_.wordWrap()) {
            const QRect r = fm.boundingRect(QRect(0, 0, label_.width(), 100000), Qt::TextWordWrap, text);
            label_.textMeasured(label_.width(), r.height());
            return;
        }
        const QStringList lines = text.split(QLatin1Char('\n'));
        int width = 0;
        for (const QString& line : lines) width = std::max(width, fm.horizontalAdvance(line));
        label_.textMeasured(width, fm.height() * static_cast<int>(lines.size()));
    }

    ui::Label& label_;
    QLabel* w_;
};

// ---- Edit ---------------------------------------------------------------------------

// The character a key press types, as the model's key-press event sees it: printable
// characters (Latin-1 as they are, others as '?'), Backspace, Enter, Escape and the
// control characters of Ctrl+letter. Delete, the arrows and Alt combinations type none.
std::optional<char> typedCharacter(const QKeyEvent& e) {
    const int key = e.key();
    const Qt::KeyboardModifiers mods = e.modifiers();
    if (mods & (Qt::AltModifier | Qt::MetaModifier)) return std::nullopt;
    if (key == Qt::Key_Delete) return std::nullopt;
    if (key == Qt::Key_Backspace) return '\b';
    if (key == Qt::Key_Return || key == Qt::Key_Enter) return '\r';
    if (key == Qt::Key_Escape) return '\x1b';
    if ((mods & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<char>(key - Qt::Key_A + 1);
    const QString text = e.text();
    if (text.size() != 1) return std::nullopt;
    const char16_t c = text.at(0).unicode();
    if (c < 0x20 || c == 0x7F) return std::nullopt;
    if (c > 0xFF) return '?';
    return static_cast<char>(static_cast<unsigned char>(c));
}

// A key event that types `c` instead of what the user typed.
QKeyEvent replacementEvent(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u == '\b') return QKeyEvent(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier, QStringLiteral("\b"));
    if (u == '\r') return QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    if (u == 0x1b) return QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(QChar(0x1b)));
    if (u >= 1 && u <= 26)
        return QKeyEvent(QEvent::KeyPress, Qt::Key_A + (u - 1), Qt::ControlModifier, QString(QChar(u)));
    const QChar ch = QChar::fromLatin1(c);
    const int key = ch.isLetterOrNumber() && u < 0x80 ? int(ch.toUpper().unicode()) : int(Qt::Key_unknown);
    return QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
}

class EditWidget : public QLineEdit {
public:
    EditWidget(ui::Edit& edit, FormContext& ctx, QWidget* parent) : QLineEdit(parent), edit_(edit), ctx_(ctx) {
        setMouseTracking(true);
    }

protected:
    void keyPressEvent(QKeyEvent* e) override {
        const std::optional<char> typed = typedCharacter(*e);
        if (!typed) {
            QLineEdit::keyPressEvent(e);
            return;
        }
        char left = 0;
        ctx_.dispatch([&] { left = edit_.keyPress(*typed); });
        if (left == 0) {
            e->accept();
            return;
        }
        if (left == *typed) {
            QLineEdit::keyPressEvent(e);
            return;
        }
        QKeyEvent replaced = replacementEvent(left);
        QLineEdit::keyPressEvent(&replaced);
        e->setAccepted(replaced.isAccepted());
    }

    void mouseMoveEvent(QMouseEvent* e) override {
        const QPoint p = e->position().toPoint();
        ctx_.dispatch([&] { edit_.mouseMove({p.x(), p.y()}); });
        QLineEdit::mouseMoveEvent(e);
    }

private:
    ui::Edit& edit_;
    FormContext& ctx_;
};

class EditPeer : public ControlPeer {
public:
    EditPeer(ui::Edit& edit, QWidget* parent, FormContext& ctx) : ControlPeer(edit, ctx), edit_(edit) {
        auto* w = new EditWidget(edit, ctx, parent);
        w->setFocusPolicy(focusPolicyFor(edit));
        QObject::connect(w, &QLineEdit::textEdited, w, [this](const QString& text) {
            if (updating()) return;
            this->ctx().dispatch([this, t = fromQString(text)] { edit_.setText(t); });
        });
        setWidget(w);
    }

protected:
    void apply(ui::Change what) override {
        auto* w = static_cast<QLineEdit*>(widget());
        if (what == ui::Change::Text) {
            const QString text = toQString(edit_.text());
            if (w->text() != text) w->setText(text);
        } else if (what == ui::Change::ReadOnly) {
            w->setReadOnly(edit_.readOnly());
        }
    }

private:
    ui::Edit& edit_;
};

// ---- Memo ---------------------------------------------------------------------------

// A memo without scroll bars of its own hands the wheel to the box around it.
class MemoWidget : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void wheelEvent(QWheelEvent* e) override {
        if (verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff) {
            for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
                if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) {
                    QCoreApplication::sendEvent(area->verticalScrollBar(), e);
                    return;
                }
            }
        }
        QPlainTextEdit::wheelEvent(e);
    }
};

class MemoPeer : public ControlPeer {
public:
    MemoPeer(ui::Memo& memo, QWidget* parent, FormContext& ctx) : ControlPeer(memo, ctx), memo_(memo) {
        auto* w = new MemoWidget(parent);
        w->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        w->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        w->setTabChangesFocus(true);
        w->setFocusPolicy(focusPolicyFor(memo));
        w->document()->setDocumentMargin(1);
        setWidget(w);
    }

protected:
    void apply(ui::Change what) override {
        auto* w = static_cast<QPlainTextEdit*>(widget());
        if (what == ui::Change::Text) {
            QString text;
            for (std::size_t i = 0; i < memo_.lines().size(); ++i) {
                if (i) text += QLatin1Char('\n');
                text += toQString(memo_.lines()[i]);
            }
            w->setPlainText(text);
            w->setLineWrapMode(memo_.wordWrap() ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
            w->setReadOnly(memo_.readOnly());
        } else if (what == ui::Change::ReadOnly) {
            w->setReadOnly(memo_.readOnly());
        }
    }

private:
    ui::Memo& memo_;
};

}  // namespace

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Label& label, QWidget* parent, FormContext& ctx) {
    return std::make_unique<LabelPeer>(label, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Edit& edit, QWidget* parent, FormContext& ctx) {
    return std::make_unique<EditPeer>(edit, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Memo& memo, QWidget* parent, FormContext& ctx) {
    return std::make_unique<MemoPeer>(memo, parent, ctx);
}

}  // namespace qt

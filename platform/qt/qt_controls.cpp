// Widgets for the control kinds, and the peers that keep them in step with the model.
#include <QAbstractButton>
#include <QApplication>
#include <QBackingStore>
#include <QCheckBox>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRawFont>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTextLayout>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "platform/qt/view_internal.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/message_queue.h"

namespace qtui {
namespace {

namespace colors = ui::colors;

Qt::FocusPolicy focusPolicyFor(const ui::Control& c) { return c.tabStop() ? Qt::StrongFocus : Qt::ClickFocus; }

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

// ---- Label ------------------------------------------------------------------------

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

// ---- Shape, Panel -------------------------------------------------------------------

class ShapeWidget : public QWidget, public DrawnWidget {
public:
    ShapeWidget(ui::Shape& shape, FormContext& ctx, QWidget* parent)
        : QWidget(parent), DrawnWidget(shape, ctx), shape_(shape) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), toQColor(shape_.brushColor()));
        p.setPen(toQColor(shape_.penColor()));
        p.setBrush(Qt::NoBrush);
        if (width() <= 2 || height() <= 2)
            p.fillRect(rect(), toQColor(shape_.penColor()));
        else
            p.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    ui::Shape& shape_;
};

class ShapePeer : public ControlPeer {
public:
    ShapePeer(ui::Shape& shape, QWidget* parent, FormContext& ctx) : ControlPeer(shape, ctx) {
        setWidget(new ShapeWidget(shape, ctx, parent));
    }

protected:
    void apply(ui::Change what) override {
        if (what == ui::Change::Color) widget()->update();
    }
};

void drawBevel(QPainter& p, QRect& r, ui::Bevel bevel) {
    if (bevel == ui::Bevel::Lowered)
        drawEdge(p, r, colors::btnShadow, colors::btnHighlight);
    else if (bevel == ui::Bevel::Raised)
        drawEdge(p, r, colors::btnHighlight, colors::btnShadow);
}

// A panel's caption laid out once as a single line, as QPainter::drawText lays out one
// line in a rectangle, and kept as its glyphs and their positions. The clock display
// changes its caption every second: the glyphs say which part of the line changed, and
// painting them shapes no text.
class CaptionLine {
public:
    // Shapes the text.
    CaptionLine(const QString& text, const QFont& font, QPaintDevice* device) {
        QTextLayout layout(text, font, device);
        const QTextLine line = layOut(layout);
        width_ = line.horizontalAdvance();
        height_ = line.ascent() + line.descent();
        runs_ = layout.glyphRuns();
    }
    // A line already set as one run of glyphs.
    CaptionLine(QGlyphRun run, qreal width, qreal height) : width_(width), height_(height), runs_{std::move(run)} {}

    // Lays the text out as a single line, as QPainter::drawText does.
    static QTextLine layOut(QTextLayout& layout) {
        QTextOption option;
        option.setTextDirection(Qt::LeftToRight);
        option.setWrapMode(QTextOption::NoWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        line.setLineWidth(0x01000000);
        line.setPosition(QPointF(0, 0));
        layout.endLayout();
        return line;
    }

    qreal width() const { return width_; }
    // The left end of the line, and its top, in the panel's rectangle.
    QPointF origin(const QRect& r, ui::Alignment alignment) const {
        const qreal top = r.y() + (r.height() - height_) / 2;
        switch (alignment) {
        case ui::Alignment::Left: break;
        case ui::Alignment::Right: return {r.x() + r.width() - width_, top};
        case ui::Alignment::Center: return {r.x() + (r.width() - width_) / 2, top};
        }
        return {qreal(r.x()), top};
    }
    // Where the glyphs that differ between the two lines lie, from the left end and the
    // top of the line: each glyph's advance and its ink, in either line. An empty
    // rectangle when none differ; nullopt when the lines cannot be compared glyph by
    // glyph.
    static std::optional<QRectF> difference(const CaptionLine& a, const CaptionLine& b) {
        if (a.width_ != b.width_ || a.runs_.size() != b.runs_.size()) return std::nullopt;
        QRectF changed;
        for (qsizetype r = 0; r < a.runs_.size(); ++r) {
            if (a.runs_[r].rawFont() != b.runs_[r].rawFont()) return std::nullopt;
            const QList<quint32> ga = a.runs_[r].glyphIndexes();
            const QList<quint32> gb = b.runs_[r].glyphIndexes();
            const QList<QPointF> pa = a.runs_[r].positions();
            const QList<QPointF> pb = b.runs_[r].positions();
            if (ga.size() != gb.size()) return std::nullopt;
            for (qsizetype i = 0; i < ga.size(); ++i) {
                if (ga[i] == gb[i] && pa[i] == pb[i]) continue;
                changed |= a.glyphArea(a.runs_[r], i) | b.glyphArea(b.runs_[r], i);
            }
        }
        return changed;
    }
    void draw(QPainter& p, const QPointF& origin) const {
        for (const QGlyphRun& run : runs_) p.drawGlyphRun(origin, run);
    }
    // The glyphs, placed at `origin`, whose advance or ink reaches across `area` from left
    // to right, each as its index and position: all that decides how `area` looks.
    QByteArray glyphsAcross(const QPointF& origin, const QRectF& area) const {
        QByteArray found;
        for (const QGlyphRun& run : runs_) {
            const QList<quint32> glyphs = run.glyphIndexes();
            const QList<QPointF> positions = run.positions();
            for (qsizetype i = 0; i < glyphs.size(); ++i) {
                const QRectF reach = glyphArea(run, i).translated(origin);
                if (reach.right() < area.left() || reach.left() > area.right()) continue;
                const QPointF at = origin + positions[i];
                found.append(reinterpret_cast<const char*>(&glyphs[i]), sizeof(quint32));
                found.append(reinterpret_cast<const char*>(&at), sizeof(QPointF));
            }
        }
        return found;
    }

private:
    // Glyph i of a run, from the left end and the top of the line: its advance (to the
    // next glyph, or to the line's end) and its ink.
    QRectF glyphArea(const QGlyphRun& run, qsizetype i) const {
        const QList<QPointF> positions = run.positions();
        const QPointF at = positions[i];
        const qreal end = i + 1 < positions.size() ? positions[i + 1].x() : width_;
        return QRectF(at.x(), at.y(), end - at.x(), 0) |
               run.rawFont().boundingRect(run.glyphIndexes()[i]).translated(at);
    }

    qreal width_ = 0;
    qreal height_ = 0;
    QList<QGlyphRun> runs_;
};

// The glyphs of single characters in one font, and which pairs of them set side by side
// take exactly their own advances (no kerning, no ligature). A clock's captions are made
// of a dozen characters: once their pairs have been seen, a caption is set from this
// table with no text shaping, glyph for glyph and position for position as shaping
// would set it.
class GlyphTable {
public:
    GlyphTable(const QFont& font, QPaintDevice* device) : font_(font), device_(device) {}

    // The caption set from the table, or null when one of its characters or pairs does
    // not set plainly (then the caller shapes it).
    std::unique_ptr<CaptionLine> line(const QString& text) {
        if (text.isEmpty()) return nullptr;
        QList<quint32> indexes;
        QList<QPointF> positions;
        indexes.reserve(text.size());
        positions.reserve(text.size());
        qreal x = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const Glyph* g = glyph(text[i]);
            if (!g || (i > 0 && !plainPair(text[i - 1], text[i]))) return nullptr;
            indexes.append(g->index);
            positions.append(QPointF(x, baseline_));
            x += g->advance;
        }
        QGlyphRun run;
        run.setRawFont(raw_);
        run.setGlyphIndexes(indexes);
        run.setPositions(positions);
        return std::make_unique<CaptionLine>(std::move(run), x, height_);
    }

private:
    struct Glyph {
        quint32 index = 0;
        qreal advance = 0;
    };

    // The shaped glyphs of a short text, when it is one run in the table's font.
    std::optional<QGlyphRun> shaped(const QString& text, qreal* width) {
        QTextLayout layout(text, font_, device_);
        const QTextLine line = CaptionLine::layOut(layout);
        const QList<QGlyphRun> runs = layout.glyphRuns();
        if (runs.size() != 1 || runs[0].glyphIndexes().size() != text.size()) return std::nullopt;
        if (!raw_.isValid()) {
            raw_ = runs[0].rawFont();
            baseline_ = runs[0].positions()[0].y();
            height_ = line.ascent() + line.descent();
        }
        if (runs[0].rawFont() != raw_ || line.ascent() + line.descent() != height_) return std::nullopt;
        *width = line.horizontalAdvance();
        return runs[0];
    }

    const Glyph* glyph(QChar c) {
        // Latin letters, digits and punctuation only: marks, other scripts and
        // surrogates are left to shaping.
        if (c.unicode() < 0x20 || c.unicode() >= 0x300) return nullptr;
        auto it = glyphs_.find(c.unicode());
        if (it == glyphs_.end()) {
            std::optional<Glyph> g;
            qreal width = 0;
            if (const auto run = shaped(QString(c), &width); run && run->positions()[0] == QPointF(0, baseline_))
                g = Glyph{run->glyphIndexes()[0], width};
            it = glyphs_.insert(c.unicode(), g);
        }
        return it->has_value() ? &**it : nullptr;
    }

    bool plainPair(QChar a, QChar b) {
        const quint32 key = (quint32(a.unicode()) << 16) | b.unicode();
        auto it = pairs_.find(key);
        if (it == pairs_.end()) {
            const Glyph* ga = glyph(a);
            const Glyph* gb = glyph(b);
            qreal width = 0;
            const auto run = shaped(QString(a) + b, &width);
            const bool plain = ga && gb && run && run->glyphIndexes() == QList<quint32>{ga->index, gb->index} &&
                               run->positions() == QList<QPointF>{{0, baseline_}, {ga->advance, baseline_}} &&
                               width == ga->advance + gb->advance;
            it = pairs_.insert(key, plain);
        }
        return *it;
    }

    QFont font_;
    QPaintDevice* device_;
    QRawFont raw_;
    qreal baseline_ = 0;
    qreal height_ = 0;
    QHash<char16_t, std::optional<Glyph>> glyphs_;
    QHash<quint32, bool> pairs_;
};

// The panel's face, without its bevels.
QRect panelFace(const ui::Panel& panel, QRect r) {
    for (ui::Bevel bevel : {panel.bevelOuter(), panel.bevelInner()})
        if (bevel != ui::Bevel::None) r.adjust(1, 1, -1, -1);
    return r;
}

class PanelWidget : public QWidget, public DrawnWidget {
public:
    PanelWidget(ui::Panel& panel, FormContext& ctx, QWidget* parent)
        : QWidget(parent), DrawnWidget(panel, ctx), panel_(panel) {
        // The face and the bevels cover every pixel: nothing beneath needs painting.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    // The caption changed: repaints what it must. When the new caption takes the same
    // room as the old one, only the glyphs that differ are repainted, their advances and
    // their ink in both captions, so each second of the clock redraws and sends to the
    // display a digit or two.
    void captionChanged() {
        const std::unique_ptr<CaptionLine> old = std::move(line_);
        const auto changed = old ? CaptionLine::difference(*old, line()) : std::nullopt;
        if (!changed) {
            update();
            return;
        }
        if (changed->isEmpty()) return;
        const QRect face = panelFace(panel_, rect());
        // A margin for the edge pixels antialiasing adds around a glyph's ink.
        constexpr int margin = 2;
        const QPointF origin = line().origin(face, panel_.alignment());
        const QRect changedPart =
            changed->translated(origin).toAlignedRect().adjusted(-margin, -margin, margin, margin) & face;
        const QByteArray looks = line().glyphsAcross(origin, changedPart);
        if (!paintStraightToWindow(changedPart, looks)) update(changedPart);
    }

    void fontChanged() {
        font_ = toQFont(panel_.font());
        glyphs_.reset();
        line_.reset();
        lookChanged();
    }
    // Colours or alignment changed: no part painted before looks the same now.
    void lookChanged() {
        seenParts_.clear();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        paintPanel(p);
    }

private:
    // The second's change goes straight into the window's backing store and on to the
    // screen, drawn by the same code as a paint event: a panel covered by no other
    // widget needs none of the widget tree's repaint bookkeeping, which costs a ticking
    // clock more than the drawing itself. Returns false when the window cannot take it
    // now (hidden, minimised, not yet shown), and the change is left to a paint event.
    bool paintStraightToWindow(const QRect& part, const QByteArray& looks) {
        QWidget* top = window();
        QWindow* handle = top->windowHandle();
        QBackingStore* store = top->backingStore();
        if (!handle || !store || !handle->isExposed() || !isVisible() || !updatesEnabled() || covered(part))
            return false;
        const QPoint offset = mapTo(top, QPoint(0, 0));
        const QRegion region(part.translated(offset));
        store->beginPaint(region);
        auto* image =
            store->paintDevice()->devType() == QInternal::Image ? static_cast<QImage*>(store->paintDevice()) : nullptr;
        const qreal scale = image ? image->devicePixelRatio() : 1;
        // Kept only where the part covers whole pixels of the store (any part at a whole
        // scale): a part cutting pixels would keep some the paint did not make.
        const QRectF exact(QPointF(part.translated(offset).topLeft()) * scale, QSizeF(part.size()) * scale);
        const QRect pixels = exact == QRectF(exact.toAlignedRect()) && image && image->rect().contains(exact.toRect())
                                 ? exact.toRect()
                                 : QRect();
        QByteArray key = looks;
        key.append(reinterpret_cast<const char*>(&pixels), sizeof pixels);
        const auto seen = seenParts_.constFind(key);
        if (seen != seenParts_.cend() && !pixels.isEmpty() && seen->size() == pixels.size()) {
            // The same glyphs in the same place: the pixels of the last time.
            const qsizetype bytes = pixels.width() * (image->depth() / 8);
            for (int y = 0; y < pixels.height(); ++y)
                std::memcpy(image->scanLine(pixels.y() + y) + pixels.x() * (image->depth() / 8), seen->constScanLine(y),
                            static_cast<size_t>(bytes));
        } else {
            {
                QPainter p(store->paintDevice());
                p.setClipRegion(region);
                p.translate(offset);
                paintPanel(p);
            }
            if (image && !pixels.isEmpty()) {
                // A day's seconds repeat each minute: a minute's worth of parts is kept.
                if (seenParts_.size() >= 64) seenParts_.clear();
                seenParts_.insert(key, image->copy(pixels));
            }
        }
        store->endPaint();
        store->flush(region, handle);
        return true;
    }

    // Whether a child, or a widget stacked above this one or above one of its parents,
    // overlaps `part`: then only the widget tree's own repaint draws it right.
    bool covered(const QRect& part) const {
        if (!findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty()) return true;
        QRect r = part;
        for (const QWidget* w = this; !w->isWindow(); w = w->parentWidget()) {
            const QObjectList& siblings = w->parentWidget()->children();
            for (qsizetype i = siblings.indexOf(w) + 1; i < siblings.size(); ++i) {
                const auto* above = qobject_cast<const QWidget*>(siblings[i]);
                if (above && !above->isWindow() && above->isVisible() && above->geometry().intersects(r)) return true;
            }
            r.translate(w->pos());
        }
        return false;
    }

    void paintPanel(QPainter& p) {
        QRect r = rect();
        drawBevel(p, r, panel_.bevelOuter());
        drawBevel(p, r, panel_.bevelInner());
        p.fillRect(r, toQColor(panel_.color()));
        if (panel_.caption().empty()) return;
        p.setPen(toQColor(panel_.font().color));
        p.setClipRect(r, Qt::IntersectClip);
        const CaptionLine& text = line();
        text.draw(p, text.origin(r, panel_.alignment()));
    }

    const CaptionLine& line() {
        if (!line_) {
            const QString text = toQString(panel_.caption());
            if (!glyphs_) glyphs_ = std::make_unique<GlyphTable>(font_, this);
            line_ = glyphs_->line(text);
            if (!line_) line_ = std::make_unique<CaptionLine>(text, font_, this);
        }
        return *line_;
    }

    ui::Panel& panel_;
    QFont font_ = toQFont(panel_.font());
    std::unique_ptr<GlyphTable> glyphs_;
    std::unique_ptr<CaptionLine> line_;
    // Parts of the window painted for a second's change, by what decides their looks.
    QHash<QByteArray, QImage> seenParts_;
};

class PanelPeer : public ControlPeer {
public:
    PanelPeer(ui::Panel& panel, QWidget* parent, FormContext& ctx) : ControlPeer(panel, ctx) {
        w_ = new PanelWidget(panel, ctx, parent);
        setWidget(w_);
    }

protected:
    void apply(ui::Change what) override {
        if (what == ui::Change::Text) {
            w_->captionChanged();
        } else if (what == ui::Change::Font) {
            w_->fontChanged();
        } else if (what == ui::Change::Color || what == ui::Change::Alignment) {
            w_->lookChanged();
        }
    }

private:
    PanelWidget* w_;
};

// ---- TabbedNotebook -----------------------------------------------------------------

// The pages sit inside a two-pixel raised border with a two-pixel margin.
constexpr int pageInset = 4;

class NotebookWidget : public QWidget {
public:
    explicit NotebookWidget(QWidget* parent) : QWidget(parent) {
        bar = new QTabBar(this);
        bar->setDrawBase(false);
        bar->setExpanding(false);
        bar->setUsesScrollButtons(false);
    }
    QTabBar* bar;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QRect r(0, ui::TabbedNotebook::tabHeight, width(), height() - ui::TabbedNotebook::tabHeight);
        p.fillRect(r, toQColor(colors::btnFace));
        drawEdge(p, r, colors::btnHighlight, colors::windowFrame);
        drawEdge(p, r, colors::btnFace, colors::btnShadow);
    }
    void resizeEvent(QResizeEvent*) override { bar->setGeometry(0, 0, width(), ui::TabbedNotebook::tabHeight + 1); }
};

class NotebookPeer : public ControlPeer {
public:
    NotebookPeer(ui::TabbedNotebook& nb, QWidget* parent, FormContext& ctx) : ControlPeer(nb, ctx), nb_(nb) {
        w_ = new NotebookWidget(parent);
        setWidget(w_);
        for (const ui::NotebookPage* page : nb.pages()) w_->bar->addTab(toQString(page->caption()));
        QObject::connect(w_->bar, &QTabBar::currentChanged, w_, [this](int index) {
            if (updating() || index < 0) return;
            this->ctx().dispatch([this, index] { nb_.setPageIndex(index); });
            Updating guard(*this);
            apply(ui::Change::PageIndex);
        });
    }

    QWidget* focusTarget() const override { return w_->bar; }

    void apply(ui::Change what) override {
        if (what != ui::Change::PageIndex) return;
        w_->bar->setCurrentIndex(nb_.pageIndex());
        const auto& pages = nb_.pages();
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (ControlPeer* page = ctx().peerOf(*pages[i]))
                page->widget()->setVisible(static_cast<int>(i) == nb_.pageIndex() && pages[i]->visible());
        }
    }

protected:
    void applyFont() override {
        ControlPeer::applyFont();
        w_->bar->setFont(toQFont(nb_.font()));
    }

private:
    ui::TabbedNotebook& nb_;
    NotebookWidget* w_;
};

class PagePeer : public ControlPeer {
public:
    PagePeer(ui::NotebookPage& page, QWidget* parent, FormContext& ctx) : ControlPeer(page, ctx) {
        auto* w = new QWidget(parent);
        w->setAccessibleName(toQString(page.caption()).remove(QLatin1Char('&')));
        setWidget(w);
    }

protected:
    void applyGeometry() override {
        const ui::Rect b = control().bounds();
        widget()->setGeometry(b.left + pageInset, b.top + ui::TabbedNotebook::tabHeight + pageInset, b.width(),
                              b.height());
    }
    void apply(ui::Change what) override {
        if (what == ui::Change::Visible) {
            if (ControlPeer* nb = control().parent() ? ctx().peerOf(*control().parent()) : nullptr)
                static_cast<NotebookPeer*>(nb)->apply(ui::Change::PageIndex);
        }
    }
    void applyVisible() override { apply(ui::Change::Visible); }
};

// ---- Button, CheckBox, RadioButton ----------------------------------------------------

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
        const int key = e->key();
        if ((key == Qt::Key_Up || key == Qt::Key_Down) &&
            !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
            bool used = false;
            ctx_.dispatch([&] { used = edit_.keyDown(key == Qt::Key_Up ? ui::Key::Up : ui::Key::Down); });
            if (used) {
                e->accept();
                return;
            }
            QLineEdit::keyPressEvent(e);
            return;
        }
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

// ---- UpDown -------------------------------------------------------------------------

// Two arrow buttons stacked; a press steps at once and repeats while held.
class SpinWidget : public QWidget, public DrawnWidget {
public:
    SpinWidget(ui::UpDown& updown, FormContext& ctx, QWidget* parent)
        : QWidget(parent), DrawnWidget(updown, ctx), updown_(updown) {
        repeat_.setSingleShot(false);
        QObject::connect(&repeat_, &QTimer::timeout, this, [this] { repeatStep(); });
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const int half = height() / 2;
        drawHalf(p, QRect(0, 0, width(), half), true);
        drawHalf(p, QRect(0, half, width(), height() - half), false);
    }

    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        pressed_ = e->position().y() < height() / 2 ? ui::UpDownButton::Up : ui::UpDownButton::Down;
        over_ = true;
        update();
        repeat_.start(400);
        step();
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override { mousePressEvent(e); }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (!pressed_) return;
        const bool over = halfAt(e->position().toPoint()) == pressed_;
        if (over != over_) {
            over_ = over;
            update();
        }
    }
    void mouseReleaseEvent(QMouseEvent*) override { stop(); }
    void changeEvent(QEvent* e) override {
        if (e->type() == QEvent::EnabledChange && !isEnabled()) stop();
        QWidget::changeEvent(e);
    }
    void hideEvent(QHideEvent*) override { stop(); }

private:
    std::optional<ui::UpDownButton> halfAt(QPoint p) const {
        if (!rect().contains(p)) return std::nullopt;
        return p.y() < height() / 2 ? ui::UpDownButton::Up : ui::UpDownButton::Down;
    }

    void step() {
        const ui::UpDownButton button = *pressed_;
        context.dispatch([this, button] { updown_.step(button); });
    }

    void repeatStep() {
        // Keep stepping only while the button is really held down here: a box opened
        // by a step takes the mouse away.
        if (!pressed_ || !(QApplication::mouseButtons() & Qt::LeftButton) || QApplication::activeModalWidget() ||
            QApplication::activePopupWidget()) {
            stop();
            return;
        }
        repeat_.setInterval(100);
        if (over_) step();
    }

    void stop() {
        repeat_.stop();
        if (pressed_) {
            pressed_.reset();
            update();
        }
    }

    void drawHalf(QPainter& p, QRect r, bool up) {
        const bool down = pressed_ && over_ && (*pressed_ == ui::UpDownButton::Up) == up;
        p.fillRect(r, toQColor(colors::btnFace));
        QRect edge = r;
        if (down) {
            drawEdge(p, edge, colors::btnShadow, colors::btnHighlight);
        } else {
            drawEdge(p, edge, colors::btnHighlight, colors::windowFrame);
            drawEdge(p, edge, colors::btnFace, colors::btnShadow);
        }
        // A small solid triangle in the middle.
        const int cx = r.left() + (r.width() - 1) / 2 + (down ? 1 : 0);
        const int cy = r.top() + (r.height() - 1) / 2 + (down ? 1 : 0);
        const QColor color = isEnabled() ? toQColor(colors::btnText) : toQColor(colors::btnShadow);
        const int size = std::max(1, std::min(3, (std::min(r.width(), r.height()) - 4) / 2));
        for (int i = 0; i < size; ++i) {
            const int y = up ? cy - size / 2 + i : cy + size / 2 - i;
            p.fillRect(QRect(cx - i, y, 2 * i + 1, 1), color);
        }
    }

    ui::UpDown& updown_;
    QTimer repeat_;
    std::optional<ui::UpDownButton> pressed_;
    bool over_ = false;
};

class UpDownPeer : public ControlPeer {
public:
    UpDownPeer(ui::UpDown& updown, QWidget* parent, FormContext& ctx) : ControlPeer(updown, ctx) {
        setWidget(new SpinWidget(updown, ctx, parent));
    }
};

// ---- ScrollBox, Memo -------------------------------------------------------------------

class ScrollBoxPeer : public ControlPeer {
public:
    ScrollBoxPeer(ui::ScrollBox& box, QWidget* parent, FormContext& ctx) : ControlPeer(box, ctx), box_(box) {
        area_ = new QScrollArea(parent);
        area_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        area_->setWidgetResizable(false);
        area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        area_->setFocusPolicy(Qt::NoFocus);
        content_ = new QWidget;
        area_->setWidget(content_);
        setWidget(area_);
    }

    QWidget* container() const override { return content_; }
    QWidget* focusTarget() const override { return nullptr; }

    void childGeometryChanged() override {
        int right = 0, bottom = 0;
        for (const ui::Control* c : box_.children()) {
            right = std::max(right, c->bounds().right);
            bottom = std::max(bottom, c->bounds().bottom);
        }
        content_->resize(right, bottom);
    }

protected:
    void applyGeometry() override {
        ControlPeer::applyGeometry();
        area_->setHorizontalScrollBarPolicy(box_.horizontalBarVisible() ? Qt::ScrollBarAsNeeded
                                                                        : Qt::ScrollBarAlwaysOff);
    }

private:
    ui::ScrollBox& box_;
    QScrollArea* area_;
    QWidget* content_;
};

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
        w->setFocusPolicy(Qt::StrongFocus);
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

// ---- CustomControl ----------------------------------------------------------------------

class CanvasWidget : public QWidget, public DrawnWidget {
public:
    CanvasWidget(ui::CustomControl& control, FormContext& ctx, QWidget* parent)
        : QWidget(parent), DrawnWidget(control, ctx), control_(control) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (width() <= 0 || height() <= 0) return;
        // Drawn at the screen's own density, so that nothing is stretched afterwards.
        const qreal scale = devicePixelRatioF();
        ui::Bitmap surface(static_cast<int>(std::ceil(width() * scale)), static_cast<int>(std::ceil(height() * scale)),
                           colors::btnFace);
        ui::RasterCanvas canvas(surface, scale);
        try {
            control_.paint(canvas);
            paintFailed_ = false;
        } catch (...) {
            // A failed paint leaves the face colour. The error report cannot open inside a
            // paint, so it goes to the queue; a control that keeps failing is reported
            // again only after a paint has succeeded in between.
            if (!std::exchange(paintFailed_, true)) context.application().queue().postError(std::current_exception());
        }
        QImage image = toQImage(surface);
        image.setDevicePixelRatio(scale);
        QPainter p(this);
        p.drawImage(QPointF(0, 0), image);
    }

    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        const ui::Point at = pointOf(e);
        context.dispatch([&] { control_.mouseDown(at); });
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override { mousePressEvent(e); }
    void mouseMoveEvent(QMouseEvent* e) override {
        const ui::Point at = pointOf(e);
        context.dispatch([&] { control_.mouseMove(at); });
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        const ui::Point at = pointOf(e);
        context.dispatch([&] { control_.mouseUp(at); });
    }

    void keyPressEvent(QKeyEvent* e) override {
        ui::Key key = ui::Key::Other;
        switch (e->key()) {
        case Qt::Key_Left: key = ui::Key::Left; break;
        case Qt::Key_Right: key = ui::Key::Right; break;
        case Qt::Key_Up: key = ui::Key::Up; break;
        case Qt::Key_Down: key = ui::Key::Down; break;
        case Qt::Key_Space: key = ui::Key::Space; break;
        default: break;
        }
        const bool arrow = key == ui::Key::Left || key == ui::Key::Right || key == ui::Key::Up || key == ui::Key::Down;
        if (key == ui::Key::Other || (arrow && !control_.wantsArrows()) ||
            (e->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier))) {
            QWidget::keyPressEvent(e);
            return;
        }
        context.dispatch([&] { control_.keyDown(key); });
        e->accept();
    }

private:
    static ui::Point pointOf(QMouseEvent* e) {
        const QPoint p = e->position().toPoint();
        return {p.x(), p.y()};
    }

    ui::CustomControl& control_;
    bool paintFailed_ = false;
};

class CustomPeer : public ControlPeer {
public:
    CustomPeer(ui::CustomControl& control, QWidget* parent, FormContext& ctx) : ControlPeer(control, ctx) {
        auto* w = new CanvasWidget(control, ctx, parent);
        w->setFocusPolicy(control.tabStop() ? Qt::TabFocus : Qt::NoFocus);
        setWidget(w);
    }

    void componentChanged(ui::Component& component, ui::Change what) override {
        ControlPeer::componentChanged(component, what);
        if (what == ui::Change::Repaint) accessiblePartsChanged(widget());
    }
};

}  // namespace

// ---- ControlPeer ----------------------------------------------------------------------

ControlPeer::~ControlPeer() = default;

void ControlPeer::setWidget(QWidget* w) {
    widget_ = w;
    if (QWidget* target = focusTarget()) new FocusWatcher(target, *this);
}

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
    case ui::Change::Focus:
        if (QWidget* target = focusTarget()) target->setFocus(Qt::OtherFocusReason);
        break;
    case ui::Change::Repaint: widget_->update(); break;
    default: apply(what); break;
    }
}

void ControlPeer::syncAll() {
    Updating guard(*this);
    applyGeometry();
    applyFont();
    applyEnabled();
    widget_->setToolTip(control_.showHint() ? toQString(control_.hint()) : QString());
    if (!control_.accessibleName().empty()) widget_->setAccessibleName(toQString(control_.accessibleName()));
    for (ui::Change c : {ui::Change::Text, ui::Change::Checked, ui::Change::Alignment, ui::Change::ReadOnly,
                         ui::Change::Color, ui::Change::Position, ui::Change::PageIndex})
        apply(c);
    applyVisible();
    childGeometryChanged();
}

void ControlPeer::reportFocus(bool hasFocus) {
    ctx_.dispatch([this, hasFocus] {
        if (control_.focused() != hasFocus) control_.focusChanged(hasFocus);
    });
    if (dynamic_cast<ui::CustomControl*>(&control_)) widget_->update();
}

void ControlPeer::apply(ui::Change) {}

void ControlPeer::applyVisible() { widget_->setVisible(control_.visible()); }

void ControlPeer::applyEnabled() { widget_->setEnabled(control_.enabled()); }

void ControlPeer::applyGeometry() {
    const ui::Rect b = control_.bounds();
    widget_->setGeometry(b.left, b.top, b.width(), b.height());
}

void ControlPeer::applyFont() {
    widget_->setFont(toQFont(control_.font()));
    QPalette palette = widget_->palette();
    setTextColor(palette, control_.font().color);
    widget_->setPalette(palette);
}

std::unique_ptr<ControlPeer> makeControlPeer(ui::Control& c, QWidget* parent, FormContext& ctx) {
    if (auto* x = dynamic_cast<ui::CustomControl*>(&c)) return std::make_unique<CustomPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::Label*>(&c)) return std::make_unique<LabelPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::Shape*>(&c)) return std::make_unique<ShapePeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::Panel*>(&c)) return std::make_unique<PanelPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::TabbedNotebook*>(&c)) return std::make_unique<NotebookPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::NotebookPage*>(&c)) return std::make_unique<PagePeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::Button*>(&c)) return std::make_unique<ButtonPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::Edit*>(&c)) return std::make_unique<EditPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::UpDown*>(&c)) return std::make_unique<UpDownPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::CheckBox*>(&c)) return std::make_unique<CheckBoxPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::RadioButton*>(&c)) return std::make_unique<RadioPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::ScrollBox*>(&c)) return std::make_unique<ScrollBoxPeer>(*x, parent, ctx);
    if (auto* x = dynamic_cast<ui::Memo*>(&c)) return std::make_unique<MemoPeer>(*x, parent, ctx);
    return nullptr;
}

}  // namespace qtui

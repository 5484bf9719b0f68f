// The controls that hold other controls: panels (the clock among them), the tabbed
// notebook and its pages, the scroll box.
#include <QBackingStore>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QScrollArea>
#include <QTabBar>
#include <QWindow>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "platform/qt/qt_caption_glyphs.h"
#include "platform/qt/qt_peers.h"

namespace qt {
namespace {

namespace colors = ui::colors;

// ---- Panel --------------------------------------------------------------------------

void drawBevel(QPainter& p, QRect& r, ui::Bevel bevel) {
    if (bevel == ui::Bevel::Lowered)
        drawEdge(p, r, colors::btnShadow, colors::btnHighlight);
    else if (bevel == ui::Bevel::Raised)
        drawEdge(p, r, colors::btnHighlight, colors::btnShadow);
}

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

// ---- ScrollBox ----------------------------------------------------------------------

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

}  // namespace

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Panel& panel, QWidget* parent, FormContext& ctx) {
    return std::make_unique<PanelPeer>(panel, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::TabbedNotebook& nb, QWidget* parent, FormContext& ctx) {
    return std::make_unique<NotebookPeer>(nb, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::NotebookPage& page, QWidget* parent, FormContext& ctx) {
    return std::make_unique<PagePeer>(page, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::ScrollBox& box, QWidget* parent, FormContext& ctx) {
    return std::make_unique<ScrollBoxPeer>(box, parent, ctx);
}

}  // namespace qt

// The controls the view draws itself: shapes, the up-down arrows beside an edit box,
// and the custom controls that paint on a canvas.
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "platform/qt/qt_peers.h"
#include "sys/message_queue.h"
#include "ui/application.h"

namespace qt {
namespace {

namespace colors = ui::colors;

// ---- Shape --------------------------------------------------------------------------

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

// ---- CustomControl ------------------------------------------------------------------

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

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Shape& shape, QWidget* parent, FormContext& ctx) {
    return std::make_unique<ShapePeer>(shape, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::UpDown& updown, QWidget* parent, FormContext& ctx) {
    return std::make_unique<UpDownPeer>(updown, parent, ctx);
}

std::unique_ptr<ui::view::ControlPeer> makePeer(ui::CustomControl& control, QWidget* parent, FormContext& ctx) {
    return std::make_unique<CustomPeer>(control, parent, ctx);
}

}  // namespace qt

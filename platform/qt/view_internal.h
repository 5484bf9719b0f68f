// Shared between the view's source files; declares Qt types only by name.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/canvas.h"
#include "ui/control.h"
#include "ui/geometry.h"
#include "ui/view/control_peer.h"

class QColor;
class QFont;
class QIcon;
class QImage;
class QPainter;
class QPalette;
class QRect;
class QString;
class QWidget;

namespace ui {
class Form;
}  // namespace ui

namespace qt {

// ---- Conversions ------------------------------------------------------------------

QColor toQColor(ui::Color c);
// The designed font at its designed pixel height, in a face this machine has.
QFont toQFont(const ui::Font& f);
QString toQString(const std::string& s);
std::string fromQString(const QString& s);
QImage toQImage(const ui::Bitmap& bmp);
// The classic three-dimensional colours the design is drawn in.
QPalette classicPalette();
// An icon from the program's bitmap resources: for a name ending in "-<pixels>" every
// size of that icon there is, else the one bitmap; empty when there is none.
QIcon resourceIcon(const std::string& name);
// The font colour on the text roles of a palette (active and inactive groups).
void setTextColor(QPalette& palette, ui::Color c);

// A one-pixel 3-D edge just inside r: top and left in `topLeft`, bottom and right in
// `bottomRight`; r shrinks by one pixel on every side.
void drawEdge(QPainter& p, QRect& r, ui::Color topLeft, ui::Color bottomRight);

// ---- Peers ------------------------------------------------------------------------

class FormContext;

// Mirrors one control onto its widget.
class ControlPeer : public ui::view::ControlPeer {
public:
    ControlPeer(ui::Control& control, FormContext& ctx);

    QWidget* widget() const { return widget_; }
    // Where the widgets of child controls go.
    virtual QWidget* container() const { return widget_; }
    // The widget that takes the keyboard focus for the control (null: none).
    virtual QWidget* focusTarget() const { return widget_; }

protected:
    void applyVisible() override;
    void applyEnabled() override;
    void applyGeometry() override;
    void applyFont() override;
    void applyHint() override;
    void takeFocus() override;
    void repaint() override;
    void setWidget(QWidget* w);
    FormContext& ctx() const;

private:
    QWidget* widget_ = nullptr;
};

class FormContext : public ui::view::FormContext {
public:
    ControlPeer* peerOf(const ui::Component& c) override = 0;
};

inline ControlPeer::ControlPeer(ui::Control& control, FormContext& ctx) : ui::view::ControlPeer(control, ctx) {}
inline FormContext& ControlPeer::ctx() const { return static_cast<FormContext&>(ui::view::ControlPeer::ctx()); }

// Mixed into the widgets the view draws itself, so assistive tools can read their
// control (see qt_accessible.cpp).
class DrawnWidget {
public:
    DrawnWidget(ui::Control& control, FormContext& ctx) : model(control), context(ctx) {}
    DrawnWidget(const DrawnWidget&) = delete;
    DrawnWidget& operator=(const DrawnWidget&) = delete;

    ui::Control& model;
    FormContext& context;

protected:
    virtual ~DrawnWidget() = default;
};

// Lets assistive tools reach drawn widgets; once, after the QApplication is made.
void installAccessibility();
// A drawn widget was redrawn: tools hear of its parts that changed state.
void accessiblePartsChanged(const QWidget* widget);

// The peer for a control of any kind, its widget made as a child of `parent`.
// Returns null for kinds that have no widget.
std::unique_ptr<ui::view::ControlPeer> makeControlPeer(ui::Control& control, QWidget* parent, FormContext& ctx);

// Sets the X11 icon name of a top-level window; does nothing off X11.
void setX11IconName(QWidget* window, const std::string& name);
// Tells the X11 window manager that a shown window with no close box may be closed all
// the same (Alt+F4 where the manager takes that key); does nothing off X11.
void allowX11Close(QWidget* window);

}  // namespace qt

#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QRect>
#include <QString>

#include "platform/qt/view_internal.h"

namespace qt {
namespace {

// The first of the faces this machine has, in order of preference.
QString pickFamily(std::initializer_list<const char*> faces) {
    const QStringList installed = QFontDatabase::families();
    for (const char* face : faces) {
        if (installed.contains(QString::fromLatin1(face), Qt::CaseInsensitive)) return QString::fromLatin1(face);
    }
    return {};
}

const QString& sansFamily() {
    // Liberation Sans has the height and the look of the designed captions; DejaVu Sans
    // is wider but everywhere.
    static const QString family = pickFamily({"Liberation Sans", "DejaVu Sans", "Arimo"});
    return family;
}

// The stand-in sans face sets about six per cent wider than the designed one, enough
// to push the last letter of a caption out of a control sized for the design;
// narrowed by this much, every caption keeps its designed room.
constexpr int sansStretch = 94;

// The designed sans face is a bitmap face made in these point sizes only (at 96 dpi);
// any other size is drawn with the largest one below it, so a 9-point caption keeps
// the 13-pixel line of the 8-point size that its control was sized for.
int sansPointSize(int pointSize) {
    constexpr int made[] = {8, 10, 12, 14, 18, 24};
    int drawn = made[0];
    for (int size : made) {
        if (size <= pointSize) drawn = size;
    }
    return pointSize < made[0] ? pointSize : drawn;
}

const QString& serifFamily() {
    static const QString family = pickFamily({"Liberation Serif", "Tinos", "DejaVu Serif"});
    return family;
}

}  // namespace

QColor toQColor(ui::Color c) { return QColor(c.r, c.g, c.b); }

QFont toQFont(const ui::Font& f) {
    QFont font;
    const QString& family = f.family == ui::FontFamily::Serif ? serifFamily() : sansFamily();
    if (!family.isEmpty()) font.setFamily(family);
    if (f.family == ui::FontFamily::Serif) {
        font.setStyleHint(QFont::Serif);
        font.setPixelSize(f.pixelHeight());
        font.setStretch(QFont::Unstretched);  // set, so it is not taken from the window's font
    } else {
        font.setStyleHint(QFont::SansSerif);
        font.setPixelSize(ui::Font{f.family, sansPointSize(f.pointSize)}.pixelHeight());
        font.setStretch(sansStretch);
    }
    font.setBold(f.bold);
    return font;
}

QString toQString(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

std::string fromQString(const QString& s) { return s.toStdString(); }

QImage toQImage(const ui::Bitmap& bmp) {
    QImage image(bmp.width(), bmp.height(), QImage::Format_RGB888);
    for (int y = 0; y < bmp.height(); ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < bmp.width(); ++x) {
            const ui::Color c = bmp.pixel(x, y);
            line[3 * x] = c.r;
            line[3 * x + 1] = c.g;
            line[3 * x + 2] = c.b;
        }
    }
    return image;
}

QPalette classicPalette() {
    namespace colors = ui::colors;
    QPalette p;
    const QColor face = toQColor(colors::btnFace);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(g, QPalette::Window, face);
        p.setColor(g, QPalette::Button, face);
        p.setColor(g, QPalette::Base, toQColor(colors::window));
        p.setColor(g, QPalette::AlternateBase, face);
        p.setColor(g, QPalette::Light, toQColor(colors::btnHighlight));
        p.setColor(g, QPalette::Midlight, QColor(223, 223, 223));
        p.setColor(g, QPalette::Mid, QColor(160, 160, 160));
        p.setColor(g, QPalette::Dark, toQColor(colors::btnShadow));
        p.setColor(g, QPalette::Shadow, toQColor(colors::windowFrame));
        p.setColor(g, QPalette::Highlight, QColor(0, 0, 128));
        p.setColor(g, QPalette::HighlightedText, toQColor(colors::white));
        p.setColor(g, QPalette::ToolTipBase, QColor(255, 255, 225));
        p.setColor(g, QPalette::ToolTipText, toQColor(colors::black));
        const QColor text = g == QPalette::Disabled ? toQColor(colors::grey) : toQColor(colors::windowText);
        p.setColor(g, QPalette::WindowText, text);
        p.setColor(g, QPalette::ButtonText, text);
        p.setColor(g, QPalette::Text, text);
    }
    return p;
}

void setTextColor(QPalette& palette, ui::Color c) {
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(g, QPalette::WindowText, toQColor(c));
        palette.setColor(g, QPalette::ButtonText, toQColor(c));
        palette.setColor(g, QPalette::Text, toQColor(c));
    }
}

QIcon resourceIcon(const std::string& name) {
    // "tolvane-16" stands for every size of "tolvane-<pixels>" there is.
    auto isSize = [](std::string_view s) {
        return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
    };
    const std::size_t dash = name.rfind('-');
    const bool sized = dash != std::string::npos && isSize(std::string_view(name).substr(dash + 1));
    const std::string family = sized ? name.substr(0, dash + 1) : name;
    QIcon icon;
    for (const std::string& other : ui::resourceNames(family)) {
        if (sized ? !isSize(std::string_view(other).substr(family.size())) : other != name) continue;
        const ui::Bitmap& bmp = ui::resourceBitmap(other);
        if (!bmp.empty()) icon.addPixmap(QPixmap::fromImage(toQImage(bmp)));
    }
    return icon;
}

void drawEdge(QPainter& p, QRect& r, ui::Color topLeft, ui::Color bottomRight) {
    if (r.width() <= 0 || r.height() <= 0) return;
    const int l = r.left(), t = r.top(), rr = r.left() + r.width() - 1, b = r.top() + r.height() - 1;
    p.fillRect(QRect(l, t, r.width() - 1, 1), toQColor(topLeft));
    p.fillRect(QRect(l, t, 1, r.height() - 1), toQColor(topLeft));
    p.fillRect(QRect(l, b, r.width(), 1), toQColor(bottomRight));
    p.fillRect(QRect(rr, t, 1, r.height()), toQColor(bottomRight));
    r.adjust(1, 1, -1, -1);
}

}  // namespace qt

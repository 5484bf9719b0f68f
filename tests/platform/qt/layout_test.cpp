// The program's two windows as laid out on the screen: every caption fits its control
// in the designed geometry, measured with the widget's own font and its style's
// indicator and margins, and owner-drawn controls and icons are as sharp as the
// screen's density allows. The same tests run again at scales 1.5 and 2.
#include <QAbstractButton>
#include <QBackingStore>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>

#include <cmath>
#include <string>
#include <vector>

#include "platform/qt/view_internal.h"
#include "tests/platform/qt/program_on_screen.h"
#include "ui/canvas.h"
#include "ui/controls.h"

namespace {

// QLineEdit keeps this many pixels between its frame and its text.
constexpr int lineEditMargin = 2;

class Layout : public qttest::ProgramOnScreen {
protected:
    void SetUp() override { start(); }
    // "Name: ink (x, y) w x h outside room w x h" for every caption of the form that
    // does not fit.
    std::vector<std::string> overflows(const ui::Control& parent) const {
        std::vector<std::string> found;
        for (const ui::Control* c : parent.children()) {
            const QWidget* w = view.widget(*c);
            if (w && c->visible()) {
                for (const Fit& fit : fitsOf(*c, *w)) {
                    if (!fit.ink.isEmpty() && !fit.room.contains(fit.ink))
                        found.push_back(c->name() + fit.what + ": ink " + text(fit.ink) + " outside " + text(fit.room));
                }
            }
            const std::vector<std::string> inner = overflows(*c);
            found.insert(found.end(), inner.begin(), inner.end());
        }
        return found;
    }

private:
    struct Fit {
        std::string what;  // which part of the control, after its name
        QRect ink;         // the pixels the caption covers
        QRect room;        // where the widget lets it draw
    };

    static std::string text(QRect r) {
        return "(" + std::to_string(r.left()) + ", " + std::to_string(r.top()) + ") " + std::to_string(r.width()) +
               " x " + std::to_string(r.height());
    }

    // The pixels a one-line caption covers when the widget aligns its line in `room`;
    // the mnemonic '&' takes no room.
    static Fit place(const QWidget& w, std::string what, QString caption, QRect room, Qt::Alignment align) {
        caption.replace(QRegularExpression(QStringLiteral("&(.)")), QStringLiteral("\\1"));
        const QFontMetrics fm(w.font());
        const QRect line =
            QStyle::alignedRect(Qt::LeftToRight, align, QSize(fm.horizontalAdvance(caption), fm.height()), room);
        return {std::move(what), fm.tightBoundingRect(caption).translated(line.left(), line.top() + fm.ascent()), room};
    }

    static QRect contentsOf(const QAbstractButton& b, QStyle::SubElement element) {
        QStyleOptionButton option;
        option.initFrom(&b);
        option.text = b.text();
        return b.style()->subElementRect(element, &option, &b);
    }

    static std::vector<Fit> fitsOf(const ui::Control& c, const QWidget& w) {
        constexpr Qt::Alignment leftMiddle = Qt::AlignLeft | Qt::AlignVCenter;
        if (auto* radio = qobject_cast<const QRadioButton*>(&w))
            return {place(w, "", radio->text(), contentsOf(*radio, QStyle::SE_RadioButtonContents), leftMiddle)};
        if (auto* check = qobject_cast<const QCheckBox*>(&w))
            return {place(w, "", check->text(), contentsOf(*check, QStyle::SE_CheckBoxContents), leftMiddle)};
        if (auto* push = qobject_cast<const QPushButton*>(&w))
            return {place(w, "", push->text(), contentsOf(*push, QStyle::SE_PushButtonContents), Qt::AlignCenter)};
        if (auto* label = qobject_cast<const QLabel*>(&w)) {
            const QRect room = label->contentsRect();
            if (!label->wordWrap()) return {place(w, "", label->text(), room, label->alignment())};
            // Wrapped lines: the line boxes must fit.
            const QFontMetrics fm(w.font());
            return {{"", fm.boundingRect(room, Qt::TextWordWrap | label->alignment(), label->text()), room}};
        }
        if (auto* edit = qobject_cast<const QLineEdit*>(&w)) {
            QStyleOptionFrame option;
            option.initFrom(edit);
            option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
            const QRect room = edit->style()
                                   ->subElementRect(QStyle::SE_LineEditContents, &option, edit)
                                   .adjusted(lineEditMargin, 0, -lineEditMargin, 0);
            return {place(w, "", edit->text(), room, leftMiddle)};
        }
        if (auto* panel = dynamic_cast<const ui::Panel*>(&c)) {
            // Each bevel takes one pixel on every side.
            const int bevels = (panel->bevelOuter() != ui::Bevel::None) + (panel->bevelInner() != ui::Bevel::None);
            const QRect room = w.rect().adjusted(bevels, bevels, -bevels, -bevels);
            const Qt::Alignment across = panel->alignment() == ui::Alignment::Left    ? Qt::AlignLeft
                                         : panel->alignment() == ui::Alignment::Right ? Qt::AlignRight
                                                                                      : Qt::AlignHCenter;
            return {place(w, "", QString::fromStdString(panel->caption()), room, across | Qt::AlignVCenter)};
        }
        if (dynamic_cast<const ui::TabbedNotebook*>(&c)) {
            // A tab takes the room its caption needs; the row of tabs must fit the notebook.
            const QTabBar* bar = w.findChild<QTabBar*>();
            std::vector<Fit> fits;
            for (int i = 0; i < bar->count(); ++i)
                fits.push_back(place(*bar, " tab " + std::to_string(i), bar->tabText(i), bar->tabRect(i) & w.rect(),
                                     Qt::AlignCenter));
            return fits;
        }
        return {};
    }
};

// The run-time texts that the design leaves room for are set as well, so they are
// measured too.
TEST_F(Layout, EveryCaptionFitsItsControl) {
    forms::TMainForm& main = *program.mainForm();
    main.TimePanel->setCaption("12:00:00 PM");
    main.FilePanel->setCaption("Music CD");
    main.AlarmAMPMEdit->setText("PM");
    main.AlarmMinuteEdit->setText("00");
    for (const ui::Form* form : std::initializer_list<ui::Form*>{&main, program.aboutForm()}) {
        const std::vector<std::string> found = overflows(*form);
        EXPECT_TRUE(found.empty()) << form->name() << ":\n  " << [&] {
            std::string all;
            for (const std::string& f : found) all += f + "\n  ";
            return all;
        }();
    }
}

// The transport bar shows exactly what its canvas draws at the screen's density, not a
// drawing made for fewer pixels and stretched.
TEST_F(Layout, OwnerDrawnControlsPaintAtTheScreensDensity) {
    mci::TMediaPlayer& bar = *program.mainForm()->MediaPlayer;
    bar.setAutoEnable(false);  // the coloured glyphs
    QWidget* widget = view.widget(bar);
    const qreal scale = widget->devicePixelRatioF();
    ui::Bitmap drawn(static_cast<int>(std::ceil(bar.width() * scale)),
                     static_cast<int>(std::ceil(bar.height() * scale)));
    ui::RasterCanvas canvas(drawn, scale);
    bar.paint(canvas);
    EXPECT_EQ(widget->grab().toImage().convertToFormat(QImage::Format_RGB888), qt::toQImage(drawn))
        << "at scale " << scale;
}

// The clock's caption, laid out once per change, paints exactly as a plain drawText of
// the line would, in every alignment, whether set from the glyph table or shaped (a
// face may kern pairs such as "11" or " A": those captions are shaped); and a second's
// repaint, which covers only the characters that changed, leaves the panel as a full
// repaint would.
TEST_F(Layout, PanelCaptionsPaintAsTextAndRepaintOnlyWhatChanged) {
    ui::Panel& clock = *form()->TimePanel;
    // The captions here are the test's own: the clock's tick must not change one
    // between two looks at the screen.
    form()->ClockTimer->setEnabled(false);
    QWidget* widget = view.widget(clock);
    QWidget* window = view.window(*form());
    // What the window's repaints left in its backing store, where the panel is.
    const auto onScreen = [&] {
        QTest::qWait(0);
        QPaintDevice* device = window->backingStore()->paintDevice();
        if (device->devType() != QInternal::Image) return QImage();
        const QImage& store = *static_cast<QImage*>(device);
        const qreal scale = store.devicePixelRatio();
        const QRect r(widget->mapTo(window, QPoint(0, 0)) * scale, widget->size() * scale);
        return store.copy(r).convertToFormat(QImage::Format_RGB32);
    };
    const auto asText = [&](const std::string& caption, ui::Alignment alignment) {
        clock.setCaption("");
        QImage image = widget->grab().toImage();
        QPainter p(&image);
        const QRect face = widget->rect().adjusted(1, 1, -1, -1);  // inside the lowered bevel
        p.setFont(qt::toQFont(clock.font()));
        p.setPen(qt::toQColor(clock.font().color));
        p.setClipRect(face);
        const int align = alignment == ui::Alignment::Left    ? Qt::AlignLeft
                          : alignment == ui::Alignment::Right ? Qt::AlignRight
                                                              : Qt::AlignHCenter;
        p.drawText(face, Qt::AlignVCenter | Qt::TextSingleLine | align, qt::toQString(caption));
        p.end();
        clock.setCaption(caption);
        return image.convertToFormat(QImage::Format_RGB32);
    };
    const auto paintsAsText = [&](std::initializer_list<const char*> captions) {
        for (ui::Alignment alignment : {ui::Alignment::Left, ui::Alignment::Center, ui::Alignment::Right}) {
            clock.setAlignment(alignment);
            for (const char* caption : captions)
                EXPECT_EQ(widget->grab().toImage().convertToFormat(QImage::Format_RGB32), asText(caption, alignment))
                    << caption;
        }
        clock.setAlignment(ui::Alignment::Center);
    };
    // A second that comes round again is shown from the pixels of the last time.
    const auto secondsShowAsARepaintWould = [&](std::initializer_list<const char*> seconds) {
        for (const char* second : seconds) {
            clock.setCaption(second);
            const QImage shown = onScreen();
            widget->repaint();
            EXPECT_EQ(shown, onScreen()) << second;
        }
    };
    paintsAsText({"12:00:00 PM", "9:41:07 AM", "23:59:07", "C:\\Music\\Wake Up.wav"});
    secondsShowAsARepaintWould({"11:58:58 AM", "11:58:59 AM", "11:58:58 AM", "11:58:59 AM", "11:59:00 AM",
                                "11:59:11 AM", "11:59:17 AM", "11:59:17 PM", "1:00:00 PM", "12:00:00 PM"});
    // New colours: no pixels kept from the old ones come back. A new font: no glyph of
    // the old one is set again.
    clock.setColor(ui::colors::blue);
    onScreen();
    secondsShowAsARepaintWould({"11:58:58 AM", "11:58:59 AM"});
    clock.setFont({ui::FontFamily::Serif, 20, false, ui::colors::yellow});
    paintsAsText({"23:59:07", "9:41:07"});
}

// A window icon offers every size the program has of it, so a dense screen need not
// blow up the smallest.
TEST_F(Layout, WindowIconsOfferEverySizeThereIs) {
    const QList<QSize> sizes = view.window(*program.mainForm())->windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(32, 32)));
    EXPECT_EQ(sizes.size(), std::ssize(ui::resourceNames("tolvane-")));
}

}  // namespace

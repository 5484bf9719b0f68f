#include <functional>
#include <string>
#include <vector>

#include "tests/mci/player_fixture.h"
#include "ui/canvas.h"

namespace mcitest {
namespace {

using ui::Color;
namespace colors = ui::colors;

// ---- Sizing ------------------------------------------------------------------------------------

TEST_F(PlayerTest, ButtonsShareEdgesAndTheBarSnapsToWholeButtons) {
    programLayout();
    EXPECT_EQ(player->buttonWidth(), 29);
    EXPECT_EQ(player->bounds(), (ui::Rect{8, 8, 8 + 169, 8 + 30}));
    EXPECT_EQ(player->buttonLeft(btPause), 28);
    EXPECT_EQ(player->buttonLeft(btEject), 140);
    EXPECT_EQ(player->buttonLeft(btStep), -1);
    player->setBounds(8, 8, 120, 12);
    EXPECT_EQ(player->bounds(), (ui::Rect{8, 8, 8 + 169, 8 + 20}));
    player->setBounds(8, 8, 230, 40);  // wider: rounded down to whole buttons
    EXPECT_EQ(player->buttonWidth(), 39);
    EXPECT_EQ(player->width(), 38 * 6 + 1);
    EXPECT_EQ(player->height(), 40);
}

TEST_F(PlayerTest, EmptyBarIsSizedForOneButtonAndShowsOnlyTheOutline) {
    programLayout();
    player->setVisibleButtons({});
    EXPECT_EQ(player->width(), 29);
    ui::Bitmap image(player->width(), player->height(), colors::teal);
    ui::RasterCanvas canvas(image);
    player->paint(canvas);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool edge = x == 0 || y == 0 || x == image.width() - 1 || y == image.height() - 1;
            ASSERT_EQ(image.pixel(x, y), edge ? colors::windowFrame : colors::btnFace) << x << "," << y;
        }
    }
}

TEST_F(PlayerTest, LoadingSizesOnceAtTheEnd) {
    player->beginLoading();
    player->setBounds(0, 0, 169, 30);
    EXPECT_EQ(player->width(), 169);  // no snapping while loading
    player->setVisibleButtons({btPlay, btPause, btStop, btNext, btPrev, btEject});
    player->loaded();
    EXPECT_EQ(player->buttonWidth(), 29);
    EXPECT_EQ(player->width(), 169);
}

// ---- Mouse ---------------------------------------------------------------------------------------

struct HitCase {
    int x;
    int button;  // -1: none
};

class HitTest : public PlayerTest, public ::testing::WithParamInterface<HitCase> {};

TEST_P(HitTest, PressesTheFirstButtonWhoseSpanHoldsX) {
    programLayout();
    player->setAutoEnable(false);
    std::vector<TMPBtnType> clicked;
    player->onClick = [&](ui::Component*, TMPBtnType b, bool& doDefault) {
        clicked.push_back(b);
        doDefault = false;
    };
    player->mouseDown({GetParam().x, 3});
    player->mouseUp({GetParam().x, 3});
    if (GetParam().button < 0) {
        EXPECT_TRUE(clicked.empty());
    } else {
        EXPECT_EQ(clicked, std::vector<TMPBtnType>{static_cast<TMPBtnType>(GetParam().button)});
    }
}

// Play spans 0..28, Pause starts on the shared column 28; Prev 112..140, Eject 140..168.
INSTANTIATE_TEST_SUITE_P(Columns, HitTest,
                         ::testing::Values(HitCase{0, btPlay}, HitCase{28, btPlay}, HitCase{29, btPlay},
                                           HitCase{30, btPause}, HitCase{140, btPrev}, HitCase{141, btPrev},
                                           HitCase{142, btEject}, HitCase{169, btEject}, HitCase{170, -1}));

TEST_F(PlayerTest, DraggingOffCancelsAndDraggingBackClicks) {
    programLayout();
    openDevice(dtSequencer);
    player->mouseDown({10, 10});
    player->mouseMove({29, 10});  // the right edge is outside the pressed button
    player->mouseUp({29, 10});
    EXPECT_TRUE(commands().empty());

    player->mouseDown({10, 10});
    player->mouseMove({60, 10});
    player->mouseMove({12, 29});
    player->mouseUp({12, 29});
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0].message, MCI_PLAY);
}

TEST_F(PlayerTest, ClearingDoDefaultSuppressesCommandAndPostClick) {
    programLayout();
    openDevice(dtSequencer);
    player->setAutoEnable(false);  // a suppressed Play still counts for the auto-enable set
    std::vector<std::string> log;
    player->onClick = [&](ui::Component*, TMPBtnType b, bool& doDefault) {
        log.push_back("click " + std::to_string(b));
        doDefault = log.size() > 1;
    };
    player->onPostClick = [&](ui::Component* sender, TMPBtnType b) {
        EXPECT_EQ(sender, player);
        log.push_back("post " + std::to_string(b));
    };
    clickButton(btPlay);
    EXPECT_TRUE(commands().empty());
    clickButton(btPlay);
    EXPECT_EQ(log, (std::vector<std::string>{"click 0", "click 0", "post 0"}));
    EXPECT_EQ(commands().size(), 1u);
}

TEST_F(PlayerTest, WithoutDeviceMouseDoesNothingButSpaceRaises) {
    programLayout();
    bool posted = false;
    player->onPostClick = [&](ui::Component*, TMPBtnType) { posted = true; };
    clickButton(btPlay);
    EXPECT_TRUE(device.requests().empty());
    EXPECT_THROW(player->keyDown(ui::Key::Space), EMCIDeviceError);
    EXPECT_FALSE(posted);
}

TEST_F(PlayerTest, NextOnAPlayingCdReportsPlay) {
    programLayout();
    openDevice(dtCDAudio);
    clickButton(btPlay);
    std::vector<TMPBtnType> posted;
    player->onPostClick = [&](ui::Component*, TMPBtnType b) { posted.push_back(b); };
    clickButton(btNext);
    EXPECT_EQ(posted, std::vector<TMPBtnType>{btPlay});
    EXPECT_EQ(player->autoButtons(), (TButtonSet{btPause, btStop, btNext, btPrev, btEject}));
    device.profiles["CDAudio"].mode = MCI_MODE_PLAY;  // opened while another program plays it
    openDevice(dtCDAudio);
    EXPECT_EQ(player->autoButtons(), (TButtonSet{btPause, btStop, btNext, btPrev, btEject}));
}

TEST_F(PlayerTest, FailedCommandLeavesTheAutoEnableSet) {
    programLayout();
    openDevice(dtSequencer);
    device.failNext(MCI_PLAY, MCIERR_HARDWARE);
    clickButton(btPlay);
    EXPECT_EQ(player->autoButtons(), (TButtonSet{btPlay, btNext, btPrev}));
}

// ---- Auto-enable through a session ------------------------------------------------------------------

struct SessionCase {
    const char* name;
    TMPDeviceTypes type;
    TButtonSet extra;  // live throughout
};

class AutoEnable : public PlayerTest, public ::testing::WithParamInterface<SessionCase> {};

TEST_P(AutoEnable, FollowsTheTransport) {
    programLayout();
    const TButtonSet x = GetParam().extra;
    openDevice(GetParam().type);
    EXPECT_EQ(player->autoButtons(), TButtonSet({btPlay, btNext, btPrev}) | x);
    clickButton(btPlay);
    EXPECT_EQ(player->autoButtons(), TButtonSet({btPause, btStop, btNext, btPrev}) | x);
    clickButton(btPause);
    EXPECT_EQ(player->autoButtons(), TButtonSet({btPlay, btPause, btStop, btNext, btPrev}) | x);
    clickButton(btStop);
    EXPECT_EQ(player->autoButtons(), TButtonSet({btPlay, btNext, btPrev}) | x);
    loop.processPosted();
    clickButton(btPlay);
    device.finishPlaying();
    loop.processPosted();
    EXPECT_EQ(player->autoButtons(), TButtonSet({btPlay, btNext, btPrev}) | x);
    player->close();
    EXPECT_TRUE(player->autoButtons().empty());
    EXPECT_FALSE(player->buttonLive(btNext));
}

INSTANTIATE_TEST_SUITE_P(Devices, AutoEnable,
                         ::testing::Values(SessionCase{"Midi", dtSequencer, {}},
                                           SessionCase{"Cd", dtCDAudio, {btEject}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlayerTest, AutoEnableOffUsesTheEnabledButtons) {
    programLayout();
    player->setEnabledButtons({btStop});
    EXPECT_FALSE(player->buttonLive(btStop));
    player->setAutoEnable(false);
    EXPECT_TRUE(player->buttonLive(btStop));
    EXPECT_FALSE(player->buttonLive(btPlay));
    openDevice(dtSequencer);
    EXPECT_FALSE(player->buttonLive(btPlay));
    player->setAutoEnable(true);
    EXPECT_TRUE(player->buttonLive(btPlay));
}

// ---- Keyboard ----------------------------------------------------------------------------------------

TEST_F(PlayerTest, ArrowsWalkVisibleButtonsAndStopAtTheEnds) {
    programLayout();
    std::vector<TMPBtnType> seen;
    for (int i = 0; i < 7; ++i) {
        player->keyDown(ui::Key::Right);
        seen.push_back(player->focusedButton());
    }
    EXPECT_EQ(seen, (std::vector<TMPBtnType>{btPause, btStop, btNext, btPrev, btEject, btEject, btEject}));
    for (int i = 0; i < 6; ++i) player->keyDown(ui::Key::Left);
    EXPECT_EQ(player->focusedButton(), btPlay);
    player->setVisibleButtons({btPause, btStop});  // both ends hidden: focus stays on shown buttons
    player->keyDown(ui::Key::Right);
    player->keyDown(ui::Key::Right);
    player->keyDown(ui::Key::Right);
    EXPECT_EQ(player->focusedButton(), btStop);
}

TEST_F(PlayerTest, SpacePressesTheFocusedButton) {
    programLayout();
    openDevice(dtSequencer);
    player->keyDown(ui::Key::Right);
    player->keyDown(ui::Key::Right);  // Stop: enabled by the user, though not live
    player->keyDown(ui::Key::Space);
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0].message, MCI_STOP);
    player->setEnabledButtons({btPlay});
    player->keyDown(ui::Key::Space);
    EXPECT_EQ(commands().size(), 1u);
}

// ---- Painting -----------------------------------------------------------------------------------------

class BarPaint : public PlayerTest {
protected:
    void SetUp() override { programLayout(); }
    ui::Bitmap paint() {
        ui::Bitmap image(player->width(), player->height(), colors::teal);
        ui::RasterCanvas canvas(image);
        player->paint(canvas);
        return image;
    }
    // Whether the glyph appears with its top-left at (x, y), transparent pixels as face.
    static bool glyphAt(const ui::Bitmap& image, const ui::Bitmap& glyph, int x, int y) {
        for (int r = 0; r < glyph.height(); ++r) {
            for (int c = 0; c < glyph.width(); ++c) {
                const Color g = glyph.pixel(c, r);
                if (image.pixel(x + c, y + r) != (g == colors::olive ? colors::btnFace : g)) return false;
            }
        }
        return true;
    }
    static const ui::Bitmap& glyph(const std::string& name) { return ui::resourceBitmap(name); }
};

TEST_F(BarPaint, RaisedButtonsInAnOutline) {
    const ui::Bitmap image = paint();
    const int h = 30;
    for (int x : {0, 28, 56, 168}) EXPECT_EQ(image.pixel(x, 15), colors::windowFrame) << x;
    EXPECT_EQ(image.pixel(100, 0), colors::windowFrame);
    EXPECT_EQ(image.pixel(100, h - 1), colors::windowFrame);
    const int x = 28;  // Pause
    EXPECT_EQ(image.pixel(x + 1, h - 2), colors::btnHighlight);
    EXPECT_EQ(image.pixel(x + 27, 1), colors::btnHighlight);  // the top line's last pixel
    EXPECT_EQ(image.pixel(x + 2, h - 2), colors::btnShadow);
    EXPECT_EQ(image.pixel(x + 27, 2), colors::btnShadow);
    EXPECT_EQ(image.pixel(x + 2, 2), colors::btnFace);
}

TEST_F(BarPaint, GlyphsByStateAndPlace) {
    // Pause is 13 x 16 (12 x 16 disabled) in a 29 x 30 button at 28: left 28 + 14 - 6.
    EXPECT_TRUE(glyphAt(paint(), glyph("DI_MPPAUSE"), 28 + 14 - 6, 15 - 8));
    openDevice(dtSequencer);
    clickButton(btPlay);
    EXPECT_TRUE(glyphAt(paint(), glyph("CL_MPPAUSE"), 28 + 14 - 6, 7));
    player->setColoredButtons({btPlay});
    EXPECT_TRUE(glyphAt(paint(), glyph("EN_MPPAUSE"), 28 + 14 - 6, 7));
    player->setEnabled(false);
    EXPECT_TRUE(glyphAt(paint(), glyph("DI_MPPAUSE"), 28 + 14 - 6, 7));
    EXPECT_TRUE(glyphAt(paint(), glyph("DI_MPEJECT"), 140 + 14 - 9, 7));
}

TEST_F(BarPaint, PressedButtonSinksAndFocusFollows) {
    player->setAutoEnable(false);
    player->focusChanged(true);
    player->mouseDown({30, 5});  // Pause
    EXPECT_EQ(player->focusedButton(), btPause);
    const ui::Bitmap image = paint();
    const int x = 28;
    EXPECT_EQ(image.pixel(x + 1, 28), colors::btnShadow);
    EXPECT_EQ(image.pixel(x + 27, 1), colors::btnShadow);
    EXPECT_EQ(image.pixel(x + 27, 28), colors::btnFace);
    EXPECT_TRUE(glyphAt(image, glyph("CL_MPPAUSE"), x + 14 - 6 + 1, 8));
    // Focus rectangle (x+3, 3)-(x+26, 27), one pixel down-right: every other pixel inverted.
    const Color inverted{63, 63, 63};
    EXPECT_EQ(image.pixel(x + 4, 4), inverted);
    EXPECT_EQ(image.pixel(x + 5, 4), colors::btnFace);
    EXPECT_EQ(image.pixel(x + 3, 3), colors::btnFace);

    player->mouseMove({100, 5});  // off the button: drawn raised again, focus stays
    const ui::Bitmap raised = paint();
    EXPECT_EQ(raised.pixel(x + 1, 1), colors::btnHighlight);
    EXPECT_EQ(raised.pixel(x + 3, 3), inverted);
    player->focusChanged(false);
    EXPECT_EQ(paint().pixel(x + 3, 3), colors::btnFace);
}

// Every change of look asks the view to repaint.
class RepaintCounter : public ui::ComponentPeer {
public:
    void componentChanged(ui::Component&, ui::Change what) override { repaints += what == ui::Change::Repaint; }
    int repaints = 0;
};

TEST_F(PlayerTest, LookChangesAskForARepaint) {
    programLayout();
    RepaintCounter peer;
    player->setPeer(&peer);
    const std::vector<std::function<void()>> changes = {
        [&] { player->focusChanged(true); },       [&] { player->keyDown(ui::Key::Right); },
        [&] { player->setColoredButtons({}); },    [&] { openDevice(dtSequencer); },
        [&] { player->mouseDown({10, 10}); },      [&] { player->mouseMove({100, 10}); }};
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const int before = peer.repaints;
        changes[i]();
        EXPECT_GT(peer.repaints, before) << "change " << i;
    }
    player->setPeer(nullptr);
}

}  // namespace
}  // namespace mcitest

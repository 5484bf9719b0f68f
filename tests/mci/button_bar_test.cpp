#include <string>
#include <vector>

#include "tests/mci/player_fixture.h"
#include "ui/canvas.h"

namespace mcitest {
namespace {

namespace colors = ui::colors;

// The program's bar: Play, Pause, Stop, Next, Prev and Eject, 29 pixels each, at x = 0,
// 28, 56, 84, 112 and 140.
class Bar : public PlayerTest {
protected:
    void SetUp() override { programLayout(); }
    ui::Bitmap paint() {
        ui::Bitmap image(player->width(), player->height(), colors::teal);
        ui::RasterCanvas canvas(image);
        player->paint(canvas);
        return image;
    }
    // Whether the glyph sits centred in the button at x (moved by `shift` when pressed),
    // its transparent pixels showing the face.
    bool glyphAt(const ui::Bitmap& image, const std::string& name, int x, int shift = 0) {
        const ui::Bitmap& glyph = ui::resourceBitmap(name);
        const int left = x + 29 / 2 - glyph.width() / 2 + shift;
        const int top = 30 / 2 - glyph.height() / 2 + shift;
        for (int r = 0; r < glyph.height(); ++r) {
            for (int c = 0; c < glyph.width(); ++c) {
                const ui::Color g = glyph.pixel(c, r);
                if (image.pixel(left + c, top + r) != (g == colors::olive ? colors::btnFace : g)) return false;
            }
        }
        return true;
    }
};

// ---- Size --------------------------------------------------------------------------------------

TEST_F(PlayerTest, BarSizesOnceLoadedAndThenSnapsToWholeButtons) {
    player->beginLoading();
    player->setBounds(8, 8, 169, 30);
    EXPECT_EQ(player->width(), 169);  // no snapping while loading
    programLayout();
    player->loaded();
    EXPECT_EQ(player->buttonWidth(), 29);
    EXPECT_EQ(player->width(), 169);
    EXPECT_EQ(player->buttonLeft(btPause), 28);  // neighbours share a column
    EXPECT_EQ(player->buttonLeft(btEject), 140);
    EXPECT_EQ(player->buttonLeft(btStep), -1);
    player->setBounds(8, 8, 120, 12);  // below the smallest button
    EXPECT_EQ(player->bounds(), (ui::Rect{8, 8, 8 + 169, 8 + 20}));
    player->setBounds(8, 8, 230, 40);  // rounded down to whole buttons
    EXPECT_EQ(player->bounds(), (ui::Rect{8, 8, 8 + 38 * 6 + 1, 8 + 40}));
}

TEST_F(Bar, EmptyBarIsSizedForOneButtonAndShowsOnlyTheOutline) {
    player->setVisibleButtons({});
    EXPECT_EQ(player->width(), 29);
    const ui::Bitmap image = paint();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool edge = x == 0 || y == 0 || x == image.width() - 1 || y == image.height() - 1;
            ASSERT_EQ(image.pixel(x, y), edge ? colors::windowFrame : colors::btnFace) << x << "," << y;
        }
    }
}

// ---- Mouse -------------------------------------------------------------------------------------

TEST_F(Bar, APressHitsTheFirstButtonWhoseSpanHoldsX) {
    player->setAutoEnable(false);
    std::vector<int> clicked;
    player->onClick = [&](ui::Component*, TMPBtnType b, bool& doDefault) {
        clicked.push_back(b);
        doDefault = false;
    };
    for (const int x : {0, 28, 29, 30, 140, 141, 142, 169, 170}) {
        player->mouseDown({x, 3});
        player->mouseUp({x, 3});
    }
    EXPECT_EQ(clicked, (std::vector<int>{btPlay, btPlay, btPlay, btPause, btPrev, btPrev, btEject, btEject}));
}

// Dragging off the button cancels, dragging back on clicks; an OnClick that clears
// DoDefault keeps both the command and OnPostClick from running.
TEST_F(Bar, ClickSequence) {
    openDevice(dtSequencer);
    player->setAutoEnable(false);  // a suppressed Play would still count for the auto-enable set
    std::vector<std::string> log;
    player->onClick = [&](ui::Component* sender, TMPBtnType b, bool& doDefault) {
        EXPECT_EQ(sender, player);
        log.push_back("click " + std::to_string(b));
        doDefault = log.size() > 1;
    };
    player->onPostClick = [&](ui::Component* sender, TMPBtnType b) {
        EXPECT_EQ(sender, player);
        log.push_back("post " + std::to_string(b));
    };
    player->mouseDown({10, 10});
    player->mouseMove({29, 10});  // the right edge is outside the pressed button
    player->mouseUp({29, 10});
    clickButton(btPlay);
    EXPECT_TRUE(device.commands().empty());
    player->mouseDown({10, 10});
    player->mouseMove({60, 10});
    player->mouseMove({12, 29});
    player->mouseUp({12, 29});
    EXPECT_EQ(log, (std::vector<std::string>{"click 0", "click 0", "post 0"}));
    ASSERT_EQ(device.commands().size(), 1u);
    EXPECT_EQ(device.last().message, MCI_PLAY);
}

TEST_F(Bar, WithoutADeviceAPressDoesNothingButSpaceRaises) {
    bool posted = false;
    player->onPostClick = [&](ui::Component*, TMPBtnType) { posted = true; };
    clickButton(btPlay);
    EXPECT_TRUE(device.requests().empty());
    EXPECT_THROW(player->keyDown(ui::Key::Space), EMCIDeviceError);
    EXPECT_FALSE(posted);
}

// ---- Auto-enable -------------------------------------------------------------------------------

TEST_F(Bar, AutoEnableFollowsTheTransport) {
    for (const auto& [type, always] :
         {std::pair{dtSequencer, TButtonSet{}}, std::pair{dtCDAudio, TButtonSet{btEject}}}) {
        SCOPED_TRACE(type);
        openDevice(type);
        const TButtonSet stopped = TButtonSet{btPlay, btNext, btPrev} | always;
        EXPECT_EQ(player->autoButtons(), stopped);
        device.failNext(MCI_PLAY, MCIERR_HARDWARE);
        clickButton(btPlay);  // failed: nothing changes
        EXPECT_EQ(player->autoButtons(), stopped);
        clickButton(btPlay);
        EXPECT_EQ(player->autoButtons(), TButtonSet({btPause, btStop, btNext, btPrev}) | always);
        clickButton(btPause);
        EXPECT_EQ(player->autoButtons(), TButtonSet({btPlay, btPause, btStop, btNext, btPrev}) | always);
        clickButton(btStop);
        EXPECT_EQ(player->autoButtons(), stopped);
        loop.processPosted();
        clickButton(btPlay);
        device.finishPlaying();
        loop.processPosted();
        EXPECT_EQ(player->autoButtons(), stopped);
        player->close();
        EXPECT_TRUE(player->autoButtons().empty());
    }
}

TEST_F(Bar, NextOnAPlayingDiscReportsPlay) {
    openDevice(dtCDAudio);
    clickButton(btPlay);
    std::vector<TMPBtnType> posted;
    player->onPostClick = [&](ui::Component*, TMPBtnType b) { posted.push_back(b); };
    clickButton(btNext);
    EXPECT_EQ(posted, std::vector<TMPBtnType>{btPlay});
    const TButtonSet playing{btPause, btStop, btNext, btPrev, btEject};
    EXPECT_EQ(player->autoButtons(), playing);
    device.profiles["CDAudio"].mode = MCI_MODE_PLAY;  // opened while another program plays it
    openDevice(dtCDAudio);
    EXPECT_EQ(player->autoButtons(), playing);
}

// ---- Keyboard ----------------------------------------------------------------------------------

TEST_F(Bar, ArrowsWalkTheVisibleButtonsAndSpacePressesTheFocusedOne) {
    std::vector<TMPBtnType> seen;
    for (int i = 0; i < 6; ++i) {
        player->keyDown(ui::Key::Right);
        seen.push_back(player->focusedButton());
    }
    EXPECT_EQ(seen, (std::vector<TMPBtnType>{btPause, btStop, btNext, btPrev, btEject, btEject}));
    for (int i = 0; i < 6; ++i) player->keyDown(ui::Key::Left);
    EXPECT_EQ(player->focusedButton(), btPlay);
    player->setVisibleButtons({btPause, btStop});  // both ends hidden: the focus stays on shown buttons
    for (int i = 0; i < 3; ++i) player->keyDown(ui::Key::Right);
    EXPECT_EQ(player->focusedButton(), btStop);

    openDevice(dtSequencer);
    player->keyDown(ui::Key::Space);  // Stop is enabled by the user, though not live
    ASSERT_EQ(device.commands().size(), 1u);
    EXPECT_EQ(device.last().message, MCI_STOP);
    player->setEnabledButtons({btPlay});
    player->keyDown(ui::Key::Space);
    EXPECT_EQ(device.commands().size(), 1u);
}

// ---- Painting ----------------------------------------------------------------------------------

TEST_F(Bar, RaisedButtonsInAnOutline) {
    const ui::Bitmap image = paint();
    for (const int x : {0, 28, 56, 168}) EXPECT_EQ(image.pixel(x, 15), colors::windowFrame) << x;
    EXPECT_EQ(image.pixel(100, 0), colors::windowFrame);
    EXPECT_EQ(image.pixel(100, 29), colors::windowFrame);
    const int x = 28;  // Pause
    EXPECT_EQ(image.pixel(x + 1, 28), colors::btnHighlight);
    EXPECT_EQ(image.pixel(x + 27, 1), colors::btnHighlight);  // the top line's last pixel
    EXPECT_EQ(image.pixel(x + 2, 28), colors::btnShadow);
    EXPECT_EQ(image.pixel(x + 27, 2), colors::btnShadow);
    EXPECT_EQ(image.pixel(x + 2, 2), colors::btnFace);
}

TEST_F(Bar, GlyphsFollowTheButtonsState) {
    EXPECT_TRUE(glyphAt(paint(), "DI_MPPAUSE", 28));
    openDevice(dtSequencer);
    clickButton(btPlay);
    EXPECT_TRUE(glyphAt(paint(), "CL_MPPAUSE", 28));
    player->setColoredButtons({btPlay});
    EXPECT_TRUE(glyphAt(paint(), "EN_MPPAUSE", 28));
    player->setEnabled(false);
    EXPECT_TRUE(glyphAt(paint(), "DI_MPPAUSE", 28));
    EXPECT_TRUE(glyphAt(paint(), "DI_MPEJECT", 140));
}

TEST_F(Bar, PressedButtonSinksAndTheFocusFollows) {
    player->setAutoEnable(false);
    player->focusChanged(true);
    player->mouseDown({30, 5});  // Pause
    EXPECT_EQ(player->focusedButton(), btPause);
    const ui::Bitmap image = paint();
    const int x = 28;
    EXPECT_EQ(image.pixel(x + 1, 28), colors::btnShadow);
    EXPECT_EQ(image.pixel(x + 27, 1), colors::btnShadow);
    EXPECT_EQ(image.pixel(x + 27, 28), colors::btnFace);
    EXPECT_TRUE(glyphAt(image, "CL_MPPAUSE", x, 1));
    // Focus rectangle (x+3, 3)-(x+26, 27), one pixel down-right: every other pixel inverted.
    const ui::Color inverted{63, 63, 63};
    EXPECT_EQ(image.pixel(x + 4, 4), inverted);
    EXPECT_EQ(image.pixel(x + 5, 4), colors::btnFace);
    EXPECT_EQ(image.pixel(x + 3, 3), colors::btnFace);

    player->mouseMove({100, 5});  // off the button: drawn raised again, the focus stays
    const ui::Bitmap raised = paint();
    EXPECT_EQ(raised.pixel(x + 1, 1), colors::btnHighlight);
    EXPECT_EQ(raised.pixel(x + 3, 3), inverted);
    player->focusChanged(false);
    EXPECT_EQ(paint().pixel(x + 3, 3), colors::btnFace);
}

// Every change of look asks the view to repaint.
TEST_F(Bar, LookChangesAskForARepaint) {
    struct : ui::ComponentPeer {
        void componentChanged(ui::Component&, ui::Change what) override { repaints += what == ui::Change::Repaint; }
        int repaints = 0;
    } peer;
    player->setPeer(&peer);
    const std::vector<std::function<void()>> changes = {
        [&] { player->focusChanged(true); },    [&] { player->keyDown(ui::Key::Right); },
        [&] { player->setColoredButtons({}); }, [&] { openDevice(dtSequencer); },
        [&] { player->mouseDown({10, 10}); },   [&] { player->mouseMove({100, 10}); }};
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const int before = peer.repaints;
        changes[i]();
        EXPECT_GT(peer.repaints, before) << "change " << i;
    }
    player->setPeer(nullptr);
}

}  // namespace
}  // namespace mcitest

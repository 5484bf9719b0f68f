// The transport control on a form, driving the scripted device: the requests it sends,
// the completion notice, and its button bar (layout, mouse, keyboard, live buttons, look).
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "mci/media_player.h"
#include "tests/fakes/scripted_device.h"
#include "tests/fakes/virtual_platform.h"
#include "ui/application.h"
#include "ui/canvas.h"
#include "ui/form.h"

namespace {

using namespace mci;
namespace colors = ui::colors;
using Sent = std::vector<std::pair<std::string, DWORD>>;

// The program's bar, loaded as the main form loads it: Play, Pause, Stop, Next, Prev and
// Eject, 29 pixels each, at x = 0, 28, 56, 84, 112 and 140.
class Player : public ::testing::Test {
protected:
    Player() {
        player->beginLoading();
        player->setBounds(8, 8, 169, 30);
        player->setVisibleButtons({btPlay, btPause, btStop, btNext, btPrev, btEject});
        player->loaded();
    }
    // Opens a device of the given kind (a file unless it is a disc) and forgets the
    // requests that took.
    void openDevice(TMPDeviceTypes type) {
        player->setDeviceType(type);
        player->setFileName(type == dtCDAudio ? "" : "alarm");
        player->open();
        device.clearRequests();
    }
    // The commands sent since the requests were last cleared (status questions aside).
    Sent sent() const {
        Sent out;
        for (const fakes::MciRequest& r : device.requests()) {
            if (r.message != MCI_STATUS && r.message != MCI_GETDEVCAPS)
                out.emplace_back(fakes::messageName(r.message), r.flags);
        }
        return out;
    }
    void clickButton(TMPBtnType b) {
        const ui::Point p{player->buttonLeft(b) + player->buttonWidth() / 2, 10};
        player->mouseDown(p);
        player->mouseUp(p);
    }
    // The message of the device error that a call raises; empty when it raises none.
    static std::string raised(const std::function<void()>& call) {
        try {
            call();
        } catch (const EMCIDeviceError& e) {
            return e.what();
        }
        return "";
    }
    // Whether the glyph shows centred in the button at x: drawing it there again changes nothing.
    bool glyphAt(const std::string& name, int x) {
        ui::Bitmap image(player->width(), player->height());
        ui::RasterCanvas canvas(image);
        player->paint(canvas);
        const ui::Bitmap painted = image;
        const ui::Bitmap& glyph = ui::resourceBitmap(name);
        canvas.drawBitmap(x + 29 / 2 - glyph.width() / 2, 30 / 2 - glyph.height() / 2, glyph, colors::olive,
                          colors::btnFace);
        return image == painted;
    }

    fakes::VirtualLoop loop;
    fakes::ScriptedServices services;
    ui::Application app{loop, services};
    fakes::ScriptedDevice device{loop.queue()};  // outlives the form, which closes it
    ui::Form form{app, "MainForm"};
    TMediaPlayer* player = form.add<TMediaPlayer>("MediaPlayer", device);
};

struct RequestCase {
    const char* name;
    std::function<void(TMediaPlayer&)> send;
    UINT message;
    DWORD flags;  // besides MCI_WAIT and MCI_NOTIFY
    bool wait;    // by default
    bool notify;  // by default
    friend std::ostream& operator<<(std::ostream& out, const RequestCase& c) { return out << c.name; }
};

const RequestCase requestCases[] = {
    {"Close", [](TMediaPlayer& p) { p.close(); }, MCI_CLOSE, 0, true, false},
    {"Play", [](TMediaPlayer& p) { p.play(); }, MCI_PLAY, 0, false, true},
    {"Stop", [](TMediaPlayer& p) { p.stop(); }, MCI_STOP, 0, true, false},
    {"Pause", [](TMediaPlayer& p) { p.pause(); }, MCI_PAUSE, 0, true, false},
    {"Next", [](TMediaPlayer& p) { p.next(); }, MCI_SEEK, MCI_SEEK_TO_END, true, false},
    {"Previous", [](TMediaPlayer& p) { p.previous(); }, MCI_SEEK, MCI_SEEK_TO_START, true, false},
    {"Eject", [](TMediaPlayer& p) { p.eject(); }, MCI_SET, MCI_SET_DOOR_OPEN, true, false},
};

class Requests : public Player, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(Requests, NotifyAndWaitWrittenOnceGovernOnlyTheNextRequestAndFailuresAreRecorded) {
    const RequestCase& c = GetParam();
    EXPECT_EQ(raised([&] { c.send(*player); }), c.message == MCI_CLOSE ? "" : "No MCI device open");
    // A file on a device that can eject, playing away from its end and staying so.
    fakes::DeviceProfile& p = device.profiles["WaveAudio"];
    p.canEject = true;
    p.mode = MCI_MODE_PLAY;
    p.position = 1;
    device.simulate = false;
    std::vector<DWORD> flags;
    auto send = [&] {
        if (!player->isOpen()) openDevice(dtWaveAudio);
        device.clearRequests();
        c.send(*player);
        for (const fakes::MciRequest& r : device.requests(c.message)) {
            EXPECT_EQ(r.callback, player->handle());
            flags.push_back(r.flags);
        }
    };
    openDevice(dtWaveAudio);
    player->setNotify(!c.notify);
    player->setWait(!c.wait);
    send();
    send();
    device.failNext(c.message, MCIERR_HARDWARE);
    send();
    EXPECT_EQ(player->error(), MCIERR_HARDWARE);
    const DWORD usual = c.flags | (c.wait ? MCI_WAIT : 0) | (c.notify ? MCI_NOTIFY : 0);
    EXPECT_EQ(flags, (std::vector<DWORD>{usual ^ MCI_WAIT ^ MCI_NOTIFY, usual, usual}));
}

INSTANTIATE_TEST_SUITE_P(Player, Requests, ::testing::ValuesIn(requestCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A form asks for the mode and the position before anything is open: they answer quietly,
// while requests raise and the bar takes no clicks.
TEST_F(Player, WithoutADeviceOnlyModeAndPositionAnswer) {
    EXPECT_EQ(raised([&] { player->rewind(); }), "No MCI device open");
    EXPECT_EQ(player->mode(), mdNotReady);
    EXPECT_EQ(player->position(), 0);
    clickButton(btPlay);
    EXPECT_EQ(raised([&] { player->keyDown(ui::Key::Space); }), "No MCI device open");
    EXPECT_EQ(sent(), Sent{});
}

// A file is named with its type; a disc is switched to tracks, with no notice that could
// pass for the end of playing. A failed open raises the device's text and leaves it closed.
TEST_F(Player, Open) {
    player->setDeviceType(dtWaveAudio);
    player->setFileName("C:\\alarm.wav");
    player->setShareable(true);
    player->open();
    const fakes::MciRequest open = device.requests().front();
    EXPECT_EQ(open.flags, MCI_WAIT | MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_OPEN_SHAREABLE);
    EXPECT_EQ(open.deviceType.value_or("") + " " + open.elementName.value_or(""), "WaveAudio C:\\alarm.wav");
    EXPECT_EQ(open.callback, player->handle());
    EXPECT_EQ(device.count(MCI_SET), 0u);  // a file keeps its own time format

    int notices = 0;
    player->onNotify = [&](ui::Component*) { ++notices; };
    openDevice(dtCDAudio);
    loop.processPosted();
    EXPECT_EQ(notices, 0);
    EXPECT_EQ(device.state.timeFormat, MCI_FORMAT_TMSF);
    EXPECT_EQ(player->capabilities(), (TMPCapabilities{cpCanPlay, cpCanEject}));
    device.failNext(MCI_OPEN, MCIERR_FILE_NOT_FOUND);
    EXPECT_EQ(raised([&] { player->open(); }), "The file cannot be found");
    EXPECT_EQ(sent(), (Sent{{"MCI_CLOSE", MCI_WAIT}, {"MCI_OPEN", MCI_WAIT | MCI_OPEN_TYPE | MCI_OPEN_SHAREABLE}}));
    EXPECT_FALSE(player->isOpen());
    EXPECT_TRUE(player->autoButtons().empty());
    device.failNext(MCI_OPEN, 999);
    EXPECT_EQ(raised([&] { player->open(); }), "Unknown error code");
}

TEST_F(Player, PlayAtTheEndRewindsFirstUnlessFromOrToIsGiven) {
    openDevice(dtWaveAudio);
    device.state.position = device.state.length;
    player->play();
    EXPECT_EQ(sent(), (Sent{{"MCI_SEEK", MCI_SEEK_TO_START | MCI_WAIT}, {"MCI_PLAY", MCI_NOTIFY}}));
    device.state.position = device.state.length;
    device.clearRequests();
    player->setFrom(100);
    player->setTo(2000);
    player->play();
    player->play();  // From and To were used up
    EXPECT_EQ(sent(), (Sent{{"MCI_PLAY", MCI_NOTIFY | MCI_FROM | MCI_TO}, {"MCI_PLAY", MCI_NOTIFY}}));
    const fakes::MciRequest first = device.requests(MCI_PLAY).front();
    EXPECT_EQ(std::pair(first.from, first.to), (std::pair<DWORD, DWORD>{100, 2000}));
}

struct TrackCase {
    const char* name;
    bool previous;
    DWORD position;
    DWORD mode;
    DWORD target;
    friend std::ostream& operator<<(std::ostream& out, const TrackCase& c) { return out << c.name; }
};

const TrackCase trackCases[] = {
    {"NextStoppedSeeks", false, MCI_MAKE_TMSF(2, 1, 5, 0), MCI_MODE_STOP, MCI_MAKE_TMSF(3, 0, 0, 0)},
    {"NextPlayingPlaysFrom", false, MCI_MAKE_TMSF(2, 1, 5, 0), MCI_MODE_PLAY, MCI_MAKE_TMSF(3, 0, 0, 0)},
    {"NextOnLastTrackRestartsIt", false, MCI_MAKE_TMSF(4, 2, 0, 0), MCI_MODE_PLAY, MCI_MAKE_TMSF(4, 0, 0, 0)},
    {"PreviousInFirstSecond", true, MCI_MAKE_TMSF(3, 0, 0, 40), MCI_MODE_STOP, MCI_MAKE_TMSF(2, 0, 0, 0)},
    {"PreviousLaterInTrack", true, MCI_MAKE_TMSF(3, 0, 2, 0), MCI_MODE_STOP, MCI_MAKE_TMSF(3, 0, 0, 0)},
    {"PreviousAMinuteIn", true, MCI_MAKE_TMSF(3, 1, 0, 0), MCI_MODE_STOP, MCI_MAKE_TMSF(3, 0, 0, 0)},
    {"PreviousOnTrackOne", true, MCI_MAKE_TMSF(1, 0, 0, 10), MCI_MODE_STOP, MCI_MAKE_TMSF(1, 0, 0, 0)},
};

class DiscTracks : public Player, public ::testing::WithParamInterface<TrackCase> {};

TEST_P(DiscTracks, GoToTheRightTrack) {
    const TrackCase& c = GetParam();
    openDevice(dtCDAudio);
    device.state.position = c.position;
    device.mode = c.mode;
    c.previous ? player->previous() : player->next();
    const bool playing = c.mode == MCI_MODE_PLAY;
    EXPECT_EQ(sent(), (Sent{{playing ? "MCI_PLAY" : "MCI_SEEK", playing ? MCI_NOTIFY | MCI_FROM : MCI_WAIT | MCI_TO}}));
    EXPECT_EQ(playing ? device.requests().back().from : device.requests().back().to, c.target);
}

INSTANTIATE_TEST_SUITE_P(Player, DiscTracks, ::testing::ValuesIn(trackCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Player, BarSnapsToWholeButtonsSharingTheirBorders) {
    EXPECT_EQ(player->bounds(), (ui::Rect{8, 8, 8 + 169, 8 + 30}));
    EXPECT_EQ(player->buttonWidth(), 29);
    EXPECT_EQ(player->buttonLeft(btEject), 140);
    EXPECT_EQ(player->buttonLeft(btStep), -1);
    player->setBounds(8, 8, 120, 12);  // below the smallest button
    EXPECT_EQ(player->bounds(), (ui::Rect{8, 8, 8 + 169, 8 + 20}));
    player->setBounds(8, 8, 228, 40);  // rounded down to whole buttons of 38
    EXPECT_EQ(player->bounds(), (ui::Rect{8, 8, 8 + 37 * 6 + 1, 8 + 40}));
}

// A press hits the first button whose span holds x; dragging off the pressed button
// cancels the click, dragging back on completes it.
TEST_F(Player, MouseClicksTheButtonUnderIt) {
    openDevice(dtSequencer);
    player->setAutoEnable(false);
    std::vector<TMPBtnType> posted;
    player->onPostClick = [&](ui::Component*, TMPBtnType b) { posted.push_back(b); };
    for (const int x : {0, 28, 29, 30, 140, 141, 142, 169, 170}) {
        player->mouseDown({x, 3});
        player->mouseUp({x, 3});
    }
    EXPECT_EQ(posted, (std::vector<TMPBtnType>{btPlay, btPlay, btPlay, btPause, btPrev, btPrev, btEject, btEject}));
    EXPECT_EQ(player->focusedButton(), btEject);  // the focus follows the press
    posted.clear();
    player->mouseDown({10, 10});
    player->mouseMove({29, 10});  // the right edge is outside the pressed button
    player->mouseUp({29, 10});
    player->mouseDown({10, 10});
    player->mouseMove({60, 10});
    player->mouseMove({12, 29});
    player->mouseUp({12, 29});
    EXPECT_EQ(posted, std::vector<TMPBtnType>{btPlay});
}

// A disc comes first: the file after it must not keep its Eject. The notices of the end
// of playing restore the stopped set.
TEST_F(Player, AutoEnableFollowsTheTransport) {
    std::vector<TMPNotifyValue> notices;
    player->onNotify = [&](ui::Component* sender) {
        EXPECT_EQ(sender, player);
        notices.push_back(player->notifyValue());
    };
    for (const auto& [type, always] :
         {std::pair{dtCDAudio, TButtonSet{btEject}}, std::pair{dtSequencer, TButtonSet{}}}) {
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
    EXPECT_EQ(notices, (std::vector<TMPNotifyValue>{nfAborted, nfSuccessful, nfAborted, nfSuccessful}));
}

// A disc found playing offers Pause and Stop; Next on it plays on and counts as Play.
TEST_F(Player, NextOnAPlayingDiscCountsAsPlay) {
    device.profiles["CDAudio"].mode = MCI_MODE_PLAY;
    openDevice(dtCDAudio);
    const TButtonSet playing{btPause, btStop, btNext, btPrev, btEject};
    EXPECT_EQ(player->autoButtons(), playing);
    std::vector<TMPBtnType> posted;
    player->onPostClick = [&](ui::Component*, TMPBtnType b) { posted.push_back(b); };
    clickButton(btNext);
    EXPECT_EQ(posted, std::vector<TMPBtnType>{btPlay});
    EXPECT_EQ(player->autoButtons(), playing);
}

TEST_F(Player, ArrowsWalkTheVisibleButtonsAndSpacePressesTheFocusedOne) {
    std::vector<TMPBtnType> seen;
    for (int i = 0; i < 6; ++i) {
        player->keyDown(ui::Key::Right);
        seen.push_back(player->focusedButton());
    }
    EXPECT_EQ(seen, (std::vector<TMPBtnType>{btPause, btStop, btNext, btPrev, btEject, btEject}));
    for (int i = 0; i < 6; ++i) player->keyDown(ui::Key::Left);
    EXPECT_EQ(player->focusedButton(), btPlay);
    openDevice(dtSequencer);
    player->keyDown(ui::Key::Right);
    player->keyDown(ui::Key::Right);
    player->keyDown(ui::Key::Space);  // Stop is enabled by the user, though not live
    player->setEnabledButtons({btPlay});
    player->keyDown(ui::Key::Space);
    EXPECT_EQ(sent(), (Sent{{"MCI_STOP", MCI_WAIT}}));
}

TEST_F(Player, GlyphsFollowTheButtonsState) {
    EXPECT_TRUE(glyphAt("DI_MPPAUSE", 28));
    openDevice(dtSequencer);
    clickButton(btPlay);
    EXPECT_TRUE(glyphAt("CL_MPPAUSE", 28));
    player->setColoredButtons({btPlay});
    EXPECT_TRUE(glyphAt("EN_MPPAUSE", 28));
    player->setEnabled(false);
    EXPECT_TRUE(glyphAt("DI_MPPAUSE", 28));
}

TEST_F(Player, LookChangesAskForARepaint) {
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

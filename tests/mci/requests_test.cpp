#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/mci/player_fixture.h"

namespace mcitest {
namespace {

// ---- Each transport request: open check, flags, callback window, recorded failure ------

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
    {"Record", [](TMediaPlayer& p) { p.startRecording(); }, MCI_RECORD, 0, false, true},
    {"Stop", [](TMediaPlayer& p) { p.stop(); }, MCI_STOP, 0, true, false},
    {"Pause", [](TMediaPlayer& p) { p.pause(); }, MCI_PAUSE, 0, true, false},
    {"Next", [](TMediaPlayer& p) { p.next(); }, MCI_SEEK, MCI_SEEK_TO_END, true, false},
    {"Previous", [](TMediaPlayer& p) { p.previous(); }, MCI_SEEK, MCI_SEEK_TO_START, true, false},
    {"Step", [](TMediaPlayer& p) { p.step(); }, MCI_STEP, MCI_DGV_STEP_FRAMES, true, false},
    {"Back", [](TMediaPlayer& p) { p.back(); }, MCI_STEP, MCI_DGV_STEP_FRAMES | MCI_DGV_STEP_REVERSE, true, false},
    {"Eject", [](TMediaPlayer& p) { p.eject(); }, MCI_SET, MCI_SET_DOOR_OPEN, true, false},
};

class Requests : public PlayerTest, public ::testing::WithParamInterface<RequestCase> {
protected:
    // A device that can do everything, playing away from its end and staying so.
    void SetUp() override {
        fakes::DeviceProfile& p = device.profiles["WaveAudio"];
        p.canRecord = p.canEject = p.hasVideo = true;
        p.mode = MCI_MODE_PLAY;
        p.position = 1;
        device.simulate = false;
    }
    // Sends the request, opening a device first when none is open; the flags it went with.
    DWORD send() {
        if (!player->isOpen()) openDevice(dtWaveAudio);
        device.clearRequests();
        GetParam().send(*player);
        const auto sent = device.requests(GetParam().message);
        EXPECT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent.at(0).callback, player->handle());
        return sent.at(0).flags;
    }
    DWORD flags(bool wait, bool notify) const {
        return GetParam().flags | (wait ? MCI_WAIT : 0) | (notify ? MCI_NOTIFY : 0);
    }
};

TEST_P(Requests, NotifyAndWaitWrittenOnceGovernOnlyTheNextRequestAndFailuresAreRecorded) {
    const RequestCase& c = GetParam();
    EXPECT_EQ(raised([&] { c.send(*player); }), c.message == MCI_CLOSE ? "" : "No MCI device open");
    EXPECT_TRUE(device.requests().empty());
    openDevice(dtWaveAudio);
    player->setNotify(!c.notify);
    player->setWait(!c.wait);
    EXPECT_EQ(send(), flags(!c.wait, !c.notify));
    EXPECT_EQ(send(), flags(c.wait, c.notify));
    EXPECT_EQ(player->error(), 0u);
    device.failNext(c.message, MCIERR_HARDWARE);
    send();
    EXPECT_EQ(player->error(), MCIERR_HARDWARE);
}

INSTANTIATE_TEST_SUITE_P(Player, Requests, ::testing::ValuesIn(requestCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlayerTest, WithoutADeviceOnlyModePositionAndTimeFormatWritesGoOut) {
    EXPECT_EQ(raised([&] { player->rewind(); }), "No MCI device open");
    EXPECT_EQ(raised([&] { player->length(); }), "No MCI device open");
    EXPECT_EQ(raised([&] { player->tracks(); }), "No MCI device open");
    EXPECT_EQ(raised([&] { player->timeFormat(); }), "No MCI device open");
    EXPECT_TRUE(device.requests().empty());
    EXPECT_EQ(player->mode(), mdNotReady);
    EXPECT_EQ(player->position(), 0);
    player->setTimeFormat(fmtTMSF);
    EXPECT_EQ(player->error(), MCIERR_INVALID_DEVICE_ID);
    EXPECT_EQ(device.requests().size(), 3u);
}

// ---- Open ---------------------------------------------------------------------------------

TEST_F(PlayerTest, OpenNamesWhatIsSetAndReadsTheDevice) {
    device.failNext(MCI_OPEN, 999);
    EXPECT_EQ(raised([&] { player->open(); }), "Unknown error code");  // a code without a text
    EXPECT_EQ(device.last().flags, MCI_WAIT);
    EXPECT_FALSE(device.last().deviceType || device.last().elementName);
    player->setDeviceType(dtWaveAudio);
    player->setFileName("C:\\alarm.wav");
    player->setShareable(true);
    device.clearRequests();
    player->open();
    const MciRequest open = device.requests().front();
    EXPECT_EQ(open.flags, MCI_WAIT | MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_OPEN_SHAREABLE);
    EXPECT_EQ(open.deviceType, "WaveAudio");
    EXPECT_EQ(open.elementName, "C:\\alarm.wav");
    EXPECT_EQ(open.callback, player->handle());
    EXPECT_EQ(player->deviceID(), device.openId());
    EXPECT_EQ(player->frames(), 250);                // 2500 ms / 10
    EXPECT_EQ(device.count(MCI_SET), 0u);            // a file keeps its own time format
    EXPECT_EQ(device.last().item, MCI_STATUS_MODE);  // Error holds the answer to the last question
}

TEST_F(PlayerTest, OpeningADiscSwitchesToTracksWithoutANotice) {
    int notices = 0;
    player->onNotify = [&](ui::Component*) { ++notices; };
    player->setDeviceType(dtCDAudio);
    player->open();
    loop.processPosted();
    EXPECT_EQ(notices, 0);
    EXPECT_EQ(device.requests(MCI_SET).at(0).flags, MCI_SET_TIME_FORMAT | MCI_NOTIFY);
    EXPECT_EQ(device.state.timeFormat, MCI_FORMAT_TMSF);
    EXPECT_EQ(player->capabilities(), (TMPCapabilities{cpCanPlay, cpCanEject}));
}

TEST_F(PlayerTest, OpenForgetsWhatAnEarlierDeviceCouldDo) {
    fakes::DeviceProfile& video = device.profiles["DigitalVideo"];
    video.deviceType = MCI_DEVTYPE_DIGITAL_VIDEO;
    video.hasVideo = video.canRecord = true;
    video.sourceRect = {0, 0, 320, 240};
    openDevice(dtDigitalVideo);
    EXPECT_EQ(player->capabilities(), (TMPCapabilities{cpCanPlay, cpCanRecord, cpUsesWindow, cpCanStep}));
    EXPECT_EQ(player->displayWidth(), 320);
    EXPECT_EQ(player->autoButtons(), (TButtonSet{btPlay, btNext, btPrev, btStep, btBack, btRecord}));
    player->setDeviceType(dtSequencer);
    player->open();
    EXPECT_EQ(device.requests().front().message, MCI_CLOSE);  // the old device goes first
    EXPECT_EQ(player->capabilities(), TMPCapabilities{cpCanPlay});
    EXPECT_EQ(player->autoButtons(), (TButtonSet{btPlay, btNext, btPrev}));
}

TEST_F(PlayerTest, FailedOpenRaisesTheDeviceTextAndLeavesItClosed) {
    openDevice(dtSequencer);
    device.failNext(MCI_OPEN, MCIERR_FILE_NOT_FOUND);
    EXPECT_EQ(raised([&] { player->open(); }), "The file cannot be found");
    EXPECT_EQ(device.requests().front().message, MCI_CLOSE);
    EXPECT_FALSE(player->isOpen());
    EXPECT_EQ(player->deviceID(), 0u);
    EXPECT_EQ(player->error(), MCIERR_FILE_NOT_FOUND);
    EXPECT_TRUE(player->autoButtons().empty());
    device.errorTexts[MCIERR_HARDWARE] = std::string(5000, 'x');
    device.failNext(MCI_OPEN, MCIERR_HARDWARE);
    EXPECT_EQ(raised([&] { player->open(); }), std::string(4095, 'x'));  // as much as the buffer holds
}

// ---- Play and Pause -----------------------------------------------------------------------

TEST_F(PlayerTest, PlayAtTheEndRewindsFirstUnlessFromOrToIsGiven) {
    openDevice(dtWaveAudio);
    device.state.position = device.state.length;
    player->play();
    ASSERT_EQ(device.commands().size(), 2u);
    EXPECT_EQ(device.commands()[0].message, MCI_SEEK);
    EXPECT_EQ(device.commands()[0].flags, MCI_SEEK_TO_START | MCI_WAIT);
    EXPECT_EQ(device.commands()[0].callback, 0u);
    device.state.position = device.state.length;
    device.clearRequests();
    player->setFrom(100);
    player->setTo(2000);
    player->play();
    ASSERT_EQ(device.commands().size(), 1u);
    EXPECT_EQ(device.last().flags, MCI_NOTIFY | MCI_FROM | MCI_TO);
    EXPECT_EQ(device.last().from, 100u);
    EXPECT_EQ(device.last().to, 2000u);
    player->play();  // From and To were used up
    EXPECT_EQ(device.last().flags, MCI_NOTIFY);
}

// Stopped: nothing. Paused: resume, with the marks of the written Notify and Wait; a
// device that cannot resume plays instead, with the same marks.
TEST_F(PlayerTest, PauseResumesAPausedDeviceOrPlaysIt) {
    openDevice(dtWaveAudio);
    player->pause();
    EXPECT_TRUE(device.commands().empty());
    device.mode = MCI_MODE_PAUSE;
    player->setNotify(false);
    player->pause();
    EXPECT_EQ(device.last().message, MCI_RESUME);
    EXPECT_EQ(device.last().flags, 0u);
    player->play();  // the resume used the marks up
    EXPECT_EQ(device.last().flags, MCI_NOTIFY);
    device.state.canResume = false;
    device.mode = MCI_MODE_PAUSE;
    device.clearRequests();
    player->setNotify(false);
    player->setWait(true);
    player->pause();
    ASSERT_EQ(device.commands().size(), 2u);
    EXPECT_EQ(device.commands()[0].flags, MCI_WAIT);
    EXPECT_EQ(device.commands()[1].message, MCI_PLAY);
    EXPECT_EQ(device.commands()[1].flags, MCI_WAIT);
    EXPECT_EQ(player->error(), 0u);
}

// ---- Next and Previous on a disc ----------------------------------------------------------

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
    {"PreviousOnTrackOne", true, MCI_MAKE_TMSF(1, 0, 0, 10), MCI_MODE_STOP, MCI_MAKE_TMSF(1, 0, 0, 0)},
    {"PreviousPlayingPlaysFrom", true, MCI_MAKE_TMSF(3, 0, 0, 5), MCI_MODE_PLAY, MCI_MAKE_TMSF(2, 0, 0, 0)},
};

class DiscTracks : public PlayerTest, public ::testing::WithParamInterface<TrackCase> {};

TEST_P(DiscTracks, GoToTheRightTrack) {
    const TrackCase& c = GetParam();
    openDevice(dtCDAudio);
    device.state.position = c.position;
    device.mode = c.mode;
    c.previous ? player->previous() : player->next();
    ASSERT_EQ(device.commands().size(), 1u);
    const bool playing = c.mode == MCI_MODE_PLAY;
    EXPECT_EQ(device.last().message, playing ? MCI_PLAY : MCI_SEEK);
    EXPECT_EQ(device.last().flags, playing ? MCI_NOTIFY | MCI_FROM : MCI_WAIT | MCI_TO);
    EXPECT_EQ(playing ? device.last().from : device.last().to, c.target);
}

INSTANTIATE_TEST_SUITE_P(Player, DiscTracks, ::testing::ValuesIn(trackCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- What a device cannot do, the completion notice, the end -------------------------------

TEST_F(PlayerTest, EjectStepAndBackOnAnAudioDeviceSendNothing) {
    openDevice(dtSequencer);
    device.failNext(MCI_STOP, MCIERR_HARDWARE);
    player->stop();
    player->eject();
    player->step();
    player->back();
    EXPECT_EQ(device.commands().size(), 1u);
    EXPECT_EQ(player->error(), MCIERR_HARDWARE);
}

TEST_F(PlayerTest, NoticeSetsNotifyValueAndFiresOnNotify) {
    std::vector<ui::Component*> senders;
    player->onNotify = [&](ui::Component* sender) { senders.push_back(sender); };
    const std::pair<UINT, TMPNotifyValue> outcomes[] = {{MCI_NOTIFY_SUPERSEDED, nfSuperseded},
                                                        {MCI_NOTIFY_ABORTED, nfAborted},
                                                        {MCI_NOTIFY_FAILURE, nfFailure},
                                                        {0x20, nfFailure},  // unknown: unchanged
                                                        {MCI_NOTIFY_SUCCESSFUL, nfSuccessful}};
    for (const auto& [outcome, value] : outcomes) {
        loop.queue().postMessage(player->handle(), {MM_MCINOTIFY, outcome, 0});
        loop.processPosted();
        EXPECT_EQ(player->notifyValue(), value) << outcome;
    }
    EXPECT_EQ(senders, std::vector<ui::Component*>(5, player));
}

TEST_F(PlayerTest, DestructionClosesTheDevice) {
    {
        ui::Form other{app, "Other"};
        TMediaPlayer* second = other.add<TMediaPlayer>("Second", device);
        second->setDeviceType(dtCDAudio);
        second->open();
        device.clearRequests();
    }
    ASSERT_EQ(device.requests().size(), 1u);
    EXPECT_EQ(device.last().message, MCI_CLOSE);
    EXPECT_EQ(device.last().flags, MCI_WAIT);
}

}  // namespace
}  // namespace mcitest

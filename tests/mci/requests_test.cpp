#include <functional>
#include <string>

#include "tests/mci/player_fixture.h"

namespace mcitest {
namespace {

using fakes::MciRequest;

// ---- Flag defaults and one-shot marks -----------------------------------------------------

struct RequestCase {
    const char* name;
    std::function<void(fakes::ScriptedDevice&)> prepare;  // before opening a wave file
    bool playing;                                        // the device plays when asked
    std::function<void(TMediaPlayer&)> request;
    UINT message;
    DWORD flags;  // the request's own flags, besides MCI_WAIT / MCI_NOTIFY
    bool waitByDefault;
    bool notifyByDefault;
};

void video(fakes::ScriptedDevice& d) {
    d.profiles["WaveAudio"].hasVideo = true;
    d.profiles["WaveAudio"].length = 100;
}

const RequestCase requestCases[] = {
    {"Close", nullptr, false, [](TMediaPlayer& p) { p.close(); }, MCI_CLOSE, 0, true, false},
    {"Play", nullptr, false, [](TMediaPlayer& p) { p.play(); }, MCI_PLAY, 0, false, true},
    {"Record", nullptr, false, [](TMediaPlayer& p) { p.startRecording(); }, MCI_RECORD, 0, false, true},
    {"Stop", nullptr, false, [](TMediaPlayer& p) { p.stop(); }, MCI_STOP, 0, true, false},
    {"Pause", nullptr, true, [](TMediaPlayer& p) { p.pause(); }, MCI_PAUSE, 0, true, false},
    {"NextOnWave", nullptr, false, [](TMediaPlayer& p) { p.next(); }, MCI_SEEK, MCI_SEEK_TO_END, true, false},
    {"PreviousOnWave", nullptr, false, [](TMediaPlayer& p) { p.previous(); }, MCI_SEEK, MCI_SEEK_TO_START, true,
     false},
    {"Step", video, false, [](TMediaPlayer& p) { p.step(); }, MCI_STEP, MCI_DGV_STEP_FRAMES, true, false},
    {"Back", video, false, [](TMediaPlayer& p) { p.back(); }, MCI_STEP, MCI_DGV_STEP_FRAMES | MCI_DGV_STEP_REVERSE,
     true, false},
    {"Eject", [](fakes::ScriptedDevice& d) { d.profiles["WaveAudio"].canEject = true; }, false,
     [](TMediaPlayer& p) { p.eject(); }, MCI_SET, MCI_SET_DOOR_OPEN, true, false},
};

class RequestFlags : public PlayerTest, public ::testing::WithParamInterface<RequestCase> {
protected:
    void SetUp() override {
        if (GetParam().prepare) GetParam().prepare(device);
        reopen();
    }
    void reopen() {
        openDevice(dtWaveAudio, "/sounds/a.wav");
        device.state.position = 1;  // away from the end: no rewind
        if (GetParam().playing) device.mode = MCI_MODE_PLAY;
    }
    const MciRequest& sent() {
        const auto all = device.requests(GetParam().message);
        EXPECT_FALSE(all.empty());
        last_ = all.back();
        return last_;
    }
    DWORD expected(bool wait, bool notify) const {
        return GetParam().flags | (wait ? MCI_WAIT : 0) | (notify ? MCI_NOTIFY : 0);
    }
    MciRequest last_;
};

TEST_P(RequestFlags, DefaultsAndOwnCallbackWindow) {
    const RequestCase& c = GetParam();
    c.request(*player);
    EXPECT_EQ(sent().flags, expected(c.waitByDefault, c.notifyByDefault)) << last_;
    EXPECT_EQ(last_.callback, window());
    EXPECT_EQ(player->error(), 0u);
}

TEST_P(RequestFlags, WrittenMarksGovernOnlyTheNextRequest) {
    const RequestCase& c = GetParam();
    player->setNotify(!c.notifyByDefault);
    player->setWait(!c.waitByDefault);
    c.request(*player);
    EXPECT_EQ(sent().flags, expected(!c.waitByDefault, !c.notifyByDefault)) << last_;
    reopen();
    c.request(*player);
    EXPECT_EQ(sent().flags, expected(c.waitByDefault, c.notifyByDefault)) << last_;
}

TEST_P(RequestFlags, FailureIsRecordedNotRaised) {
    const RequestCase& c = GetParam();
    device.failNext(c.message, MCIERR_HARDWARE);
    EXPECT_NO_THROW(c.request(*player));
    EXPECT_EQ(player->error(), MCIERR_HARDWARE);
}

INSTANTIATE_TEST_SUITE_P(Requests, RequestFlags, ::testing::ValuesIn(requestCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Open ---------------------------------------------------------------------------------

TEST_F(PlayerTest, OpenSendsTypeElementAndShareableAndReadsTheDevice) {
    player->setDeviceType(dtWaveAudio);
    player->setFileName("C:\\alarm.wav");
    player->setShareable(true);
    player->open();
    const MciRequest open = device.requests().front();
    EXPECT_EQ(open.message, MCI_OPEN);
    EXPECT_EQ(open.device, 0u);
    EXPECT_EQ(open.flags, MCI_WAIT | MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_OPEN_SHAREABLE);
    EXPECT_EQ(open.deviceType, "WaveAudio");
    EXPECT_EQ(open.elementName, "C:\\alarm.wav");
    EXPECT_EQ(open.callback, window());
    EXPECT_TRUE(player->isOpen());
    EXPECT_EQ(player->deviceID(), device.openId());
    EXPECT_EQ(player->frames(), 250);  // 2500 ms / 10
    EXPECT_TRUE(player->canPlay());
    EXPECT_EQ(player->capabilities(), (TMPCapabilities{cpCanPlay, cpCanRecord}));
    EXPECT_EQ(device.count(MCI_SET), 0u);  // a wave file keeps its own time format
    EXPECT_TRUE(device.last().isStatus(MCI_STATUS_MODE));
}

TEST_F(PlayerTest, OpenWithoutTypeOrFileNamesNeither) {
    player->open();
    const MciRequest open = device.requests().front();
    EXPECT_EQ(open.flags, MCI_WAIT);
    EXPECT_EQ(open.deviceType, std::nullopt);
    EXPECT_EQ(open.elementName, std::nullopt);
}

TEST_F(PlayerTest, OpeningACdSwitchesToTracksWithoutANotice) {
    openDevice(dtCDAudio);
    EXPECT_EQ(player->timeFormat(), fmtTMSF);
    player->close();
    device.clearRequests();
    player->open();
    const auto sets = device.requests(MCI_SET);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].flags, MCI_SET_TIME_FORMAT | MCI_NOTIFY);
    EXPECT_EQ(sets[0].timeFormat, MCI_FORMAT_TMSF);
    EXPECT_EQ(sets[0].callback, 0u);
    loop.processPosted();
    EXPECT_TRUE(device.notices().empty());
    EXPECT_EQ(player->capabilities(), (TMPCapabilities{cpCanPlay, cpCanEject}));
}

TEST_F(PlayerTest, OpenOfALesserDeviceForgetsWhatTheEarlierCouldDo) {
    device.profiles["DigitalVideo"] = fakes::DeviceProfile::waveAudio();
    device.profiles["DigitalVideo"].deviceType = MCI_DEVTYPE_DIGITAL_VIDEO;
    device.profiles["DigitalVideo"].hasVideo = true;
    device.profiles["DigitalVideo"].sourceRect = {0, 0, 320, 240};
    openDevice(dtDigitalVideo);
    EXPECT_TRUE(player->canStep());
    EXPECT_EQ(player->displayWidth(), 320);
    EXPECT_TRUE(player->autoButtons().contains(btStep));

    player->setDeviceType(dtSequencer);
    player->open();
    EXPECT_EQ(device.requests().front().message, MCI_CLOSE);  // the old device goes first
    EXPECT_FALSE(player->canStep());
    EXPECT_EQ(player->capabilities(), TMPCapabilities{cpCanPlay});
    EXPECT_EQ(player->autoButtons(), (TButtonSet{btPlay, btNext, btPrev}));
}

std::string raised(const std::function<void()>& call) {
    try {
        call();
    } catch (const EMCIDeviceError& e) {
        return e.what();
    }
    return "(nothing raised)";
}

TEST_F(PlayerTest, FailedOpenRaisesTheDeviceTextAndLeavesItClosed) {
    openDevice(dtSequencer);
    device.failNext(MCI_OPEN, MCIERR_FILE_NOT_FOUND);
    player->setDeviceType(dtWaveAudio);
    EXPECT_EQ(raised([&] { player->open(); }), "The file cannot be found");
    EXPECT_EQ(device.requests().front().message, MCI_CLOSE);  // the old device is gone
    EXPECT_FALSE(player->isOpen());
    EXPECT_EQ(player->deviceID(), 0u);
    EXPECT_EQ(player->error(), MCIERR_FILE_NOT_FOUND);
    EXPECT_TRUE(player->autoButtons().empty());

    device.failNext(MCI_OPEN, 999);
    EXPECT_EQ(raised([&] { player->open(); }), "Unknown error code");
}

TEST_F(PlayerTest, ErrorMessageFitsTheBuffer) {
    device.errorTexts[MCIERR_HARDWARE] = std::string(5000, 'x');
    openDevice(dtWaveAudio);
    device.failNext(MCI_STOP, MCIERR_HARDWARE);
    player->stop();
    EXPECT_EQ(player->errorMessage(), std::string(4095, 'x'));
}

// ---- Requests that need a device ------------------------------------------------------------

struct Named {
    const char* name;
    std::function<void(TMediaPlayer&)> call;
};

const Named needDevice[] = {
    {"Play", [](TMediaPlayer& p) { p.play(); }},       {"Record", [](TMediaPlayer& p) { p.startRecording(); }},
    {"Stop", [](TMediaPlayer& p) { p.stop(); }},       {"Pause", [](TMediaPlayer& p) { p.pause(); }},
    {"Next", [](TMediaPlayer& p) { p.next(); }},       {"Previous", [](TMediaPlayer& p) { p.previous(); }},
    {"Step", [](TMediaPlayer& p) { p.step(); }},       {"Back", [](TMediaPlayer& p) { p.back(); }},
    {"Eject", [](TMediaPlayer& p) { p.eject(); }},     {"Rewind", [](TMediaPlayer& p) { p.rewind(); }},
    {"Length", [](TMediaPlayer& p) { p.length(); }},   {"Tracks", [](TMediaPlayer& p) { p.tracks(); }},
    {"TimeFormat", [](TMediaPlayer& p) { p.timeFormat(); }},
};

class WithoutDevice : public PlayerTest, public ::testing::WithParamInterface<Named> {};

TEST_P(WithoutDevice, RaisesAndSendsNothing) {
    EXPECT_EQ(raised([&] { GetParam().call(*player); }), "No MCI device open");
    EXPECT_TRUE(device.requests().empty());
}

INSTANTIATE_TEST_SUITE_P(Requests, WithoutDevice, ::testing::ValuesIn(needDevice),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlayerTest, WithoutDeviceCloseIsQuietAndStatusAnswersNothingUseful) {
    EXPECT_NO_THROW(player->close());
    EXPECT_TRUE(device.requests().empty());
    device.state.position = MCI_MAKE_TMSF(3, 1, 2, 3);  // not reachable without an open device
    EXPECT_EQ(player->mode(), mdNotReady);
    EXPECT_EQ(player->position(), 0);
    player->setTimeFormat(fmtTMSF);  // no open check: it goes out and fails
    EXPECT_EQ(device.last().message, MCI_SET);
    EXPECT_EQ(player->error(), MCIERR_INVALID_DEVICE_ID);
}

TEST_F(PlayerTest, FailedStatusQueriesAnswerNotReadyAndZero) {
    openDevice(dtCDAudio);
    device.state.position = MCI_MAKE_TMSF(3, 0, 0, 0);
    device.failStatus(MCI_STATUS_MODE, MCIERR_DEVICE_NOT_READY);
    device.failStatus(MCI_STATUS_POSITION, MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(player->mode(), mdNotReady);
    EXPECT_EQ(player->position(), 0);
    EXPECT_EQ(player->error(), MCIERR_DEVICE_NOT_READY);
    device.clearFailures();
    device.mode = MCI_MODE_PAUSE;
    EXPECT_EQ(player->mode(), mdPaused);
}

// ---- Play, Pause ---------------------------------------------------------------------------------

TEST_F(PlayerTest, PlayAtTheEndRewindsFirstUnlessFromOrToIsGiven) {
    openDevice(dtWaveAudio);
    device.state.position = device.state.length;
    player->play();
    ASSERT_EQ(commands().size(), 2u);
    EXPECT_EQ(commands()[0].message, MCI_SEEK);
    EXPECT_EQ(commands()[0].flags, MCI_SEEK_TO_START | MCI_WAIT);
    EXPECT_EQ(commands()[0].callback, 0u);
    EXPECT_EQ(commands()[1].message, MCI_PLAY);

    player->stop();
    device.state.position = device.state.length;
    device.clearRequests();
    player->setFrom(100);
    player->setTo(2000);
    player->play();
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0].flags, MCI_NOTIFY | MCI_FROM | MCI_TO);
    EXPECT_EQ(commands()[0].from, 100u);
    EXPECT_EQ(commands()[0].to, 2000u);
    player->play();  // From and To were used up
    EXPECT_EQ(device.last().flags, MCI_NOTIFY);
}

TEST_F(PlayerTest, PauseWhileStoppedSendsNothing) {
    openDevice(dtWaveAudio);
    player->pause();
    EXPECT_TRUE(commands().empty());
}

TEST_F(PlayerTest, PauseWhilePausedResumesWithANotice) {
    openDevice(dtWaveAudio);
    device.mode = MCI_MODE_PAUSE;
    player->setNotify(false);
    player->pause();
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0].message, MCI_RESUME);
    EXPECT_EQ(commands()[0].flags, 0u);
    player->play();  // the resume used the marks up
    EXPECT_EQ(device.last().flags, MCI_NOTIFY);
}

TEST_F(PlayerTest, ResumeRefusedFallsBackToPlayWhichUsesTheMarks) {
    openDevice(dtCDAudio);  // a CD drive has no resume
    device.mode = MCI_MODE_PAUSE;
    player->setNotify(false);
    player->setWait(true);
    player->pause();
    ASSERT_EQ(commands().size(), 2u);
    EXPECT_EQ(commands()[0].message, MCI_RESUME);
    EXPECT_EQ(commands()[0].flags, MCI_WAIT);
    EXPECT_EQ(commands()[1].message, MCI_PLAY);
    EXPECT_EQ(commands()[1].flags, MCI_WAIT);
    EXPECT_EQ(player->error(), 0u);
}

// ---- Next and Previous on a CD -------------------------------------------------------------

struct TrackCase {
    const char* name;
    bool previous;
    DWORD position;
    DWORD mode;
    DWORD target;
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

class CdTracks : public PlayerTest, public ::testing::WithParamInterface<TrackCase> {};

TEST_P(CdTracks, GoesToTheRightTrack) {
    const TrackCase& c = GetParam();
    openDevice(dtCDAudio);
    device.state.position = c.position;
    device.mode = c.mode;
    c.previous ? player->previous() : player->next();
    const auto sent = commands();
    ASSERT_EQ(sent.size(), 1u);
    const MciRequest& r = sent[0];
    if (c.mode == MCI_MODE_PLAY) {
        EXPECT_EQ(r.message, MCI_PLAY);
        EXPECT_EQ(r.flags, MCI_NOTIFY | MCI_FROM);
        EXPECT_EQ(r.from, c.target);
        EXPECT_EQ(player->pressedButton(), btPlay);
    } else {
        EXPECT_EQ(r.message, MCI_SEEK);
        EXPECT_EQ(r.flags, MCI_WAIT | MCI_TO);
        EXPECT_EQ(r.to, c.target);
    }
}

INSTANTIATE_TEST_SUITE_P(Requests, CdTracks, ::testing::ValuesIn(trackCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Requests a device cannot serve ---------------------------------------------------------------

TEST_F(PlayerTest, EjectStepAndBackOnAnAudioDeviceSendNothing) {
    openDevice(dtSequencer);
    device.failNext(MCI_STOP, MCIERR_HARDWARE);
    player->stop();
    player->eject();
    player->step();
    player->back();
    EXPECT_EQ(commands().size(), 1u);
    EXPECT_EQ(player->error(), MCIERR_HARDWARE);
}

// ---- Completion notice -----------------------------------------------------------------------------

struct NoticeCase {
    UINT outcome;
    TMPNotifyValue expected;
};

class Notices : public PlayerTest, public ::testing::WithParamInterface<NoticeCase> {};

TEST_P(Notices, SetNotifyValueAndFireOnNotify) {
    int fired = 0;
    player->onNotify = [&](ui::Component* sender) {
        EXPECT_EQ(sender, player);
        ++fired;
    };
    openDevice(dtWaveAudio);
    loop.queue().postMessage(player->handle(), {MM_MCINOTIFY, GetParam().outcome, 0});
    loop.processPosted();
    EXPECT_EQ(player->notifyValue(), GetParam().expected);
    loop.queue().postMessage(player->handle(), {MM_MCINOTIFY, 0x20, 0});
    loop.processPosted();  // an unknown outcome leaves NotifyValue as it was
    EXPECT_EQ(player->notifyValue(), GetParam().expected);
    EXPECT_EQ(fired, 2);
}

INSTANTIATE_TEST_SUITE_P(Outcomes, Notices,
                         ::testing::Values(NoticeCase{MCI_NOTIFY_SUCCESSFUL, nfSuccessful},
                                           NoticeCase{MCI_NOTIFY_SUPERSEDED, nfSuperseded},
                                           NoticeCase{MCI_NOTIFY_ABORTED, nfAborted},
                                           NoticeCase{MCI_NOTIFY_FAILURE, nfFailure}));

TEST_F(PlayerTest, DestructionClosesTheDevice) {
    openDevice(dtWaveAudio);
    const auto id = player->deviceID();
    {
        ui::Form other{app, "Other"};
        auto* second = other.add<TMediaPlayer>("Second", device);
        second->setDeviceType(dtSequencer);
        second->open();
        device.clearRequests();
    }
    ASSERT_EQ(device.requests().size(), 1u);
    EXPECT_EQ(device.last().message, MCI_CLOSE);
    EXPECT_EQ(device.last().flags, MCI_WAIT);
    EXPECT_NE(device.last().device, id);
}

}  // namespace
}  // namespace mcitest

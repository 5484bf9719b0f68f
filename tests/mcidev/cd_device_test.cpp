// The CD audio device over a disc image and over a scripted disc: tracks, the three
// time formats, playing a track, the door, sharing, and a drive without a disc.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <thread>

#include "platform/mcidev/cd/cd_time.h"
#include "platform/mcidev/device_manager.h"
#include "tests/mcidev/media_fixture.h"
#include "tests/support/cd_image_writer.h"

namespace {

using namespace mci;
using namespace mcitest;
using namespace std::chrono_literals;
namespace cd = mcidev::cd;

// Three audio tracks: 40, 30 and 20 sectors (0.53 s, 0.4 s, 0.27 s).
cdtest::DiscPlan threeTracks() {
    cdtest::DiscPlan plan;
    plan.tracks = {cdtest::TrackPlan{.sectors = 40}, cdtest::TrackPlan{.sectors = 30},
                   cdtest::TrackPlan{.sectors = 20, .kind = cdtest::SampleKind::Tone}};
    return plan;
}

mcidev::DeviceOptions imageOptions(const std::string& cue) {
    mcidev::DeviceOptions o;
    o.cdImage = cue;
    return o;
}

class CdImageTest : public ::testing::Test {
protected:

    MCIDEVICEID openCd(DWORD flags = 0) {
        MCIDEVICEID id = 0;
        EXPECT_EQ(cmd->open("CDAudio", "", id, flags), 0u);
        return id;
    }

    ui::MessageQueue queue;
    TempFolder folder;
    cdtest::WrittenImage image = cdtest::writeImage(folder.path(), threeTracks());
    std::unique_ptr<DeviceInterface> devices =
        mcidev::createDeviceManager(queue, imageOptions(image.cue.string()));
    std::unique_ptr<Commands> cmd = std::make_unique<Commands>(*devices);
    NoticeWindow window{queue};
};

TEST_F(CdImageTest, TracksLengthsAndPositionsInEachTimeFormat) {
    const MCIDEVICEID id = openCd();
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_TIME_FORMAT), MCI_FORMAT_MSF);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_NUMBER_OF_TRACKS), 3u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH), MCI_MAKE_MSF(0, 1, 15));
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH, MCI_TRACK, 2), MCI_MAKE_MSF(0, 0, 30));
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), MCI_MAKE_MSF(0, 2, 0)) << "disc time of sector 0";
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION, MCI_TRACK, 3), MCI_MAKE_MSF(0, 2, 70));
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_CURRENT_TRACK), 1u);
    ASSERT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_TMSF, MCI_NOTIFY), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), MCI_MAKE_TMSF(1, 0, 0, 0));
    for (DWORD track = 1; track <= 3; ++track)
        EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION, MCI_TRACK, track), MCI_MAKE_TMSF(track, 0, 0, 0));
    DWORD_PTR value = 77;
    EXPECT_EQ(cmd->status(id, MCI_STATUS_POSITION, value, MCI_TRACK, 4), MCIERR_OUTOFRANGE);
    EXPECT_EQ(value, 77u);
    // A length has no track: it comes in minutes, seconds and frames.
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH, MCI_TRACK, 1), MCI_MAKE_MSF(0, 0, 40));
    // The transport control asks for frames after every button; a CD keeps its format.
    EXPECT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_FRAMES), MCIERR_BAD_TIME_FORMAT);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_TIME_FORMAT), MCI_FORMAT_TMSF);
    ASSERT_EQ(cmd->seek(id, MCI_TO, MCI_MAKE_TMSF(2, 0, 0, 10)), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), MCI_MAKE_TMSF(2, 0, 0, 10));
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_CURRENT_TRACK), 2u);
    EXPECT_EQ(cmd->seek(id, MCI_TO, MCI_MAKE_TMSF(2, 0, 1, 0)), MCIERR_OUTOFRANGE) << "beyond the track";
    ASSERT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_MILLISECONDS), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), cd::sectorsToMs(150 + 50));
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH), 1200u);
    ASSERT_EQ(cmd->seek(id, MCI_SEEK_TO_END), 0u);
    ASSERT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_TMSF), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), MCI_MAKE_TMSF(3, 0, 0, 20)) << "the end of the last track";
}

TEST_F(CdImageTest, PlayTrackTwo) {
    const MCIDEVICEID id = openCd();
    ASSERT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_TMSF), 0u);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cmd->play(id, window.handle(), MCI_NOTIFY | MCI_FROM | MCI_TO, MCI_MAKE_TMSF(2, 0, 0, 0),
                        MCI_MAKE_TMSF(3, 0, 0, 0)),
              0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_PLAY);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_CURRENT_TRACK), 2u);
    ASSERT_TRUE(drainUntil(queue, [&] { return !window.received.empty(); }));
    EXPECT_GE(window.received[0].at - start, 380ms);
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), MCI_MAKE_TMSF(3, 0, 0, 0));
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
}

TEST_F(CdImageTest, EjectStopsThePlayAndLeavesTheDeviceNotReady) {
    const MCIDEVICEID id = openCd();
    const std::pair<DWORD, DWORD> caps[] = {{MCI_GETDEVCAPS_CAN_EJECT, 1}, {MCI_GETDEVCAPS_USES_FILES, 0},
                                            {MCI_GETDEVCAPS_DEVICE_TYPE, MCI_DEVTYPE_CD_AUDIO}};
    for (const auto& [item, expected] : caps) {
        DWORD value = 77;
        ASSERT_EQ(cmd->caps(id, item, value), 0u);
        EXPECT_EQ(value, expected) << item;
    }
    ASSERT_EQ(cmd->play(id, window.handle()), 0u);
    MCI_SET_PARMS door{};
    ASSERT_EQ(devices->sendCommand(id, MCI_SET, MCI_SET_DOOR_OPEN | MCI_WAIT, &door), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_OPEN);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MEDIA_PRESENT), 0u);
    DWORD_PTR value = 1234;
    EXPECT_EQ(cmd->status(id, MCI_STATUS_POSITION, value), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(cmd->status(id, MCI_STATUS_NUMBER_OF_TRACKS, value), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(value, 1234u);
    EXPECT_EQ(cmd->play(id, 0, 0), MCIERR_DEVICE_NOT_READY);
    ASSERT_TRUE(drainUntil(queue, [&] { return !window.received.empty(); }));
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_ABORTED});
    // Closing the door puts the same disc back.
    ASSERT_EQ(devices->sendCommand(id, MCI_SET, MCI_SET_DOOR_CLOSED | MCI_WAIT, &door), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_NUMBER_OF_TRACKS), 3u);
}

TEST_F(CdImageTest, SharingTheDrive) {
    const MCIDEVICEID exclusive = openCd();
    MCIDEVICEID other = 0;
    EXPECT_EQ(cmd->open("CDAudio", "", other, MCI_OPEN_SHAREABLE), MCIERR_MUST_USE_SHAREABLE);
    EXPECT_EQ(cmd->open("CDAudio", "", other), MCIERR_MUST_USE_SHAREABLE);
    ASSERT_EQ(cmd->close(exclusive), 0u);

    const MCIDEVICEID a = openCd(MCI_OPEN_SHAREABLE);
    const MCIDEVICEID b = openCd(MCI_OPEN_SHAREABLE);
    ASSERT_NE(a, b);
    EXPECT_EQ(cmd->open("CDAudio", "", other), MCIERR_MUST_USE_SHAREABLE);
    // One drive: what one opening does, the other sees; time formats stay their own.
    ASSERT_EQ(cmd->setTimeFormat(b, MCI_FORMAT_TMSF), 0u);
    ASSERT_EQ(cmd->play(a, window.handle(), MCI_NOTIFY | MCI_FROM, MCI_MAKE_MSF(0, 2, 40)), 0u);
    EXPECT_EQ(cmd->statusOr(b, MCI_STATUS_MODE), MCI_MODE_PLAY);
    EXPECT_EQ(cmd->statusOr(a, MCI_STATUS_TIME_FORMAT), MCI_FORMAT_MSF);
    EXPECT_EQ(cmd->statusOr(b, MCI_STATUS_CURRENT_TRACK), 2u);
    // Closing one opening aborts its notice; the drive goes on for the other.
    ASSERT_EQ(cmd->close(a), 0u);
    EXPECT_EQ(cmd->statusOr(b, MCI_STATUS_MODE), MCI_MODE_PLAY);
    ASSERT_EQ(cmd->simple(b, MCI_STOP), 0u);
    drainFor(queue, 30ms);
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_ABORTED});
}

TEST(CdImageErrors, DamagedImageIsRefused) {
    TempFolder folder;
    writeFile(folder / "bad.cue", {'T', 'R', 'A', 'C', 'K', ' ', 'x'});
    ui::MessageQueue queue;
    auto devices = mcidev::createDeviceManager(queue, imageOptions((folder / "bad.cue").string()));
    MCIDEVICEID id = 0;
    EXPECT_EQ(Commands(*devices).open("cdaudio", "", id), MCIERR_INVALID_FILE);
}

// ---- a scripted disc -------------------------------------------------------------

class ScriptedDisc final : public cd::Disc {
public:
    cd::DiscState state() const override {
        std::lock_guard lock(mutex);
        return current;
    }
    std::string stateText() const override { return {}; }
    std::string name() const override { return "scripted"; }
    cd::Toc toc() const override {
        std::lock_guard lock(mutex);
        return current == cd::DiscState::Ready ? table : cd::Toc{};
    }
    bool refresh() override {
        std::lock_guard lock(mutex);
        const bool changed = next != current;
        current = next;
        return changed;
    }
    bool readAudio(std::int32_t, int sectors, std::uint8_t* buffer) override {
        std::this_thread::sleep_for(readDelay);
        std::memset(buffer, 0, static_cast<std::size_t>(sectors) * cd::kBytesPerSector);
        return state() == cd::DiscState::Ready;
    }
    bool canEject() const override { return true; }
    bool eject() override {
        std::lock_guard lock(mutex);
        current = next = cd::DiscState::NoDisc;
        return true;
    }

    mutable std::mutex mutex;
    cd::DiscState current = cd::DiscState::NoDisc;
    cd::DiscState next = cd::DiscState::NoDisc;  // what the next refresh finds
    cd::Toc table{{{1, 0, 750, true}, {2, 750, 750, true}}, 1500};
    std::chrono::milliseconds readDelay{0};
};

class CdScriptedTest : public ::testing::Test {
protected:
    ui::MessageQueue queue;
    std::shared_ptr<ScriptedDisc> disc = std::make_shared<ScriptedDisc>();
    std::unique_ptr<DeviceInterface> devices = [this] {
        mcidev::DeviceOptions o;
        o.discFactory = [this] { return disc; };
        return mcidev::createDeviceManager(queue, o);
    }();
    std::unique_ptr<Commands> cmd = std::make_unique<Commands>(*devices);
};

TEST_F(CdScriptedTest, NoDriveFailsTheOpenWithAClearText) {
    disc->current = disc->next = cd::DiscState::NoDrive;
    MCIDEVICEID id = 0;
    const MCIERROR result = cmd->open("CDAudio", "", id);
    EXPECT_EQ(result, MCIERR_DEVICE_NOT_INSTALLED);
    char text[256];
    ASSERT_TRUE(devices->errorString(result, text, sizeof text));
    EXPECT_STREQ(text, "No CD drive was found on this computer");
}

// What the clock tick relies on: no disc reads as "not ready" and a failed position
// that leaves its record alone.
TEST_F(CdScriptedTest, DriveWithoutDiscOpensButIsNotReady) {
    MCIDEVICEID id = 0;
    ASSERT_EQ(cmd->open("CDAudio", "", id, MCI_OPEN_SHAREABLE), 0u);
    ASSERT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_TMSF), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_NOT_READY);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_READY), 0u);
    DWORD_PTR value = 0;
    EXPECT_EQ(cmd->status(id, MCI_STATUS_POSITION, value), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(value, 0u) << "track byte 0: no disc";
    value = 99;
    EXPECT_EQ(cmd->status(id, MCI_STATUS_LENGTH, value), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(value, 99u);
    EXPECT_EQ(cmd->play(id, 0, 0), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(cmd->seek(id, MCI_SEEK_TO_START | MCI_WAIT), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(cmd->simple(id, MCI_STOP), 0u);

    // A disc goes in: the next request sees it.
    disc->next = cd::DiscState::Ready;
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_NUMBER_OF_TRACKS), 2u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), MCI_MAKE_TMSF(1, 0, 0, 0));
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH), MCI_MAKE_MSF(0, 20, 0));
}

TEST_F(CdScriptedTest, DiscTakenOutWhilePlayingEndsThePlay) {
    disc->current = disc->next = cd::DiscState::Ready;
    MCIDEVICEID id = 0;
    ASSERT_EQ(cmd->open("CDAudio", "", id), 0u);
    NoticeWindow window(queue);
    ASSERT_EQ(cmd->play(id, window.handle()), 0u);
    disc->next = cd::DiscState::NoDisc;
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_NOT_READY);
    ASSERT_TRUE(drainUntil(queue, [&] { return !window.received.empty(); }));
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_ABORTED});
}

// A drive that takes its time over every read still plays to the end in time, and the
// position counts only what was played.
TEST_F(CdScriptedTest, SlowDriveStillPlaysItsTrack) {
    disc->current = disc->next = cd::DiscState::Ready;
    disc->table = cd::Toc{{{1, 0, 30, true}, {2, 30, 45, true}}, 75};
    disc->readDelay = 40ms;  // for 25 sectors, a third of a second of sound
    MCIDEVICEID id = 0;
    ASSERT_EQ(cmd->open("CDAudio", "", id), 0u);
    ASSERT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_TMSF), 0u);
    NoticeWindow window(queue);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cmd->play(id, window.handle()), 0u);
    ASSERT_TRUE(drainUntil(queue, [&] { return !window.received.empty(); }));
    EXPECT_GE(window.received[0].at - start, 980ms);
    EXPECT_EQ(window.outcomes(), std::vector<UINT>{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), MCI_MAKE_TMSF(2, 0, 0, 45));
}

}  // namespace

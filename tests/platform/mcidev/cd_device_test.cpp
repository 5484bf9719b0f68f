// The CD audio device over a disc whose state the test decides: track times, playing a
// track, sharing the drive, and a drive without a disc.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <mutex>

#include "platform/mcidev/cd/cd_time.h"
#include "tests/platform/mcidev/media_fixture.h"

namespace {

using namespace mci;
using namespace mcitest;
using namespace std::chrono_literals;
using Outcomes = std::vector<UINT>;
namespace cd = mcidev::cd;

// Three audio tracks of 40, 30 and 20 sectors (0.53 s, 0.4 s, 0.27 s) of silence.
class ScriptedDisc final : public cd::Disc {
public:
    cd::DiscState state() const override {
        std::lock_guard lock(mutex);
        return current;
    }
    std::string name() const override { return "scripted"; }
    cd::Toc toc() const override { return state() == cd::DiscState::Ready ? table : cd::Toc{}; }
    bool refresh() override {
        std::lock_guard lock(mutex);
        return std::exchange(current, next) != next;
    }
    bool readAudio(std::int32_t, int sectors, std::uint8_t* buffer) override {
        std::memset(buffer, 0, static_cast<std::size_t>(sectors) * cd::kBytesPerSector);
        return state() == cd::DiscState::Ready && readable;
    }
    bool canEject() const override { return true; }
    bool eject() override { return false; }

    mutable std::mutex mutex;
    cd::DiscState current = cd::DiscState::Ready;
    cd::DiscState next = cd::DiscState::Ready;  // what the next refresh finds
    std::atomic<bool> readable = true;
    const cd::Toc table{{{1, 0, 40, true}, {2, 40, 30, true}, {3, 70, 20, true}}, 90};
};

class CdTest : public testing::Test, protected DeviceRig {
protected:
    CdTest() {
        mcidev::DeviceOptions options;
        options.discFactory = [this] { return disc; };
        start(options);
    }
    MCIDEVICEID openCd(DWORD flags = 0) {
        MCIDEVICEID id = 0;
        EXPECT_EQ(cmd->open("CDAudio", "", id, flags), 0u);
        EXPECT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_TMSF), 0u);
        return id;
    }
    std::shared_ptr<ScriptedDisc> disc = std::make_shared<ScriptedDisc>();
};

// Positions are track times; lengths are durations.
TEST_F(CdTest, TrackTimes) {
    const MCIDEVICEID id = openCd();
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_NUMBER_OF_TRACKS), 3u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH), MCI_MAKE_MSF(0, 1, 15));
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION, MCI_TRACK, 3), MCI_MAKE_TMSF(3, 0, 0, 0));
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_LENGTH, MCI_TRACK, 2), MCI_MAKE_MSF(0, 0, 30));
    ASSERT_EQ(cmd->seek(id, MCI_TO, MCI_MAKE_TMSF(2, 0, 0, 10)), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), MCI_MAKE_TMSF(2, 0, 0, 10));
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_CURRENT_TRACK), 2u);
    // The transport control asks for frames after every button; a CD keeps its format.
    EXPECT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_FRAMES), MCIERR_BAD_TIME_FORMAT);
    ASSERT_EQ(cmd->seek(id, MCI_SEEK_TO_END), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), MCI_MAKE_TMSF(3, 0, 0, 20)) << "the end of the last track";
    // Milliseconds count the disc's two-second lead-in, as minutes/seconds/frames do:
    // track 2, frame 5 is sector 150 + 45, 2.6 s.
    ASSERT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_MILLISECONDS), 0u);
    ASSERT_EQ(cmd->seek(id, MCI_TO, 2600), 0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_CURRENT_TRACK), 2u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), 2600u);
}

TEST_F(CdTest, PlayTrackTwo) {
    const MCIDEVICEID id = openCd();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(cmd->play(id, window.handle(), MCI_NOTIFY | MCI_FROM | MCI_TO, MCI_MAKE_TMSF(2, 0, 0, 0),
                        MCI_MAKE_TMSF(3, 0, 0, 0)),
              0u);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_CURRENT_TRACK), 2u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_GE(window.received[0].at - start, 380ms);
    EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_SUCCESSFUL});
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), MCI_MAKE_TMSF(3, 0, 0, 0));
}

TEST_F(CdTest, TheDriveIsSharedOnlyWhenBothOpeningsAskForIt) {
    const MCIDEVICEID exclusive = openCd();
    MCIDEVICEID other = 0;
    EXPECT_EQ(cmd->open("CDAudio", "", other, MCI_OPEN_SHAREABLE), MCIERR_MUST_USE_SHAREABLE);
    ASSERT_EQ(cmd->close(exclusive), 0u);
    const MCIDEVICEID shared = openCd(MCI_OPEN_SHAREABLE);
    EXPECT_NE(openCd(MCI_OPEN_SHAREABLE), shared);
    EXPECT_EQ(cmd->open("CDAudio", "", other), MCIERR_MUST_USE_SHAREABLE);
}

// What the clock tick relies on: no disc reads as "not ready", and a failed position
// leaves its record alone (track byte 0: no disc).
TEST_F(CdTest, ADriveWithoutADiscOpensButIsNotReady) {
    disc->current = disc->next = cd::DiscState::NoDrive;
    MCIDEVICEID id = 0;
    EXPECT_EQ(cmd->open("CDAudio", "", id), MCIERR_DEVICE_NOT_INSTALLED);
    disc->current = disc->next = cd::DiscState::NoDisc;
    id = openCd();
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_NOT_READY);
    DWORD_PTR value = 0;
    EXPECT_EQ(cmd->status(id, MCI_STATUS_POSITION, value), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(cmd->play(id, 0, 0), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(cmd->seek(id, MCI_SEEK_TO_START | MCI_WAIT), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(cmd->simple(id, MCI_STOP), 0u);
    // A disc goes in: the next request sees it.
    disc->next = cd::DiscState::Ready;
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(cmd->statusOr(id, MCI_STATUS_POSITION), MCI_MAKE_TMSF(1, 0, 0, 0));
}

// A disc whose sectors cannot be read fails the play: in its notice, or in the answer
// to a play that was waited for.
TEST_F(CdTest, AnUnreadableDiscFailsThePlay) {
    disc->readable = false;
    const MCIDEVICEID id = openCd();
    ASSERT_EQ(cmd->play(id, window.handle()), 0u);
    ASSERT_TRUE(waitForNotices(1));
    EXPECT_EQ(window.outcomes(), Outcomes{MCI_NOTIFY_FAILURE});
    EXPECT_EQ(cmd->play(id, 0, MCI_WAIT | MCI_FROM, MCI_MAKE_TMSF(1, 0, 0, 0)), MCIERR_HARDWARE);
}

// A damaged image is refused with what is wrong with it, not a bare "invalid file".
TEST(CdImage, ADamagedImageIsRefusedWithItsReason) {
    TempFolder folder;
    std::ofstream(folder / "broken.cue") << "FILE \"broken.bin\" BINARY\n  TRACK 01 AUDIO\n";
    mcidev::DeviceOptions options;
    options.cdImage = (folder / "broken.cue").string();
    DeviceRig rig(options);
    MCIDEVICEID id = 0;
    ASSERT_EQ(rig.cmd->open("CDAudio", "", id), mcidev::MCIERR_DISC_IMAGE_UNUSABLE);
    char text[512];
    ASSERT_TRUE(rig.devices->errorString(mcidev::MCIERR_DISC_IMAGE_UNUSABLE, text, sizeof text));
    const std::string reason = text;
    EXPECT_NE(reason.find("'broken.cue'"), std::string::npos) << reason;
    EXPECT_NE(reason.find("line 2: track 01 has no INDEX 01"), std::string::npos) << reason;
    EXPECT_NE(reason.back(), '.') << reason;
}

}  // namespace

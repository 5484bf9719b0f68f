// The scripted device against the real ones: the same requests run on a real device (a
// wave file, a MIDI file, a CD image) and on the scripted device set up as that kind, and
// the answers the transport control relies on must agree: result codes, returned values
// and completion notices.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/mcidev/device_manager.h"
#include "tests/fakes/scripted_device.h"
#include "tests/platform/mcidev/media_fixture.h"
#include "tests/platform/mcidev/midi/smf_writer.h"
#include "tests/support/cd_image_writer.h"

namespace {

using namespace mci;
namespace fs = std::filesystem;
using Generic = MCI_GENERIC_PARMS;

struct Kind {
    const char* name;
    const char* type;
    DWORD format;   // the one the program reads positions in
    DWORD middle;   // a position inside the medium
    DWORD nearEnd;  // a little before the end
    fakes::DeviceProfile profile;
    // Writes the medium: returns the element to open, or names the disc image in options.
    std::function<std::string(const fs::path& folder, mcidev::DeviceOptions& options)> write;
    friend std::ostream& operator<<(std::ostream& out, const Kind& k) { return out << k.name; }
};

// Two seconds of sound; the disc has tracks of 2 and 3 seconds.
const Kind kinds[] = {
    {"Wave", "WaveAudio", MCI_FORMAT_MILLISECONDS, 500, 1900, fakes::DeviceProfile::waveAudio(2000),
     [](const fs::path& folder, mcidev::DeviceOptions&) {
         return mcitest::writeWave(folder / "two.wav", {.frames = 88200}).string();
     }},
    {"Sequencer", "Sequencer", MCI_FORMAT_MILLISECONDS, 500, 1900, fakes::DeviceProfile::sequencer(2000),
     [](const fs::path& folder, mcidev::DeviceOptions&) {
         midi_test::Track t;
         t.tempo(0, 500000).noteOn(0, 0, 60).noteOff(1920, 0, 60).end();
         mcitest::writeFile(folder / "two.mid", midi_test::smf(0, 480, {t}));
         return (folder / "two.mid").string();
     }},
    {"CD", "CDAudio", MCI_FORMAT_TMSF, MCI_MAKE_TMSF(2, 0, 1, 0), MCI_MAKE_TMSF(2, 0, 2, 67),
     fakes::DeviceProfile::cdAudio({2, 3}),
     [](const fs::path& folder, mcidev::DeviceOptions& options) {
         options.cdImage = cdtest::writeTwoTrackImage(folder).cue.string();
         return std::string();
     }},
};

class DeviceParity : public ::testing::TestWithParam<Kind> {
protected:
    // Runs the requests on a device: one line for each group of them, with the notices it
    // brought. `finish` lets a play run to its end.
    std::vector<std::string> run(DeviceInterface& device, const std::function<void()>& finish) {
        const Kind& kind = GetParam();
        mcitest::Commands cmd{device};
        MCIDEVICEID id = 0;
        auto code = [](MCIERROR e) { return e == 0 ? "ok" : "error " + std::to_string(e); };
        auto answer = [&](UINT message, DWORD flags, auto record) {
            const MCIERROR e = device.sendCommand(id, message, flags | MCI_WAIT, &record);
            return e == 0 ? std::to_string(record.dwReturn) : code(e);
        };
        auto status = [&](DWORD item, DWORD flags = 0, DWORD track = 0) {
            return answer(MCI_STATUS, MCI_STATUS_ITEM | flags, MCI_STATUS_PARMS{0, 0, item, track});
        };
        auto caps = [&](DWORD item) {
            return answer(MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM, MCI_GETDEVCAPS_PARMS{0, 0, item});
        };
        auto send = [&](UINT message, DWORD flags, auto record) {
            record.dwCallback = window.handle();
            return code(device.sendCommand(id, message, flags, &record));
        };
        std::vector<std::string> lines;
        // The answers in order (a braced list is evaluated left to right), then the notices.
        auto note = [&](std::initializer_list<std::string> answers) {
            lines.emplace_back();
            for (const std::string& a : answers) lines.back() += a + ' ';
            queue.drain();
            lines.back() += "| notices";
            for (const UINT outcome : window.outcomes()) lines.back() += " " + std::to_string(outcome);
            window.received.clear();
        };
        const auto mode = [&] { return status(MCI_STATUS_MODE); };
        const auto position = [&] { return status(MCI_STATUS_POSITION); };

        note({code(cmd.open(kind.type, element, id, MCI_NOTIFY, window.handle()))});
        note({caps(MCI_GETDEVCAPS_CAN_PLAY), caps(MCI_GETDEVCAPS_CAN_RECORD), caps(MCI_GETDEVCAPS_CAN_EJECT),
              caps(MCI_GETDEVCAPS_HAS_VIDEO), caps(MCI_GETDEVCAPS_DEVICE_TYPE)});
        note({mode(), status(MCI_STATUS_TIME_FORMAT), status(MCI_STATUS_NUMBER_OF_TRACKS), status(MCI_STATUS_LENGTH)});
        for (DWORD f = MCI_FORMAT_MILLISECONDS; f <= MCI_FORMAT_TMSF; ++f) {
            note({send(MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, MCI_SET_PARMS{0, f, 0})});
        }
        note({send(MCI_SET, MCI_SET_TIME_FORMAT | MCI_NOTIFY, MCI_SET_PARMS{0, kind.format, 0}),
              status(MCI_STATUS_TIME_FORMAT)});
        for (DWORD track = 0; track <= 3; ++track) note({status(MCI_STATUS_POSITION, MCI_TRACK, track)});
        note({send(MCI_SEEK, MCI_TO, MCI_SEEK_PARMS{0, kind.middle}), position(),
              send(MCI_SEEK, MCI_SEEK_TO_END, Generic{}), position(), send(MCI_SEEK, MCI_SEEK_TO_START, Generic{}),
              position()});
        note({send(MCI_PLAY, MCI_NOTIFY, MCI_PLAY_PARMS{}), mode()});
        note({send(MCI_PLAY, MCI_NOTIFY, MCI_PLAY_PARMS{}), mode()});  // supersedes the first
        note({send(MCI_PAUSE, MCI_WAIT, Generic{}), mode()});
        note({send(MCI_RESUME, MCI_NOTIFY, Generic{}), mode()});
        note({send(MCI_PLAY, MCI_NOTIFY, MCI_PLAY_PARMS{}), send(MCI_STOP, MCI_WAIT | MCI_NOTIFY, Generic{}), mode()});
        note({send(MCI_RESUME, MCI_NOTIFY, Generic{}), send(MCI_RECORD, MCI_NOTIFY, MCI_RECORD_PARMS{}),
              send(MCI_WHERE, MCI_WAIT | MCI_DGV_WHERE_SOURCE, MCI_DGV_RECT_PARMS{})});
        const std::string sent = send(MCI_PLAY, MCI_NOTIFY | MCI_FROM, MCI_PLAY_PARMS{0, kind.nearEnd, 0});
        finish();
        note({sent, mode(), position()});
        note({send(MCI_SET, MCI_WAIT | MCI_SET_DOOR_OPEN, MCI_SET_PARMS{}), mode(), position(),
              send(MCI_PLAY, MCI_NOTIFY, MCI_PLAY_PARMS{})});
        note({send(MCI_CLOSE, MCI_WAIT | MCI_NOTIFY, Generic{}), mode()});
        note({code(cmd.open(nullptr, "", id)), code(cmd.open("Radio", "", id)), code(cmd.open(kind.type, "", id))});
        return lines;
    }

    sys::MessageQueue queue;
    mcitest::NoticeWindow window{queue};
    mcitest::TempFolder folder;
    mcidev::DeviceOptions options;
    std::string element = GetParam().write(folder.path(), options);
};

TEST_P(DeviceParity, ScriptedDeviceAnswersAsTheRealOne) {
    const auto real = mcidev::createDeviceManager(queue, options);
    const auto expected = run(*real, [&] {
        const std::size_t before = window.received.size();
        mcitest::drainUntil(queue, [&] { return window.received.size() > before; });
    });
    fakes::ScriptedDevice fake(queue);
    fake.profiles[GetParam().type] = GetParam().profile;
    const auto actual = run(fake, [&] { fake.finishPlaying(); });
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) EXPECT_EQ(actual[i], expected[i]) << "request group " << i;
}

INSTANTIATE_TEST_SUITE_P(Kinds, DeviceParity, ::testing::ValuesIn(kinds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// The scripted device against the real ones: one table of requests runs on a real device
// (a wave file, a MIDI file, a CD image) and on the scripted device set up as that kind,
// and the answers the transport control relies on must agree: result codes, returned
// values and completion notices.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/mcidev/device_manager.h"
#include "tests/fakes/scripted_device.h"
#include "tests/mcidev/media_fixture.h"
#include "tests/midi/smf_writer.h"
#include "tests/support/cd_image_writer.h"

namespace {

using namespace mci;
namespace fs = std::filesystem;

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

// One device, the medium of its kind and the requests of the table.
struct Session {
    DeviceInterface& device;
    const Kind& kind;
    std::string element;
    DWORD_PTR window;
    std::function<void()> finish;  // lets a play run to its end
    mcitest::Commands cmd{device};
    MCIDEVICEID id = 0;

    static std::string code(MCIERROR e) { return e == 0 ? "ok" : "error " + std::to_string(e); }
    // The answers in order (a braced list is evaluated left to right).
    static std::string all(std::initializer_list<std::string> answers) {
        std::string s;
        for (const std::string& a : answers) s += a + ' ';
        return s;
    }
    std::string status(DWORD item, DWORD flags = 0, DWORD track = 0) {
        DWORD_PTR value = 0;
        const MCIERROR e = cmd.status(id, item, value, flags, track);
        return e == 0 ? std::to_string(value) : code(e);
    }
    std::string caps(DWORD item) {
        DWORD value = 0;
        const MCIERROR e = cmd.caps(id, item, value);
        return e == 0 ? std::to_string(value) : code(e);
    }
    template <class Record = MCI_GENERIC_PARMS>
    std::string send(UINT message, DWORD flags, Record record = {}) {
        record.dwCallback = window;
        return code(device.sendCommand(id, message, flags, &record));
    }
    std::string mode() { return status(MCI_STATUS_MODE); }
    std::string position() { return status(MCI_STATUS_POSITION); }
};

struct Step {
    const char* name;
    std::function<std::string(Session&)> run;
};

const Step steps[] = {
    {"open", [](Session& s) { return s.code(s.cmd.open(s.kind.type, s.element, s.id, MCI_NOTIFY, s.window)); }},
    {"capabilities",
     [](Session& s) {
         return s.all({s.caps(MCI_GETDEVCAPS_CAN_PLAY), s.caps(MCI_GETDEVCAPS_CAN_RECORD),
                       s.caps(MCI_GETDEVCAPS_CAN_EJECT), s.caps(MCI_GETDEVCAPS_HAS_VIDEO),
                       s.caps(MCI_GETDEVCAPS_DEVICE_TYPE), s.caps(0x99)});
     }},
    {"status",
     [](Session& s) {
         return s.all({s.mode(), s.status(MCI_STATUS_TIME_FORMAT), s.status(MCI_STATUS_NUMBER_OF_TRACKS),
                       s.status(MCI_STATUS_LENGTH), s.status(0x99)});
     }},
    {"time formats",
     [](Session& s) {
         std::string answers;
         for (DWORD f = MCI_FORMAT_MILLISECONDS; f <= MCI_FORMAT_TMSF; ++f)
             answers += s.send(MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, MCI_SET_PARMS{0, f, 0}) + ", ";
         return s.all({answers, s.send(MCI_SET, MCI_SET_TIME_FORMAT | MCI_NOTIFY, MCI_SET_PARMS{0, s.kind.format, 0}),
                       s.status(MCI_STATUS_TIME_FORMAT)});
     }},
    {"track starts",
     [](Session& s) {
         std::string answers;
         for (DWORD track = 0; track <= 3; ++track) answers += s.status(MCI_STATUS_POSITION, MCI_TRACK, track) + ", ";
         return answers;
     }},
    {"seeks",
     [](Session& s) {
         return s.all({s.send(MCI_SEEK, MCI_TO, MCI_SEEK_PARMS{0, s.kind.middle}), s.position(),
                       s.send(MCI_SEEK, MCI_SEEK_TO_END), s.position(), s.send(MCI_SEEK, MCI_SEEK_TO_START),
                       s.position()});
     }},
    {"play",
     [](Session& s) {
         return s.all({s.send<MCI_PLAY_PARMS>(MCI_PLAY, MCI_NOTIFY), s.mode()});
     }},
    {"play again",
     [](Session& s) {
         return s.all({s.send<MCI_PLAY_PARMS>(MCI_PLAY, MCI_NOTIFY), s.mode()});
     }},
    {"pause",
     [](Session& s) {
         return s.all({s.send(MCI_PAUSE, MCI_WAIT), s.mode()});
     }},
    {"resume",
     [](Session& s) {
         return s.all({s.send(MCI_RESUME, MCI_NOTIFY), s.mode()});
     }},
    {"stop",
     [](Session& s) {
         return s.all({s.send(MCI_STOP, MCI_WAIT | MCI_NOTIFY), s.mode()});
     }},
    {"refused requests",
     [](Session& s) {
         return s.all({s.send(MCI_RESUME, MCI_NOTIFY), s.send<MCI_RECORD_PARMS>(MCI_RECORD, MCI_NOTIFY),
                       s.send<MCI_DGV_STEP_PARMS>(MCI_STEP, MCI_WAIT | MCI_DGV_STEP_FRAMES),
                       s.send<MCI_DGV_RECT_PARMS>(MCI_WHERE, MCI_WAIT | MCI_DGV_WHERE_SOURCE),
                       s.send<MCI_DGV_WINDOW_PARMS>(MCI_WINDOW, MCI_WAIT | MCI_DGV_WINDOW_HWND)});
     }},
    {"play to the end",
     [](Session& s) {
         const std::string sent = s.send(MCI_PLAY, MCI_NOTIFY | MCI_FROM, MCI_PLAY_PARMS{0, s.kind.nearEnd, 0});
         s.finish();
         return s.all({sent, s.mode(), s.position()});
     }},
    {"eject",
     [](Session& s) {
         return s.all({s.send<MCI_SET_PARMS>(MCI_SET, MCI_WAIT | MCI_SET_DOOR_OPEN), s.mode(), s.position(),
                       s.send<MCI_PLAY_PARMS>(MCI_PLAY, MCI_NOTIFY)});
     }},
    {"close",
     [](Session& s) {
         return s.all({s.send(MCI_CLOSE, MCI_WAIT | MCI_NOTIFY), s.mode()});
     }},
    {"failed opens",
     [](Session& s) {
         MCIDEVICEID id = 0;
         return s.all({s.code(s.cmd.open(nullptr, "", id)), s.code(s.cmd.open("Radio", "", id)),
                       s.code(s.cmd.open(nullptr, "alarm.txt", id)), s.code(s.cmd.open(s.kind.type, "", id))});
     }},
};

class DeviceParity : public ::testing::TestWithParam<Kind> {
protected:
    // The answer of a device to each step, with the notices that it brought.
    std::vector<std::string> run(DeviceInterface& device, const std::function<void()>& finish) {
        Session s{device, GetParam(), element, window.handle(), finish};
        std::vector<std::string> answers;
        for (const Step& step : steps) {
            answers.push_back(step.run(s) + "| notices");
            queue.drain();
            for (const UINT outcome : window.outcomes()) answers.back() += " " + std::to_string(outcome);
            window.received.clear();
        }
        return answers;
    }

    ui::MessageQueue queue;
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
    for (std::size_t i = 0; i < std::size(steps); ++i) EXPECT_EQ(actual[i], expected[i]) << steps[i].name;
}

INSTANTIATE_TEST_SUITE_P(Kinds, DeviceParity, ::testing::ValuesIn(kinds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

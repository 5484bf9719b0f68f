// Opening and closing devices, device identifiers, unknown requests and error texts.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <tuple>

#include "platform/mcidev/device_manager.h"
#include "tests/mcidev/media_fixture.h"

namespace {

using namespace mci;
using namespace mcitest;

class ManagerTest : public ::testing::Test {
protected:
    mcidev::DeviceOptions options() const {
        mcidev::DeviceOptions o;
        o.audioOutput = mcidev::AudioOutputChoice::None;
        return o;
    }

    ui::MessageQueue queue;
    TempFolder folder;
    std::unique_ptr<DeviceInterface> devices = mcidev::createDeviceManager(queue, options());
    Commands cmd{*devices};
    std::string wav = writeWave(folder / "chime.wav", WaveShape{.frames = 4410}).string();
};

TEST_F(ManagerTest, IdsStartAtOneAndAFreedIdIsGivenAgain) {
    MCIDEVICEID a = 0, b = 0, c = 0;
    ASSERT_EQ(cmd.open("WaveAudio", wav, a), 0u);
    ASSERT_EQ(cmd.open("waveaudio", wav, b), 0u);
    EXPECT_EQ(a, 1u);
    EXPECT_EQ(b, 2u);
    ASSERT_EQ(cmd.close(a), 0u);
    EXPECT_EQ(cmd.close(a), MCIERR_INVALID_DEVICE_ID);
    ASSERT_EQ(cmd.open("WAVEAUDIO", wav, c), 0u);
    EXPECT_EQ(c, 1u);
    // Both are open at once and answer for themselves.
    EXPECT_EQ(cmd.statusOr(b, MCI_STATUS_LENGTH), 100u);
    EXPECT_EQ(cmd.statusOr(c, MCI_STATUS_LENGTH), 100u);
}

// A failed open must not write the identifier (the helper presets 0xDEAD).
TEST_F(ManagerTest, OpenRulesAnswerTheMatchingCode) {
    writeWave(folder / "by-extension.wav", WaveShape{.frames = 100});
    writeWave(folder / "any-name.wav", WaveShape{.frames = 100});
    const std::tuple<const char*, const char*, MCIERROR> cases[] = {
        {nullptr, "by-extension.wav", 0},
        {"WaveAudio", "any-name.wav", 0},
        {nullptr, "noise.mp3", MCIERR_EXTENSION_NOT_FOUND},
        {nullptr, "no-extension", MCIERR_EXTENSION_NOT_FOUND},
        {nullptr, nullptr, MCIERR_MISSING_DEVICE_NAME},
        {"AVIVideo", "clip.avi", MCIERR_INVALID_DEVICE_NAME},
        {"WaveAudio", nullptr, MCIERR_FILENAME_REQUIRED},
        {"Sequencer", nullptr, MCIERR_FILENAME_REQUIRED},
        {"WaveAudio", "missing-file.wav.gone", MCIERR_FILE_NOT_FOUND},
        {nullptr, "missing.mid", MCIERR_FILE_NOT_FOUND}};
    for (const auto& [type, file, expected] : cases) {
        MCIDEVICEID id = 0;
        EXPECT_EQ(cmd.open(type, file ? (folder / file).string() : "", id), expected) << (file ? file : "-");
        if (expected != 0) {
            EXPECT_EQ(id, 0xDEADu) << (file ? file : "-");
        }
    }
}

TEST_F(ManagerTest, OpensByTypeIdentifierToo) {
    MCI_OPEN_PARMS p{};
    p.lpstrDeviceType = reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(MCI_DEVTYPE_WAVEFORM_AUDIO));
    p.lpstrElementName = wav.c_str();
    ASSERT_EQ(devices->sendCommand(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_ELEMENT, &p), 0u);
    EXPECT_EQ(p.wDeviceID, 1u);
}

TEST_F(ManagerTest, UnknownDeviceAndUnknownCommand) {
    MCIDEVICEID id = 0;
    ASSERT_EQ(cmd.open("WaveAudio", wav, id), 0u);
    MCI_GENERIC_PARMS g{};
    EXPECT_EQ(devices->sendCommand(42, MCI_PLAY, 0, &g), MCIERR_INVALID_DEVICE_ID);
    EXPECT_EQ(devices->sendCommand(0, MCI_STOP, 0, &g), MCIERR_INVALID_DEVICE_ID);
    EXPECT_EQ(devices->sendCommand(id, 0x0999, 0, &g), MCIERR_UNRECOGNIZED_COMMAND);
    // The picture commands are not part of an audio device.
    MCI_DGV_RECT_PARMS rect{};
    EXPECT_EQ(devices->sendCommand(id, MCI_WHERE, MCI_DGV_WHERE_SOURCE | MCI_WAIT, &rect),
              MCIERR_UNRECOGNIZED_COMMAND);
    MCI_DGV_WINDOW_PARMS window{};
    EXPECT_EQ(devices->sendCommand(id, MCI_WINDOW, MCI_DGV_WINDOW_HWND | MCI_WAIT, &window),
              MCIERR_UNRECOGNIZED_COMMAND);
    MCI_DGV_STEP_PARMS step{0, 1};
    EXPECT_EQ(devices->sendCommand(id, MCI_STEP, MCI_DGV_STEP_FRAMES | MCI_WAIT, &step), MCIERR_UNRECOGNIZED_COMMAND);
    EXPECT_EQ(devices->sendCommand(id, MCI_RECORD, MCI_WAIT, &g), MCIERR_UNSUPPORTED_FUNCTION);
    // A notice asked for without a record to name the window.
    EXPECT_EQ(devices->sendCommand(id, MCI_STOP, MCI_NOTIFY, nullptr), MCIERR_NULL_PARAMETER_BLOCK);
    EXPECT_EQ(devices->sendCommand(0, MCI_OPEN, MCI_OPEN_TYPE, nullptr), MCIERR_NULL_PARAMETER_BLOCK);
}

TEST_F(ManagerTest, WithoutAudioOutputEverythingButPlayingWorks) {
    MCIDEVICEID id = 0;
    ASSERT_EQ(cmd.open("WaveAudio", wav, id), 0u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(cmd.play(id, 0, 0), mcidev::MCIERR_NO_AUDIO_OUTPUT);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION), 0u);
    EXPECT_EQ(cmd.seek(id, MCI_SEEK_TO_END), 0u);
    EXPECT_EQ(cmd.statusOr(id, MCI_STATUS_POSITION), 100u);
    char text[256];
    ASSERT_TRUE(devices->errorString(mcidev::MCIERR_NO_AUDIO_OUTPUT, text, sizeof text));
    EXPECT_NE(std::strstr(text, "No audio output device"), nullptr) << text;
}

TEST_F(ManagerTest, EveryCodeTheDevicesReturnHasItsOwnText) {
    const MCIERROR codes[] = {
        MCIERR_INVALID_DEVICE_ID,     MCIERR_UNRECOGNIZED_COMMAND,   MCIERR_HARDWARE,
        MCIERR_INVALID_DEVICE_NAME,   MCIERR_OUT_OF_MEMORY,          MCIERR_MISSING_PARAMETER,
        MCIERR_UNSUPPORTED_FUNCTION,  MCIERR_FILE_NOT_FOUND,         MCIERR_DEVICE_NOT_READY,
        MCIERR_INTERNAL,              MCIERR_EXTENSION_NOT_FOUND,    MCIERR_OUTOFRANGE,
        MCIERR_FLAGS_NOT_COMPATIBLE,  MCIERR_MUST_USE_SHAREABLE,     MCIERR_MISSING_DEVICE_NAME,
        MCIERR_BAD_TIME_FORMAT,       MCIERR_INVALID_FILE,           MCIERR_NULL_PARAMETER_BLOCK,
        MCIERR_NONAPPLICABLE_FUNCTION, MCIERR_FILENAME_REQUIRED,     MCIERR_DEVICE_NOT_INSTALLED,
        MCIERR_WAVE_OUTPUTSUNSUITABLE, MCIERR_SEQ_PORT_MISCERROR,    MCIERR_SEQ_NOMIDIPRESENT,
        MCIERR_FILE_READ,             mcidev::MCIERR_NO_AUDIO_OUTPUT, mcidev::MCIERR_SOUND_FONT_UNUSABLE,
    };
    std::set<std::string> texts;
    for (const MCIERROR code : codes) {
        char buffer[4096];
        ASSERT_TRUE(devices->errorString(code, buffer, sizeof buffer)) << code;
        EXPECT_GT(std::strlen(buffer), 10u) << code;
        texts.insert(buffer);
    }
    EXPECT_EQ(texts.size(), std::size(codes)) << "two codes share a text";
}

TEST_F(ManagerTest, UnknownCodeHasNoTextAndTextsAreCutToTheBuffer) {
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_FALSE(devices->errorString(MCIERR_BASE + 200, buffer, sizeof buffer));
    EXPECT_FALSE(devices->errorString(mci::MCIERR_CUSTOM_DRIVER_BASE + 99, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
    ASSERT_TRUE(devices->errorString(MCIERR_FILE_NOT_FOUND, buffer, 8));
    EXPECT_EQ(std::strlen(buffer), 7u);
    EXPECT_TRUE(devices->errorString(MCIERR_FILE_NOT_FOUND, nullptr, 0));
}

// A notice asked for by open and close arrives; one naming no window does not.
TEST_F(ManagerTest, OpenAndCloseNotices) {
    NoticeWindow window(queue);
    MCIDEVICEID id = 0;
    ASSERT_EQ(cmd.open("WaveAudio", wav, id, MCI_NOTIFY, window.handle()), 0u);
    ASSERT_EQ(cmd.setTimeFormat(id, MCI_FORMAT_SAMPLES, MCI_NOTIFY, 0), 0u);
    ASSERT_EQ(cmd.close(id, MCI_NOTIFY, window.handle()), 0u);
    drainFor(queue, std::chrono::milliseconds(20));
    ASSERT_EQ(window.received.size(), 2u);
    for (const Received& r : window.received) {
        EXPECT_EQ(r.message, MM_MCINOTIFY);
        EXPECT_EQ(r.outcome, MCI_NOTIFY_SUCCESSFUL);
        EXPECT_EQ(r.device, static_cast<std::intptr_t>(id));
    }
}

}  // namespace

// Opening and closing devices, device identifiers, requests no device knows, error
// texts, and the devices without an audio output.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "tests/mcidev/media_fixture.h"

namespace {

using namespace mci;
using namespace mcitest;

mcidev::DeviceOptions withOutput(mcidev::AudioOutputChoice output) {
    mcidev::DeviceOptions options;
    options.audioOutput = output;
    return options;
}

class ManagerTest : public testing::Test, protected DeviceRig {
protected:
    ManagerTest() : DeviceRig(withOutput(mcidev::AudioOutputChoice::None)) {}
    std::string wav = writeWave(folder / "chime.wav", {.frames = 4410}).string();
};

TEST_F(ManagerTest, IdsStartAtOneAndAFreedIdIsGivenAgain) {
    MCIDEVICEID a = 0, b = 0, c = 0;
    ASSERT_EQ(cmd->open("WaveAudio", wav, a), 0u);
    ASSERT_EQ(cmd->open("waveaudio", wav, b), 0u);
    EXPECT_EQ(a, 1u);
    EXPECT_EQ(b, 2u);
    ASSERT_EQ(cmd->close(a), 0u);
    EXPECT_EQ(cmd->close(a), MCIERR_INVALID_DEVICE_ID);
    ASSERT_EQ(cmd->open("WAVEAUDIO", wav, c), 0u);
    EXPECT_EQ(c, 1u);
    EXPECT_EQ(cmd->statusOr(b, MCI_STATUS_LENGTH), 100u);
}

// A failed open leaves the record's identifier alone.
TEST_F(ManagerTest, OpenRulesAnswerTheMatchingCode) {
    const auto typeId = [](DWORD type) { return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(type)); };
    const std::tuple<const char*, std::string, DWORD, MCIERROR> cases[] = {
        {nullptr, wav, 0, 0},
        {"WaveAudio", writeWave(folder / "any-name.snd", {.frames = 10}).string(), 0, 0},
        {typeId(MCI_DEVTYPE_WAVEFORM_AUDIO), wav, MCI_OPEN_TYPE_ID, 0},
        {typeId(MCI_DEVTYPE_VIDEODISC), wav, MCI_OPEN_TYPE_ID, MCIERR_INVALID_DEVICE_NAME},
        {nullptr, wav, MCI_OPEN_TYPE_ID, MCIERR_MISSING_PARAMETER},
        {nullptr, "noise.mp3", 0, MCIERR_EXTENSION_NOT_FOUND},
        {nullptr, (folder / ".wav").string(), 0, MCIERR_EXTENSION_NOT_FOUND},
        {nullptr, "", 0, MCIERR_MISSING_DEVICE_NAME},
        {"AVIVideo", "clip.avi", 0, MCIERR_INVALID_DEVICE_NAME},
        {"WaveAudio", "", 0, MCIERR_FILENAME_REQUIRED},
        {"Sequencer", "", 0, MCIERR_FILENAME_REQUIRED},
        {"WaveAudio", (folder / "missing.wav").string(), 0, MCIERR_FILE_NOT_FOUND},
        {nullptr, (folder / "missing.mid").string(), 0, MCIERR_FILE_NOT_FOUND},
        {nullptr, wav, MCI_OPEN_ELEMENT_ID, MCIERR_UNSUPPORTED_FUNCTION}};
    for (const auto& [type, element, flags, expected] : cases) {
        SCOPED_TRACE(element);
        MCIDEVICEID id = 0;
        ASSERT_EQ(cmd->open(type, element, id, flags), expected);
        if (expected == 0) {
            EXPECT_EQ(cmd->close(id), 0u);
        } else {
            EXPECT_EQ(id, 0xDEADu);
        }
    }
    EXPECT_EQ(devices->sendCommand(0, MCI_OPEN, MCI_OPEN_TYPE, nullptr), MCIERR_NULL_PARAMETER_BLOCK);
}

TEST_F(ManagerTest, RequestsNoDeviceCarriesOut) {
    MCIDEVICEID id = 0;
    ASSERT_EQ(cmd->open("WaveAudio", wav, id), 0u);
    MCI_DGV_RECT_PARMS params{};  // the largest record
    const std::tuple<MCIDEVICEID, UINT, DWORD, MCIERROR> cases[] = {
        {42, MCI_PLAY, 0, MCIERR_INVALID_DEVICE_ID},
        {0, MCI_STOP, 0, MCIERR_INVALID_DEVICE_ID},
        {id, 0x0999, 0, MCIERR_UNRECOGNIZED_COMMAND},
        // The picture commands are not part of an audio device.
        {id, MCI_WHERE, MCI_DGV_WHERE_SOURCE, MCIERR_UNRECOGNIZED_COMMAND},
        {id, MCI_WINDOW, MCI_DGV_WINDOW_HWND, MCIERR_UNRECOGNIZED_COMMAND},
        {id, MCI_STEP, MCI_DGV_STEP_FRAMES, MCIERR_UNRECOGNIZED_COMMAND},
        {id, MCI_RECORD, 0, MCIERR_UNSUPPORTED_FUNCTION}};
    for (const auto& [device, message, flags, expected] : cases)
        EXPECT_EQ(devices->sendCommand(device, message, flags | MCI_WAIT, &params), expected) << message;
    // A notice asked for without a record to name the window.
    EXPECT_EQ(devices->sendCommand(id, MCI_STOP, MCI_NOTIFY, nullptr), MCIERR_NULL_PARAMETER_BLOCK);
}

// A notice asked for by open and close arrives; one naming no window does not.
TEST_F(ManagerTest, OpenAndCloseNotices) {
    MCIDEVICEID id = 0;
    ASSERT_EQ(cmd->open("WaveAudio", wav, id, MCI_NOTIFY, window.handle()), 0u);
    ASSERT_EQ(cmd->setTimeFormat(id, MCI_FORMAT_SAMPLES, MCI_NOTIFY, 0), 0u);
    ASSERT_EQ(cmd->close(id, MCI_NOTIFY, window.handle()), 0u);
    drainFor(queue, std::chrono::milliseconds(20));
    ASSERT_EQ(window.received.size(), 2u);
    for (const Received& r : window.received) {
        EXPECT_EQ(r.message, MM_MCINOTIFY);
        EXPECT_EQ(r.outcome, MCI_NOTIFY_SUCCESSFUL);
        EXPECT_EQ(r.device, static_cast<std::intptr_t>(id));
    }
}

TEST_F(ManagerTest, EveryCodeTheDevicesReturnHasATextOfItsOwn) {
    const MCIERROR codes[] = {
        MCIERR_INVALID_DEVICE_ID,      MCIERR_UNRECOGNIZED_COMMAND,    MCIERR_HARDWARE,
        MCIERR_INVALID_DEVICE_NAME,    MCIERR_OUT_OF_MEMORY,           MCIERR_MISSING_PARAMETER,
        MCIERR_UNSUPPORTED_FUNCTION,   MCIERR_FILE_NOT_FOUND,          MCIERR_DEVICE_NOT_READY,
        MCIERR_INTERNAL,               MCIERR_EXTENSION_NOT_FOUND,     MCIERR_OUTOFRANGE,
        MCIERR_FLAGS_NOT_COMPATIBLE,   MCIERR_MUST_USE_SHAREABLE,      MCIERR_MISSING_DEVICE_NAME,
        MCIERR_BAD_TIME_FORMAT,        MCIERR_INVALID_FILE,            MCIERR_NULL_PARAMETER_BLOCK,
        MCIERR_NONAPPLICABLE_FUNCTION, MCIERR_FILENAME_REQUIRED,       MCIERR_DEVICE_NOT_INSTALLED,
        MCIERR_WAVE_OUTPUTSUNSUITABLE, MCIERR_SEQ_PORT_MISCERROR,      MCIERR_SEQ_NOMIDIPRESENT,
        MCIERR_FILE_READ,              mcidev::MCIERR_NO_AUDIO_OUTPUT, mcidev::MCIERR_SOUND_FONT_UNUSABLE};
    std::set<std::string> texts;
    char buffer[4096];
    for (const MCIERROR code : codes) {
        ASSERT_TRUE(devices->errorString(code, buffer, sizeof buffer)) << code;
        EXPECT_GT(std::strlen(buffer), 10u) << code;
        texts.insert(buffer);
    }
    EXPECT_EQ(texts.size(), std::size(codes)) << "two codes share a text";
    // Unknown codes have none; a text is cut to the buffer.
    EXPECT_FALSE(devices->errorString(MCIERR_BASE + 200, buffer, sizeof buffer));
    EXPECT_FALSE(devices->errorString(MCIERR_CUSTOM_DRIVER_BASE + 99, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
    ASSERT_TRUE(devices->errorString(MCIERR_FILE_NOT_FOUND, buffer, 8));
    EXPECT_EQ(std::strlen(buffer), 7u);
    EXPECT_TRUE(devices->errorString(MCIERR_FILE_NOT_FOUND, nullptr, 0));
}

// Run twice: with no output chosen and, as the ctest entry mcidev_no_output, with the
// system's output through a driver that does not exist.
TEST(NoAudioOutput, PlayFailsClearlyAndNothingElseDoes) {
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const bool missingDriver = driver != nullptr && std::string(driver) == "no-such-driver";
    DeviceRig rig(withOutput(missingDriver ? mcidev::AudioOutputChoice::System : mcidev::AudioOutputChoice::None));
    MCIDEVICEID id = 0;
    ASSERT_EQ(rig.cmd->open(nullptr, writeWave(rig.folder / "a.wav", {.frames = 4410}).string(), id), 0u);
    EXPECT_EQ(rig.cmd->play(id, rig.window.handle()), mcidev::MCIERR_NO_AUDIO_OUTPUT);
    EXPECT_EQ(rig.cmd->statusOr(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(rig.cmd->seek(id, MCI_SEEK_TO_END), 0u);
    EXPECT_EQ(rig.cmd->statusOr(id, MCI_STATUS_POSITION), 100u);
    drainFor(rig.queue, std::chrono::milliseconds(30));
    EXPECT_TRUE(rig.window.received.empty());
}

}  // namespace

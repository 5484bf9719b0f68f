// The system's MCI wave device through our interface, under the real winmm: notices
// reach the queue handle that asked for them, with the system's outcome and device id,
// and error texts come back. Skips where the system has no wave output.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/mcidev/winmm_devices.h"
#include "tests/platform/mcidev/mci_script.h"

#include <windows.h>

#include <mmsystem.h>

namespace {

struct Notice {
    sys::WindowHandle window;
    sys::Message msg;
};

class Listener : public sys::MessageReceiver {
public:
    Listener(sys::MessageQueue& queue, std::vector<Notice>& log) : queue_(queue), log_(log) {
        handle = queue.registerWindow(*this);
    }
    ~Listener() { queue_.unregisterWindow(handle); }
    void handleMessage(const sys::Message& msg) override { log_.push_back({handle, msg}); }
    sys::WindowHandle handle = 0;

private:
    sys::MessageQueue& queue_;
    std::vector<Notice>& log_;
};

class WinmmDevices : public testing::Test {
protected:
    void SetUp() override {
        if (::waveOutGetNumDevs() == 0) GTEST_SKIP() << "no wave output on this system";
        mcitest::writeToneWave(wave, 1500);
        MCI_OPEN_PARMSA p{};
        p.lpstrDeviceType = "waveaudio";
        p.lpstrElementName = wave.c_str();
        ASSERT_EQ(devices->sendCommand(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_WAIT, &p), 0u);
        id = p.wDeviceID;
        MCI_SET_PARMS set{};
        set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
        ASSERT_EQ(devices->sendCommand(id, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, &set), 0u);
    }
    void TearDown() override {
        if (id != 0) devices->sendCommand(id, MCI_CLOSE, MCI_WAIT, nullptr);
        std::filesystem::remove(wave);
    }

    // Lets the system and the queue deliver until `count` notices have come, or 5 s.
    void pumpFor(std::size_t count) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (log.size() < count && std::chrono::steady_clock::now() < until) {
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
            queue.drain();
            ::Sleep(5);
        }
    }

    MCIERROR play(sys::WindowHandle target, DWORD flags = MCI_NOTIFY, DWORD from = 0, DWORD to = 0) {
        MCI_PLAY_PARMS p{};
        p.dwCallback = target;
        p.dwFrom = from;
        p.dwTo = to;
        const MCIERROR e = devices->sendCommand(id, MCI_PLAY, flags, &p);
        EXPECT_EQ(p.dwCallback, target) << "the caller's callback was not put back";
        return e;
    }

    void expectNotices(const std::vector<std::pair<sys::WindowHandle, WPARAM>>& expected) {
        pumpFor(expected.size());
        ASSERT_EQ(log.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(log[i].window, expected[i].first) << "notice " << i;
            EXPECT_EQ(log[i].msg.id, MM_MCINOTIFY) << "notice " << i;
            EXPECT_EQ(log[i].msg.wParam, expected[i].second) << "notice " << i;
            EXPECT_EQ(log[i].msg.lParam, static_cast<std::intptr_t>(id)) << "notice " << i;
        }
    }

    const std::string wave =
        (std::filesystem::temp_directory_path() / ("tolvane-winmm-" + std::to_string(::GetCurrentProcessId()) + ".wav"))
            .string();
    sys::MessageQueue queue;
    std::unique_ptr<mci::DeviceInterface> devices = mcidev::createDeviceInterface(queue);
    std::vector<Notice> log;
    Listener first{queue, log};
    Listener second{queue, log};
    MCIDEVICEID id = 0;
};

TEST_F(WinmmDevices, PlayToTheEndNotifiesItsOwnHandle) {
    ASSERT_EQ(play(first.handle, MCI_FROM | MCI_TO | MCI_NOTIFY, 1000, 1300), 0u);
    expectNotices({{first.handle, MCI_NOTIFY_SUCCESSFUL}});
}

// A second play interrupts the first, whose caller hears it was aborted; a status
// asked with a notice supersedes the second play's, which its own caller hears, and
// the status's own notice goes to the first caller.
TEST_F(WinmmDevices, InterruptedAndSupersededPlaysNotifyTheirOwnCallers) {
    ASSERT_EQ(play(first.handle), 0u);
    ASSERT_EQ(play(second.handle), 0u);
    MCI_STATUS_PARMS status{};
    status.dwCallback = first.handle;
    status.dwItem = MCI_STATUS_MODE;
    ASSERT_EQ(devices->sendCommand(id, MCI_STATUS, MCI_STATUS_ITEM | MCI_NOTIFY | MCI_WAIT, &status), 0u);
    EXPECT_EQ(status.dwReturn, MCI_MODE_PLAY);
    expectNotices({{first.handle, MCI_NOTIFY_ABORTED},
                   {second.handle, MCI_NOTIFY_SUPERSEDED},
                   {first.handle, MCI_NOTIFY_SUCCESSFUL}});
}

// Closing a playing device aborts its play for the caller that waits on it, and a
// notice asked of the close reaches the closing caller.
TEST_F(WinmmDevices, CloseAbortsThePlayAndNotifiesTheCloser) {
    ASSERT_EQ(play(first.handle), 0u);
    MCI_GENERIC_PARMS close{};
    close.dwCallback = second.handle;
    ASSERT_EQ(devices->sendCommand(id, MCI_CLOSE, MCI_NOTIFY | MCI_WAIT, &close), 0u);
    expectNotices({{first.handle, MCI_NOTIFY_ABORTED}, {second.handle, MCI_NOTIFY_SUCCESSFUL}});
    id = 0;
}

TEST(WinmmErrorText, ComesFromTheSystemAndIsAlwaysTerminated) {
    sys::MessageQueue queue;
    const auto devices = mcidev::createDeviceInterface(queue);
    MCI_OPEN_PARMSA p{};
    p.lpstrDeviceType = "waveaudio";
    p.lpstrElementName = "C:\\no\\such\\file.wav";
    const MCIERROR e = devices->sendCommand(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_WAIT, &p);
    ASSERT_NE(e, 0u);
    char text[256] = "x";
    ASSERT_TRUE(devices->errorString(e, text, sizeof text));
    char expected[256] = "";
    ::mciGetErrorStringA(e, expected, sizeof expected);
    EXPECT_STREQ(text, expected);
    EXPECT_GT(std::strlen(text), 0u);

    char small[5];
    std::memset(small, 'x', sizeof small);
    devices->errorString(e, small, sizeof small);
    EXPECT_LT(std::strlen(small), sizeof small);

    char none[8] = "x";
    EXPECT_FALSE(devices->errorString(0xFFFFu, none, sizeof none));
    EXPECT_STREQ(none, "");
}

TEST(WinmmAlarmTone, SoundsUntilStopped) {
    if (::waveOutGetNumDevs() == 0) GTEST_SKIP() << "no wave output on this system";
    const auto tone = mcidev::createAlarmTone();
    ASSERT_EQ(tone->start(), "");
    EXPECT_TRUE(tone->sounding());
    ::Sleep(1500);  // past the end of both buffers: they are written again
    EXPECT_TRUE(tone->sounding());
    EXPECT_EQ(tone->start(), "");
    tone->stop();
    EXPECT_FALSE(tone->sounding());
    tone->stop();
    ASSERT_EQ(tone->start(), "");
    EXPECT_TRUE(tone->sounding());
}

}  // namespace

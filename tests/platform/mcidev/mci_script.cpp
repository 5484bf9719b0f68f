#include "tests/platform/mcidev/mci_script.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

namespace mcitest {
namespace {

using namespace mci;

void put(std::ofstream& f, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) f.put(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Keeps the notices the script's window gets, to print with the next line.
class NoticeLog : public sys::MessageReceiver {
public:
    void handleMessage(const sys::Message& msg) override {
        if (msg.id != MM_MCINOTIFY) return;
        const char* outcome = msg.wParam == MCI_NOTIFY_SUCCESSFUL   ? "successful"
                              : msg.wParam == MCI_NOTIFY_SUPERSEDED ? "superseded"
                              : msg.wParam == MCI_NOTIFY_ABORTED    ? "aborted"
                              : msg.wParam == MCI_NOTIFY_FAILURE    ? "failure"
                                                                    : "?";
        if (!pending_.empty()) pending_ += ",";
        pending_ += outcome;
        pending_ += msg.lParam == static_cast<std::intptr_t>(device) ? "" : "(other device)";
    }
    std::string take() { return std::exchange(pending_, {}); }
    MCIDEVICEID device = 0;

private:
    std::string pending_;
};

const char* modeName(DWORD_PTR mode) {
    switch (mode) {
    case MCI_MODE_NOT_READY: return "not-ready";
    case MCI_MODE_STOP: return "stopped";
    case MCI_MODE_PLAY: return "playing";
    case MCI_MODE_PAUSE: return "paused";
    case MCI_MODE_SEEK: return "seeking";
    case MCI_MODE_OPEN: return "open";
    default: return "?";
    }
}

}  // namespace

void writeToneWave(const std::string& path, std::uint32_t ms) {
    constexpr std::uint32_t rate = 22050;
    const std::uint32_t frames = rate * ms / 1000;
    std::ofstream f(path, std::ios::binary);
    f.write("RIFF", 4);
    put(f, 36 + frames * 2, 4);
    f.write("WAVEfmt ", 8);
    put(f, 16, 4);
    put(f, 1, 2);  // PCM
    put(f, 1, 2);  // mono
    put(f, rate, 4);
    put(f, rate * 2, 4);
    put(f, 2, 2);
    put(f, 16, 2);
    f.write("data", 4);
    put(f, frames * 2, 4);
    for (std::uint32_t i = 0; i < frames; ++i)
        put(f, static_cast<std::uint16_t>(static_cast<std::int16_t>(4000 * std::sin(i * 2 * 3.14159265 * 440 / rate))),
            2);
}

void runWaveScript(DeviceInterface& devices, sys::MessageQueue& queue, const std::string& path,
                   const std::function<void(int ms)>& pump, std::ostream& out) {
    NoticeLog log;
    const sys::WindowHandle window = queue.registerWindow(log);
    MCIDEVICEID id = 0;

    // Prints the line of a request that has been sent, after `settle` ms.
    const auto line = [&](const std::string& request, MCIERROR error, const std::string& answer, int settle) {
        pump(settle);
        out << request << " | " << error << " | " << answer << " | " << log.take() << "\n";
    };
    const auto status = [&](const std::string& request, DWORD item, int settle = 0) {
        pump(settle);
        MCI_STATUS_PARMS p{};
        p.dwItem = item;
        const MCIERROR e = devices.sendCommand(id, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, &p);
        std::ostringstream answer;
        if (e == 0 && item == MCI_STATUS_MODE) answer << modeName(p.dwReturn);
        // Positions while playing round to a tenth of a second: the two devices' clocks
        // need not agree closer than their buffering.
        else if (e == 0 && request.find("~") != std::string::npos)
            answer << "~" << (p.dwReturn + 50) / 100 * 100;
        else if (e == 0)
            answer << p.dwReturn;
        line(request, e, answer.str(), 0);
    };
    const auto play = [&](const std::string& request, DWORD flags, DWORD from, DWORD to) {
        MCI_PLAY_PARMS p{};
        p.dwCallback = window;
        p.dwFrom = from;
        p.dwTo = to;
        line(request, devices.sendCommand(id, MCI_PLAY, flags, &p), "", 0);
    };
    const auto simple = [&](const std::string& request, UINT message, DWORD flags, int settle = 0) {
        MCI_GENERIC_PARMS p{};
        p.dwCallback = window;
        line(request, devices.sendCommand(id, message, flags, &p), "", settle);
    };

    MCI_OPEN_PARMS open{};
    open.dwCallback = window;
    open.lpstrDeviceType = "waveaudio";
    open.lpstrElementName = path.c_str();
    const MCIERROR opened = devices.sendCommand(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_WAIT, &open);
    id = open.wDeviceID;
    log.device = id;
    line("open waveaudio", opened, "", 0);
    if (opened != 0) {
        queue.unregisterWindow(window);
        return;
    }

    MCI_SET_PARMS set{};
    set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    line("set time format ms", devices.sendCommand(id, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, &set), "", 0);
    status("status length", MCI_STATUS_LENGTH);
    status("status mode", MCI_STATUS_MODE);
    status("status position", MCI_STATUS_POSITION);

    play("play notify", MCI_NOTIFY, 0, 0);
    status("status mode during play", MCI_STATUS_MODE, 500);
    status("status position during play ~", MCI_STATUS_POSITION);
    simple("pause", MCI_PAUSE, MCI_WAIT, 100);
    status("status mode after pause", MCI_STATUS_MODE);
    status("status position after pause ~", MCI_STATUS_POSITION, 200);
    simple("resume", MCI_RESUME, MCI_WAIT);
    status("status mode after resume", MCI_STATUS_MODE, 100);
    play("play notify again", MCI_NOTIFY, 0, 0);
    simple("stop", MCI_STOP, MCI_WAIT, 100);
    status("status mode after stop", MCI_STATUS_MODE);

    simple("seek to start", MCI_SEEK, MCI_SEEK_TO_START | MCI_WAIT);
    status("status position at start", MCI_STATUS_POSITION);
    simple("seek to end", MCI_SEEK, MCI_SEEK_TO_END | MCI_WAIT);
    status("status position at end", MCI_STATUS_POSITION);
    status("status mode at end", MCI_STATUS_MODE);
    play("play notify at end", MCI_NOTIFY, 0, 0);
    status("status mode after play at end", MCI_STATUS_MODE, 200);

    play("play from 1500 to 1800 notify", MCI_FROM | MCI_TO | MCI_NOTIFY, 1500, 1800);
    status("status mode after play to end", MCI_STATUS_MODE, 1200);
    status("status position after play to end", MCI_STATUS_POSITION);
    play("play from 1800 to 1500", MCI_FROM | MCI_TO | MCI_WAIT, 1800, 1500);
    play("play from 0 to 5000", MCI_FROM | MCI_TO | MCI_WAIT, 0, 5000);
    play("play from 1900 wait", MCI_FROM | MCI_WAIT, 1900, 0);
    status("status position after wait", MCI_STATUS_POSITION);

    simple("seek to start again", MCI_SEEK, MCI_SEEK_TO_START | MCI_WAIT);
    play("play notify before close", MCI_NOTIFY, 0, 0);
    simple("close notify", MCI_CLOSE, MCI_NOTIFY | MCI_WAIT, 300);
    queue.unregisterWindow(window);
}

}  // namespace mcitest

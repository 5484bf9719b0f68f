#include "tests/mcidev/media_fixture.h"

#include <unistd.h>

#include <cmath>
#include <fstream>
#include <random>
#include <stdexcept>
#include <thread>

namespace mcitest {

using namespace mci;

TempFolder::TempFolder() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("tolvane-media-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

}  // namespace

std::vector<std::uint8_t> waveBytes(const WaveShape& plan) {
    const std::uint32_t bytesPerSample = static_cast<std::uint32_t>(plan.bits / 8);
    const std::uint32_t blockAlign = bytesPerSample * static_cast<std::uint32_t>(plan.channels);
    const auto dataBytes = static_cast<std::uint32_t>(plan.frames * blockAlign);
    std::vector<std::uint8_t> out;
    out.reserve(44 + dataBytes + 1);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, 36 + dataBytes + (dataBytes & 1));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, 1);
    put16(out, static_cast<std::uint32_t>(plan.channels));
    put32(out, static_cast<std::uint32_t>(plan.sampleRate));
    put32(out, static_cast<std::uint32_t>(plan.sampleRate) * blockAlign);
    put16(out, blockAlign);
    put16(out, static_cast<std::uint32_t>(plan.bits));
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, dataBytes);
    const double full = std::ldexp(1.0, plan.bits - 1) - 1;
    for (std::uint64_t f = 0; f < plan.frames; ++f) {
        const double t = static_cast<double>(f) / plan.sampleRate;
        for (int c = 0; c < plan.channels; ++c) {
            const double v = plan.toneHz > 0 ? plan.level * std::sin(2 * M_PI * plan.toneHz * t + c) : 0.0;
            const auto s = static_cast<std::int64_t>(std::lround(v * full));
            if (plan.bits == 8) {
                out.push_back(static_cast<std::uint8_t>(s + 128));
            } else {
                for (std::uint32_t b = 0; b < bytesPerSample; ++b)
                    out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(s) >> (8 * b)));
            }
        }
    }
    if (dataBytes & 1) out.push_back(0);
    return out;
}

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) throw std::runtime_error("cannot write " + path.string());
}

std::filesystem::path writeWave(const std::filesystem::path& path, const WaveShape& plan) {
    writeFile(path, waveBytes(plan));
    return path;
}

bool drainUntil(ui::MessageQueue& queue, const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        queue.drain();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void drainFor(ui::MessageQueue& queue, std::chrono::milliseconds duration) {
    drainUntil(queue, [] { return false; }, duration);
}

MCIERROR Commands::open(const char* type, const std::string& element, MCIDEVICEID& id, DWORD extraFlags,
                        DWORD_PTR callback) {
    MCI_OPEN_PARMS p{};
    p.dwCallback = callback;
    DWORD flags = MCI_WAIT | extraFlags;
    if (type != nullptr) {
        p.lpstrDeviceType = type;
        flags |= MCI_OPEN_TYPE;
    }
    if (!element.empty()) {
        p.lpstrElementName = element.c_str();
        flags |= MCI_OPEN_ELEMENT;
    }
    p.wDeviceID = 0xDEAD;
    const MCIERROR result = devices_.sendCommand(0, MCI_OPEN, flags, &p);
    id = p.wDeviceID;
    return result;
}

MCIERROR Commands::close(MCIDEVICEID id, DWORD flags, DWORD_PTR callback) {
    MCI_GENERIC_PARMS p{callback};
    return devices_.sendCommand(id, MCI_CLOSE, flags, &p);
}

MCIERROR Commands::play(MCIDEVICEID id, DWORD_PTR callback, DWORD flags, DWORD from, DWORD to) {
    MCI_PLAY_PARMS p{callback, from, to};
    return devices_.sendCommand(id, MCI_PLAY, flags, &p);
}

MCIERROR Commands::simple(MCIDEVICEID id, UINT message, DWORD flags, DWORD_PTR callback) {
    MCI_GENERIC_PARMS p{callback};
    return devices_.sendCommand(id, message, flags, &p);
}

MCIERROR Commands::seek(MCIDEVICEID id, DWORD flags, DWORD to, DWORD_PTR callback) {
    MCI_SEEK_PARMS p{callback, to};
    return devices_.sendCommand(id, MCI_SEEK, flags, &p);
}

MCIERROR Commands::setTimeFormat(MCIDEVICEID id, DWORD format, DWORD flags, DWORD_PTR callback) {
    MCI_SET_PARMS p{callback, format, 0};
    return devices_.sendCommand(id, MCI_SET, MCI_SET_TIME_FORMAT | flags, &p);
}

MCIERROR Commands::status(MCIDEVICEID id, DWORD item, DWORD_PTR& value, DWORD extraFlags, DWORD track) {
    MCI_STATUS_PARMS p{};
    p.dwItem = item;
    p.dwTrack = track;
    p.dwReturn = value;
    const MCIERROR result = devices_.sendCommand(id, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT | extraFlags, &p);
    value = p.dwReturn;
    return result;
}

DWORD_PTR Commands::statusOr(MCIDEVICEID id, DWORD item, DWORD extraFlags, DWORD track) {
    DWORD_PTR value = ~DWORD_PTR{0};
    return status(id, item, value, extraFlags, track) == 0 ? value : ~DWORD_PTR{0};
}

MCIERROR Commands::caps(MCIDEVICEID id, DWORD item, DWORD& value) {
    MCI_GETDEVCAPS_PARMS p{};
    p.dwItem = item;
    p.dwReturn = value;
    const MCIERROR result = devices_.sendCommand(id, MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM | MCI_WAIT, &p);
    value = p.dwReturn;
    return result;
}

}  // namespace mcitest

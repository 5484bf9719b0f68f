// Renders the transport bar in its typical states into one PNG, for looking at it
// without the program:  render_transport_bar out.png [scale]
// The scale is the screen's (1, 1.5, 2...): the bar is drawn at that density.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "mci/media_player.h"
#include "tests/fakes/scripted_device.h"
#include "ui/canvas.h"

namespace {

using namespace mci;

std::uint32_t crc32(const std::uint8_t* data, std::size_t n, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putBE(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void chunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& body) {
    putBE(out, static_cast<std::uint32_t>(body.size()));
    std::vector<std::uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    putBE(out, crc32(typed.data(), typed.size()));
}

// An RGB PNG whose image data is stored without compression.
std::vector<std::uint8_t> png(const ui::Bitmap& image) {
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < image.height(); ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < image.width(); ++x) {
            const ui::Color c = image.pixel(x, y);
            raw.insert(raw.end(), {c.r, c.g, c.b});
        }
    }
    std::vector<std::uint8_t> z{0x78, 0x01};
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    for (std::size_t at = 0; at < raw.size(); at += 65535) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        z.push_back(at + n == raw.size() ? 1 : 0);  // stored block, final or not
        z.push_back(static_cast<std::uint8_t>(n));
        z.push_back(static_cast<std::uint8_t>(n >> 8));
        z.push_back(static_cast<std::uint8_t>(~n));
        z.push_back(static_cast<std::uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                 raw.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    putBE(z, (b << 16) | a);

    std::vector<std::uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    putBE(header, static_cast<std::uint32_t>(image.width()));
    putBE(header, static_cast<std::uint32_t>(image.height()));
    header.insert(header.end(), {8, 2, 0, 0, 0});
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", z);
    chunk(out, "IEND", {});
    return out;
}

struct Scene {
    const char* what;
    std::function<void(TMediaPlayer&, fakes::ScriptedDevice&)> setUp;
    bool programBar;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png [scale]\n", argv[0]);
        return 2;
    }
    const double scale = argc > 2 ? std::max(1.0, std::atof(argv[2])) : 1.0;
    auto toDevice = [scale](int v) { return static_cast<int>(std::lround(v * scale)); };

    const std::vector<Scene> scenes = {
        {"no device: all disabled", nullptr, true},
        {"MIDI file open",
         [](TMediaPlayer& p, fakes::ScriptedDevice&) {
             p.setDeviceType(dtSequencer);
             p.setFileName("reveille.mid");
             p.open();
         },
         true},
        {"CD playing, focus on Pause",
         [](TMediaPlayer& p, fakes::ScriptedDevice& d) {
             d.profiles["CDAudio"].mode = MCI_MODE_PLAY;
             p.setDeviceType(dtCDAudio);
             p.open();
             p.focusChanged(true);
             p.keyDown(ui::Key::Right);
         },
         true},
        {"Play held down",
         [](TMediaPlayer& p, fakes::ScriptedDevice&) {
             p.setAutoEnable(false);
             p.focusChanged(true);
             p.mouseDown({5, 5});
         },
         true},
        {"all nine, coloured", [](TMediaPlayer& p, fakes::ScriptedDevice&) { p.setAutoEnable(false); }, false},
        {"all nine, plain",
         [](TMediaPlayer& p, fakes::ScriptedDevice&) {
             p.setAutoEnable(false);
             p.setColoredButtons({});
         },
         false},
        {"all nine, control disabled",
         [](TMediaPlayer& p, fakes::ScriptedDevice&) {
             p.setAutoEnable(false);
             p.setEnabled(false);
         },
         false},
    };

    std::vector<ui::Bitmap> shots;
    int width = 0, height = 0;
    const int gap = toDevice(6);
    for (const Scene& s : scenes) {
        fakes::ScriptedDevice device;
        TMediaPlayer player(nullptr, "MediaPlayer", device);
        if (s.programBar) {
            player.setVisibleButtons({btPlay, btPause, btStop, btNext, btPrev, btEject});
            player.setBounds(0, 0, 169, 30);
        }
        if (s.setUp) s.setUp(player, device);
        ui::Bitmap shot(toDevice(player.width()), toDevice(player.height()), ui::colors::teal);
        ui::RasterCanvas canvas(shot, scale);
        player.paint(canvas);
        std::printf("%-28s %d x %d\n", s.what, shot.width(), shot.height());
        width = std::max(width, shot.width());
        height += shot.height() + gap;
        shots.push_back(std::move(shot));
    }

    ui::Bitmap sheet(width + 2 * gap, height + gap, ui::colors::btnFace);
    int y = gap;
    for (const ui::Bitmap& shot : shots) {
        for (int r = 0; r < shot.height(); ++r) {
            for (int c = 0; c < shot.width(); ++c) sheet.setPixel(gap + c, y + r, shot.pixel(c, r));
        }
        y += shot.height() + gap;
    }
    const std::vector<std::uint8_t> bytes = png(sheet);
    std::ofstream(argv[1], std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return 0;
}

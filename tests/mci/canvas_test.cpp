// The BMP reader of the bar's glyphs and the drawing primitives the bar relies on.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/canvas.h"

namespace {

using ui::Bitmap;
using ui::Color;
namespace colors = ui::colors;

// A 3 x 2 image as the glyphs are stored: 4 bits a pixel, a palette (here red and blue),
// the bottom row first, rows padded to four bytes.
// clang-format off
const std::vector<std::uint8_t> glyphBmp = {
    'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0,                           // file header, pixels at 62
    40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 4, 0,                         // size, width, height, depth
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0,  // two colours used
    0, 0, 255, 0, 255, 0, 0, 0,                                              // red, blue
    0x01, 0x00, 0, 0, 0x10, 0x10, 0, 0};
// clang-format on

TEST(DecodeBmp, ReadsTheGlyphFormat) {
    EXPECT_EQ(ui::decodeBmp(glyphBmp).pixels(), (std::vector<Color>{colors::blue, colors::red, colors::blue,  // top
                                                                    colors::red, colors::blue, colors::red}));
}

// Lines leave out their last point; bitmaps replace their transparent colour; every
// primitive clips at the edges; the focus rectangle dots every other pixel.
TEST(Raster, DrawsClipsAndDots) {
    Bitmap image{8, 6, colors::white};
    ui::RasterCanvas canvas{image};
    auto rows = [&] {
        std::vector<std::string> out;
        for (int y = 0; y < image.height(); ++y) {
            out.emplace_back();
            for (int x = 0; x < image.width(); ++x) out.back() += image.pixel(x, y) == colors::white ? '.' : '#';
        }
        return out;
    };
    const ui::Point corner[] = {{1, 4}, {1, 1}, {5, 1}};
    canvas.polyline(corner, colors::black);
    canvas.frameRect({-2, 3, 3, 7}, colors::black);
    canvas.fillRect({6, 4, 20, 20}, colors::black);
    const ui::Point far[] = {{-5, 0}, {20, 0}};
    canvas.polyline(far, colors::black);
    Bitmap glyph(2, 1, colors::olive);
    glyph.setPixel(1, 0, colors::black);
    canvas.drawBitmap(5, 2, glyph, colors::olive, colors::white);
    EXPECT_EQ(rows(),
              (std::vector<std::string>{"########", ".####...", ".#....#.", "###.....", ".##...##", "..#...##"}));
    image = Bitmap(8, 6, colors::white);
    canvas.drawFocusRect({1, 1, 7, 5});
    EXPECT_EQ(rows(),
              (std::vector<std::string>{"........", ".#.#.#..", "......#.", ".#......", "..#.#.#.", "........"}));
}

}  // namespace

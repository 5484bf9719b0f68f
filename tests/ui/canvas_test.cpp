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

// On a denser screen every pixel drawn covers its rounded share of device pixels, and a
// bitmap is drawn from its denser picture: as it is when the density matches, shrunk
// by whole blocks (3x to 1.5x) otherwise, its transparent colour taking the
// replacement before the blocks are averaged.
TEST(Raster, DrawsAtTheScreensDensity) {
    Bitmap glyph(2, 2, colors::olive);
    Bitmap twice(4, 4, colors::red);
    twice.setPixel(0, 0, colors::olive);
    glyph.addDenser(twice);
    Bitmap thrice(6, 6, colors::olive);
    for (int x = 3; x < 6; ++x) thrice.setPixel(x, 2, colors::black), thrice.setPixel(x, 3, colors::black);
    glyph.addDenser(thrice);
    auto draw = [&](double scale) {
        Bitmap image{7, 6, colors::white};
        ui::RasterCanvas canvas{image, scale};
        canvas.frameRect({0, 0, 2, 2}, colors::blue);
        canvas.drawBitmap(2, 2, glyph, colors::olive, colors::white);
        std::vector<std::string> out;
        for (int y = 0; y < image.height(); ++y) {
            out.emplace_back();
            for (int x = 0; x < image.width(); ++x) {
                const Color c = image.pixel(x, y);
                out.back() += c == colors::white          ? '.'
                              : c == colors::blue         ? 'b'
                              : c == colors::red          ? 'r'
                              : c == colors::black        ? 'k'
                              : c == Color{128, 128, 128} ? 'g'
                                                          : '?';
            }
        }
        return out;
    };
    EXPECT_EQ(draw(2), (std::vector<std::string>{"bbbb...", "bbbb...", "bbbb...", "bbbb...", ".....rr", "....rrr"}));
    EXPECT_EQ(draw(1.5), (std::vector<std::string>{"bbb....", "bbb....", "bbb....", ".......", "....gk.", "......."}));
    // Without denser pictures the bitmap is blown up, nothing left out.
    const Bitmap plain(2, 1, colors::red);
    Bitmap big{4, 2, colors::white};
    ui::RasterCanvas{big, 2}.drawBitmap(0, 0, plain, colors::olive, colors::white);
    EXPECT_EQ(big, Bitmap(4, 2, colors::red));
}

// The denser glyphs are embedded and found under the name of the ordinary one.
TEST(Resources, GlyphsComeWithTheirDenserPictures) {
    const Bitmap& play = ui::resourceBitmap("DI_MPPAUSE");
    ASSERT_EQ(play.width(), 12);
    for (int scale : {2, 3}) {
        ASSERT_NE(play.denser(scale), nullptr) << scale;
        EXPECT_EQ(play.denser(scale)->height(), 16 * scale);
    }
}

}  // namespace

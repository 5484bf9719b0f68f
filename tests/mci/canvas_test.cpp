// The drawing primitives the button bar relies on and the BMP reader of its glyphs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/canvas.h"

namespace {

using ui::Bitmap;
using ui::Color;
using ui::Point;
namespace colors = ui::colors;

// ---- BMP reading -------------------------------------------------------------------------------

void put32(std::vector<std::uint8_t>& d, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) d[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A BMP of the given depth with a 2-colour palette (red, blue) for indexed depths.
std::vector<std::uint8_t> makeBmp(int width, int height, int bits, const std::vector<std::uint8_t>& pixels) {
    const std::size_t paletteSize = bits == 24 ? 0 : 2 * 4;
    std::vector<std::uint8_t> d(14 + 40 + paletteSize);
    d[0] = 'B';
    d[1] = 'M';
    put32(d, 10, static_cast<std::uint32_t>(d.size()));
    put32(d, 14, 40);
    put32(d, 18, static_cast<std::uint32_t>(width));
    put32(d, 22, static_cast<std::uint32_t>(height));
    d[26] = 1;
    d[28] = static_cast<std::uint8_t>(bits);
    if (paletteSize) {
        put32(d, 46, 2);
        const std::uint8_t palette[] = {0, 0, 255, 0, 255, 0, 0, 0};  // red, blue (BGRx)
        std::copy(std::begin(palette), std::end(palette), d.begin() + 54);
    }
    d.insert(d.end(), pixels.begin(), pixels.end());
    return d;
}

TEST(DecodeBmp, ReadsEachDepthBottomUpOrTopDown) {
    // 3 x 2, 4-bit: rows padded to 4 bytes; bottom row first.
    const Bitmap four = ui::decodeBmp(makeBmp(3, 2, 4, {0x01, 0x00, 0, 0, 0x10, 0x10, 0, 0}));
    ASSERT_EQ(four.width(), 3);
    EXPECT_EQ(four.pixels(), (std::vector<Color>{colors::blue, colors::red, colors::blue,  // top row
                                                 colors::red, colors::blue, colors::red}));
    const Bitmap eight = ui::decodeBmp(makeBmp(2, -2, 8, {1, 0, 0, 0, 0, 1, 0, 0}));  // top-down
    ASSERT_EQ(eight.height(), 2);
    EXPECT_EQ(eight.pixels(), (std::vector<Color>{colors::blue, colors::red, colors::red, colors::blue}));
    EXPECT_EQ(ui::decodeBmp(makeBmp(1, 1, 24, {10, 20, 30, 0})).pixels(), (std::vector<Color>{Color{30, 20, 10}}));
}

TEST(DecodeBmp, RejectsWhatItCannotReadSafely) {
    const std::vector<std::uint8_t> good = makeBmp(2, 2, 8, {0, 1, 0, 0, 1, 0, 0, 0});
    ASSERT_FALSE(ui::decodeBmp(good).empty());
    auto broken = [&](auto change) {
        auto d = good;
        change(d);
        return ui::decodeBmp(d).empty();
    };
    EXPECT_TRUE(broken([](auto& d) { d.pop_back(); }));              // pixels cut short
    EXPECT_TRUE(broken([](auto& d) { d[0] = 'X'; }));                // not a BMP
    EXPECT_TRUE(broken([](auto& d) { put32(d, 30, 1); }));           // compressed
    EXPECT_TRUE(broken([](auto& d) { d[28] = 16; }));                // unsupported depth
    EXPECT_TRUE(broken([](auto& d) { d[62 + 1] = 7; }));             // index beyond the palette
    EXPECT_TRUE(broken([](auto& d) { put32(d, 18, 0x40000000); }));  // absurd width
    EXPECT_TRUE(broken([](auto& d) { put32(d, 22, 0x80000000); }));  // height of INT_MIN
    EXPECT_TRUE(broken([](auto& d) { put32(d, 10, 0xFFFFFFF0); }));  // pixels past the end
    EXPECT_TRUE(broken([](auto& d) { put32(d, 46, 300); }));         // palette too long
    EXPECT_TRUE(ui::decodeBmp({}).empty());
}

// ---- Raster canvas --------------------------------------------------------------------------------

class Raster : public ::testing::Test {
protected:
    Bitmap image{8, 6, colors::white};
    ui::RasterCanvas canvas{image};
    std::string row(int y) const {
        std::string s;
        for (int x = 0; x < image.width(); ++x) s += image.pixel(x, y) == colors::white ? '.' : '#';
        return s;
    }
};

TEST_F(Raster, PolylineLeavesOutTheLastPointAndEverythingClips) {
    const Point pts[] = {{1, 4}, {1, 1}, {5, 1}};
    canvas.polyline(pts, colors::black);
    EXPECT_EQ(row(1), ".####...");
    EXPECT_EQ(row(4), ".#......");
    EXPECT_EQ(row(5), "........");
    image = Bitmap(8, 6, colors::white);
    canvas.frameRect({-2, 1, 3, 4}, colors::black);
    EXPECT_EQ(row(2), "..#.....");
    EXPECT_EQ(row(3), "###.....");
    canvas.fillRect({6, 4, 20, 20}, colors::black);
    EXPECT_EQ(row(5), "......##");
    const Point far[] = {{-5, 0}, {20, 0}};
    canvas.polyline(far, colors::black);
    EXPECT_EQ(row(0), "########");
}

TEST_F(Raster, FocusRectangleDotsEveryOtherPixelAndUndoesItself) {
    const Bitmap before = image;
    canvas.drawFocusRect({1, 1, 7, 5});
    EXPECT_EQ(row(1), ".#.#.#..");  // where x + y is even
    EXPECT_EQ(row(2), "......#.");
    EXPECT_EQ(row(4), "..#.#.#.");
    canvas.drawFocusRect({1, 1, 7, 5});
    EXPECT_EQ(image, before);
}

TEST_F(Raster, BitmapTransparentColourTakesTheReplacement) {
    Bitmap glyph(2, 1, colors::olive);
    glyph.setPixel(1, 0, colors::red);
    canvas.drawBitmap(7, 0, glyph, colors::olive, colors::silver);  // half outside
    EXPECT_EQ(image.pixel(7, 0), colors::silver);
    canvas.drawBitmap(-1, 2, glyph, colors::olive, colors::silver);
    EXPECT_EQ(image.pixel(0, 2), colors::red);
}

}  // namespace

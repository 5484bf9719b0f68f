#include "ui/canvas.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>

#include "resources/resources.h"

namespace ui {

Bitmap::Bitmap(int width, int height, Color fill) : width_(std::max(width, 0)), height_(std::max(height, 0)) {
    if (width_ == 0 || height_ == 0) {
        width_ = height_ = 0;
        return;
    }
    pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill);
}

namespace {

// Largest image we agree to decode; the program's glyphs and icons are tiny.
constexpr std::int64_t maxDimension = 16384;
constexpr std::int64_t maxPixels = 16 * 1024 * 1024;

std::uint32_t read16(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint32_t>(d[at] | (d[at + 1] << 8));
}

std::uint32_t read32(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint32_t>(d[at]) | (static_cast<std::uint32_t>(d[at + 1]) << 8) |
           (static_cast<std::uint32_t>(d[at + 2]) << 16) | (static_cast<std::uint32_t>(d[at + 3]) << 24);
}

}  // namespace

Bitmap decodeBmp(std::span<const std::uint8_t> data) {
    constexpr std::size_t fileHeaderSize = 14;
    if (data.size() < fileHeaderSize + 12 || data[0] != 'B' || data[1] != 'M') return {};
    const std::uint32_t pixelOffset = read32(data, 10);
    const std::uint32_t infoSize = read32(data, fileHeaderSize);

    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t bitCount = 0;
    std::uint32_t colorsUsed = 0;
    std::size_t paletteEntrySize = 4;
    if (infoSize == 12) {
        // The small header: 16-bit sizes, three-byte palette entries.
        width = read16(data, fileHeaderSize + 4);
        height = static_cast<std::int16_t>(read16(data, fileHeaderSize + 6));
        if (read16(data, fileHeaderSize + 8) != 1) return {};
        bitCount = read16(data, fileHeaderSize + 10);
        paletteEntrySize = 3;
    } else if (infoSize >= 40 && infoSize <= 1024) {
        if (data.size() < fileHeaderSize + infoSize) return {};
        width = static_cast<std::int32_t>(read32(data, fileHeaderSize + 4));
        height = static_cast<std::int32_t>(read32(data, fileHeaderSize + 8));
        if (read16(data, fileHeaderSize + 12) != 1) return {};
        bitCount = read16(data, fileHeaderSize + 14);
        if (read32(data, fileHeaderSize + 16) != 0) return {};  // compressed
        colorsUsed = read32(data, fileHeaderSize + 32);
    } else {
        return {};
    }

    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0 || width > maxDimension || height > maxDimension || width * height > maxPixels) {
        return {};
    }
    if (bitCount != 4 && bitCount != 8 && bitCount != 24) return {};

    // Palette, right after the info header.
    std::vector<Color> palette;
    if (bitCount != 24) {
        const std::uint32_t maxColors = 1u << bitCount;
        const std::uint32_t count = colorsUsed == 0 ? maxColors : colorsUsed;
        if (count > maxColors) return {};
        const std::size_t start = fileHeaderSize + infoSize;
        if (start + std::size_t{count} * paletteEntrySize > data.size()) return {};
        palette.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t at = start + i * paletteEntrySize;
            palette.push_back(Color{data[at + 2], data[at + 1], data[at]});
        }
    }

    const std::size_t stride = ((static_cast<std::size_t>(width) * bitCount + 31) / 32) * 4;
    const std::size_t imageBytes = stride * static_cast<std::size_t>(height);
    if (pixelOffset > data.size() || imageBytes > data.size() - pixelOffset) return {};

    Bitmap bmp(static_cast<int>(width), static_cast<int>(height));
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : static_cast<int>(height) - 1 - row;
        const std::size_t line = pixelOffset + static_cast<std::size_t>(row) * stride;
        for (int x = 0; x < width; ++x) {
            if (bitCount == 24) {
                const std::size_t at = line + static_cast<std::size_t>(x) * 3;
                bmp.setPixel(x, y, Color{data[at + 2], data[at + 1], data[at]});
                continue;
            }
            std::uint32_t index;
            if (bitCount == 8) {
                index = data[line + static_cast<std::size_t>(x)];
            } else {
                const std::uint8_t pair = data[line + static_cast<std::size_t>(x) / 2];
                index = (x % 2 == 0) ? (pair >> 4) : (pair & 0x0F);
            }
            if (index >= palette.size()) return {};
            bmp.setPixel(x, y, palette[index]);
        }
    }
    return bmp;
}

const Bitmap& resourceBitmap(const std::string& name) {
    static std::mutex mutex;
    static std::map<std::string, Bitmap, std::less<>> cache;
    std::lock_guard lock(mutex);
    auto found = cache.find(name);
    if (found == cache.end()) {
        found = cache.emplace(name, decodeBmp(resources::find(name))).first;
    }
    return found->second;
}

void RasterCanvas::plot(int x, int y, Color c) {
    if (x < 0 || y < 0 || x >= target_.width() || y >= target_.height()) return;
    target_.setPixel(x, y, c);
}

void RasterCanvas::fillRect(const Rect& r, Color c) {
    const int left = std::max(r.left, 0);
    const int top = std::max(r.top, 0);
    const int right = std::min(r.right, target_.width());
    const int bottom = std::min(r.bottom, target_.height());
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) target_.setPixel(x, y, c);
    }
}

void RasterCanvas::frameRect(const Rect& r, Color c) {
    if (r.width() <= 0 || r.height() <= 0) return;
    for (int x = r.left; x < r.right; ++x) {
        plot(x, r.top, c);
        plot(x, r.bottom - 1, c);
    }
    for (int y = r.top; y < r.bottom; ++y) {
        plot(r.left, y, c);
        plot(r.right - 1, y, c);
    }
}

void RasterCanvas::polyline(std::span<const Point> points, Color c) {
    // Each segment is drawn from its start up to, but not including, its end; the
    // next segment starts on that end point, so only the very last point stays blank.
    for (std::size_t i = 1; i < points.size(); ++i) {
        int x = points[i - 1].x;
        int y = points[i - 1].y;
        const int x1 = points[i].x;
        const int y1 = points[i].y;
        const int dx = std::abs(x1 - x);
        const int dy = -std::abs(y1 - y);
        const int sx = x < x1 ? 1 : -1;
        const int sy = y < y1 ? 1 : -1;
        int err = dx + dy;
        while (x != x1 || y != y1) {
            plot(x, y, c);
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y += sy;
            }
        }
    }
}

void RasterCanvas::drawBitmap(int x, int y, const Bitmap& bmp, Color transparent, Color replacement) {
    for (int row = 0; row < bmp.height(); ++row) {
        for (int col = 0; col < bmp.width(); ++col) {
            const Color c = bmp.pixel(col, row);
            plot(x + col, y + row, c == transparent ? replacement : c);
        }
    }
}

void RasterCanvas::drawFocusRect(const Rect& r) {
    if (r.width() <= 0 || r.height() <= 0) return;
    // Inverts every other pixel of the frame, on a checkerboard fixed to the target,
    // so that drawing it twice restores what was there.
    auto invert = [this](int x, int y) {
        if (x < 0 || y < 0 || x >= target_.width() || y >= target_.height()) return;
        if ((x + y) % 2 != 0) return;
        const Color c = target_.pixel(x, y);
        target_.setPixel(x, y,
                         Color{static_cast<std::uint8_t>(255 - c.r), static_cast<std::uint8_t>(255 - c.g),
                               static_cast<std::uint8_t>(255 - c.b)});
    };
    for (int x = r.left; x < r.right; ++x) {
        invert(x, r.top);
        if (r.bottom - 1 != r.top) invert(x, r.bottom - 1);
    }
    for (int y = r.top + 1; y < r.bottom - 1; ++y) {
        invert(r.left, y);
        if (r.right - 1 != r.left) invert(r.right - 1, y);
    }
}

}  // namespace ui

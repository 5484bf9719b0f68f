#include "ui/canvas.h"

#include <algorithm>
#include <cmath>
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

const Bitmap* Bitmap::denser(int scale) const {
    for (const Bitmap& picture : denser_) {
        if (picture.width_ == scale * width_ && picture.height_ == scale * height_) return &picture;
    }
    return nullptr;
}

void Bitmap::addDenser(Bitmap picture) {
    if (empty() || picture.empty()) return;
    const int scale = picture.width_ / width_;
    if (scale < 2 || picture.width_ != scale * width_ || picture.height_ != scale * height_ || denser(scale)) return;
    picture.denser_.clear();
    denser_.push_back(std::move(picture));
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
        Bitmap bmp = decodeBmp(resources::find(name));
        for (const char* density : {"@2x", "@3x"}) bmp.addDenser(decodeBmp(resources::find(name + density)));
        found = cache.emplace(name, std::move(bmp)).first;
    }
    return found->second;
}

std::vector<std::string> resourceNames(std::string_view prefix) {
    std::vector<std::string> names;
    for (const resources::Entry& entry : resources::all()) {
        if (entry.name.starts_with(prefix)) names.emplace_back(entry.name);
    }
    return names;
}

namespace {

// The picture to draw for `bmp` at `scale`: one that is a whole multiple of the scale
// shrinks without blur (3x to 1.5x), else the smallest at least as dense, else the
// densest there is.
const Bitmap& pictureFor(const Bitmap& bmp, double scale) {
    const Bitmap* whole = nullptr;
    const Bitmap* larger = nullptr;
    const Bitmap* densest = &bmp;
    for (int k = 1; k <= 3; ++k) {
        const Bitmap* picture = k == 1 ? &bmp : bmp.denser(k);
        if (!picture) continue;
        densest = picture;
        if (k + 1e-9 < scale) continue;
        const double ratio = k / scale;
        if (!whole && std::abs(ratio - std::round(ratio)) < 1e-9) whole = picture;
        if (!larger) larger = picture;
    }
    return whole ? *whole : larger ? *larger : *densest;
}

// `source` resized to width x height, each new pixel the average of the part of the
// source it covers; pixels of colour `transparent` count as `replacement`.
Bitmap resample(const Bitmap& source, int width, int height, Color transparent, Color replacement) {
    Bitmap out(width, height);
    const double sx = static_cast<double>(source.width()) / width;
    const double sy = static_cast<double>(source.height()) / height;
    for (int y = 0; y < height; ++y) {
        const double y0 = y * sy, y1 = (y + 1) * sy;
        for (int x = 0; x < width; ++x) {
            const double x0 = x * sx, x1 = (x + 1) * sx;
            double r = 0, g = 0, b = 0, total = 0;
            for (int v = static_cast<int>(y0); v < std::min(static_cast<int>(std::ceil(y1)), source.height()); ++v) {
                const double wy = std::min(y1, v + 1.0) - std::max(y0, static_cast<double>(v));
                for (int u = static_cast<int>(x0); u < std::min(static_cast<int>(std::ceil(x1)), source.width()); ++u) {
                    const double w = wy * (std::min(x1, u + 1.0) - std::max(x0, static_cast<double>(u)));
                    Color c = source.pixel(u, v);
                    if (c == transparent) c = replacement;
                    r += w * c.r;
                    g += w * c.g;
                    b += w * c.b;
                    total += w;
                }
            }
            auto channel = [total](double sum) { return static_cast<std::uint8_t>(std::lround(sum / total)); };
            out.setPixel(x, y, Color{channel(r), channel(g), channel(b)});
        }
    }
    return out;
}

}  // namespace

RasterCanvas::RasterCanvas(Bitmap& target, double scale) : target_(target), scale_(scale > 0 ? scale : 1.0) {}

int RasterCanvas::device(int v) const { return static_cast<int>(std::lround(v * scale_)); }

void RasterCanvas::fillDevice(int left, int top, int right, int bottom, Color c) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, target_.width());
    bottom = std::min(bottom, target_.height());
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) target_.setPixel(x, y, c);
    }
}

void RasterCanvas::plot(int x, int y, Color c) { fillDevice(device(x), device(y), device(x + 1), device(y + 1), c); }

void RasterCanvas::fillRect(const Rect& r, Color c) {
    fillDevice(device(r.left), device(r.top), device(r.right), device(r.bottom), c);
}

void RasterCanvas::frameRect(const Rect& r, Color c) {
    if (r.width() <= 0 || r.height() <= 0) return;
    fillRect({r.left, r.top, r.right, r.top + 1}, c);
    fillRect({r.left, r.bottom - 1, r.right, r.bottom}, c);
    fillRect({r.left, r.top, r.left + 1, r.bottom}, c);
    fillRect({r.right - 1, r.top, r.right, r.bottom}, c);
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
    if (bmp.empty()) return;
    const int left = device(x), top = device(y);
    const int width = device(x + bmp.width()) - left, height = device(y + bmp.height()) - top;
    const Bitmap& picture = pictureFor(bmp, scale_);
    const Bitmap sized = picture.width() == width && picture.height() == height
                             ? Bitmap()
                             : resample(picture, width, height, transparent, replacement);
    const Bitmap& from = sized.empty() ? picture : sized;
    for (int row = 0; row < height; ++row) {
        for (int col = 0; col < width; ++col) {
            const Color c = from.pixel(col, row);
            fillDevice(left + col, top + row, left + col + 1, top + row + 1, c == transparent ? replacement : c);
        }
    }
}

void RasterCanvas::invert(int x, int y) {
    for (int v = std::max(device(y), 0); v < std::min(device(y + 1), target_.height()); ++v) {
        for (int u = std::max(device(x), 0); u < std::min(device(x + 1), target_.width()); ++u) {
            const Color c = target_.pixel(u, v);
            target_.setPixel(u, v,
                             Color{static_cast<std::uint8_t>(255 - c.r), static_cast<std::uint8_t>(255 - c.g),
                                   static_cast<std::uint8_t>(255 - c.b)});
        }
    }
}

void RasterCanvas::drawFocusRect(const Rect& r) {
    if (r.width() <= 0 || r.height() <= 0) return;
    // Inverts every other pixel of the frame, on a checkerboard fixed to the target,
    // so that drawing it twice restores what was there.
    auto dot = [this](int x, int y) {
        if ((x + y) % 2 == 0) invert(x, y);
    };
    for (int x = r.left; x < r.right; ++x) {
        dot(x, r.top);
        if (r.bottom - 1 != r.top) dot(x, r.bottom - 1);
    }
    for (int y = r.top + 1; y < r.bottom - 1; ++y) {
        dot(r.left, y);
        if (r.right - 1 != r.left) dot(r.right - 1, y);
    }
}

}  // namespace ui

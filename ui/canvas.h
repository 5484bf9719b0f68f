// Drawing surface for controls that paint themselves, and the bitmaps they draw.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ui/geometry.h"

namespace ui {

// A 24-bit image, rows top to bottom.
class Bitmap {
public:
    Bitmap() = default;
    Bitmap(int width, int height, Color fill = colors::black);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }
    Color pixel(int x, int y) const { return pixels_[static_cast<std::size_t>(y * width_ + x)]; }
    void setPixel(int x, int y, Color c) { pixels_[static_cast<std::size_t>(y * width_ + x)] = c; }
    const std::vector<Color>& pixels() const { return pixels_; }

    // The same picture drawn for a denser screen, `scale` (2 or 3) device pixels to each
    // of ours in both directions; null when none was made.
    const Bitmap* denser(int scale) const;
    // Adds such a picture; one whose size is not a whole multiple of ours is ignored.
    void addDenser(Bitmap picture);

    // Equal when the pixels are; the denser pictures do not count.
    friend bool operator==(const Bitmap& a, const Bitmap& b) {
        return a.width_ == b.width_ && a.height_ == b.height_ && a.pixels_ == b.pixels_;
    }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<Color> pixels_;
    std::vector<Bitmap> denser_;
};

// Parses an uncompressed 4-, 8- or 24-bit BMP file image; an empty bitmap when the
// data is not one.
Bitmap decodeBmp(std::span<const std::uint8_t> data);

// The program's named bitmap resources ("EN_MPPLAY", ...); an empty bitmap when the
// name is unknown. Pictures stored as "<name>@2x" and "<name>@3x" come along as its
// denser pictures.
const Bitmap& resourceBitmap(const std::string& name);
// The names of the program's bitmap resources that begin with `prefix`.
std::vector<std::string> resourceNames(std::string_view prefix);

// Everything is drawn in the pixels of the designed layout; a canvas on a denser
// screen maps them onto its device pixels itself.
class Canvas {
public:
    virtual ~Canvas() = default;

    // Fills r (right and bottom excluded).
    virtual void fillRect(const Rect& r, Color c) = 0;
    // A one-pixel frame just inside r.
    virtual void frameRect(const Rect& r, Color c) = 0;
    // Straight line segments through the points; like a pen on a classic device
    // context, the last point itself is not drawn.
    virtual void polyline(std::span<const Point> points, Color c) = 0;
    // Copies the bitmap with its top-left at (x, y); pixels of colour `transparent`
    // take the colour `replacement`. On a denser screen the bitmap's denser picture that
    // fits best is drawn.
    virtual void drawBitmap(int x, int y, const Bitmap& bmp, Color transparent, Color replacement) = 0;
    // A dotted focus rectangle just inside r.
    virtual void drawFocusRect(const Rect& r) = 0;
};

// A canvas that paints into a Bitmap; views blit it, tests read its pixels. At a scale
// other than 1 the target holds that many pixels for each pixel drawn (rounded to whole
// pixels, so that every line stays sharp).
class RasterCanvas : public Canvas {
public:
    explicit RasterCanvas(Bitmap& target, double scale = 1.0);

    void fillRect(const Rect& r, Color c) override;
    void frameRect(const Rect& r, Color c) override;
    void polyline(std::span<const Point> points, Color c) override;
    void drawBitmap(int x, int y, const Bitmap& bmp, Color transparent, Color replacement) override;
    void drawFocusRect(const Rect& r) override;

private:
    // The target's pixel where a pixel edge at v falls.
    int device(int v) const;
    void fillDevice(int left, int top, int right, int bottom, Color c);
    void plot(int x, int y, Color c);
    void invert(int x, int y);
    Bitmap& target_;
    double scale_;
};

}  // namespace ui

// Points, rectangles, colours and fonts shared by the window framework and its views.
#pragma once

#include <cstdint>
#include <string>

namespace ui {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// Left/top inclusive, right/bottom exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    Rect inflated(int d) const { return {left - d, top - d, right + d, bottom + d}; }
    Rect offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Color {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Color&, const Color&) = default;
};

namespace colors {
inline constexpr Color black{0, 0, 0};
inline constexpr Color white{255, 255, 255};
inline constexpr Color grey{128, 128, 128};
inline constexpr Color silver{192, 192, 192};
inline constexpr Color red{255, 0, 0};
inline constexpr Color lime{0, 255, 0};
inline constexpr Color yellow{255, 255, 0};
inline constexpr Color blue{0, 0, 255};
inline constexpr Color teal{0, 128, 128};
inline constexpr Color olive{128, 128, 0};

// The classic 3-D system colours the program's own drawing relies on.
inline constexpr Color btnFace = silver;
inline constexpr Color btnHighlight = white;
inline constexpr Color btnShadow = grey;
inline constexpr Color windowFrame = black;
inline constexpr Color windowText = black;
inline constexpr Color btnText = black;
inline constexpr Color window = white;
}  // namespace colors

enum class FontFamily { Sans, Serif };

// A font as designed: point size at 96 dpi; views draw it at pixelHeight() so the
// layout does not depend on the screen's resolution.
struct Font {
    FontFamily family = FontFamily::Sans;
    int pointSize = 8;
    bool bold = false;
    Color color = colors::windowText;

    int pixelHeight() const { return (pointSize * 96 + 36) / 72; }
    friend bool operator==(const Font&, const Font&) = default;
};

enum class Alignment { Left, Right, Center };

}  // namespace ui

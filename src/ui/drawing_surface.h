// DrawingSurface: the one drawing interface of the program. The graph painter, the
// schematic painter and the markup renderer draw only through it; the core implements
// it as an SVG document (SvgSurface), the desktop program on its painter (screen,
// printer, PDF).
//
// Coordinates are in pixels from the top-left corner of the picture, y downwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

struct Color {
    uint8_t R = 0, G = 0, B = 0;
    bool operator==(const Color&) const = default;
};

namespace colors {
inline constexpr Color Black{0, 0, 0};
inline constexpr Color White{255, 255, 255};
inline constexpr Color Grid{222, 222, 222};
inline constexpr Color Frame{80, 80, 80};
inline constexpr Color Text{20, 20, 20};
inline constexpr Color Marker{200, 60, 60};
} // namespace colors

enum class PenStyle { Solid, Dash, Dot };

enum FontStyle : uint8_t { FontRegular = 0, FontBold = 1, FontItalic = 2, FontUnderline = 4 };

struct PointD {
    double X = 0, Y = 0;
};

class DrawingSurface {
  public:
    virtual ~DrawingSurface() = default;

    // Size of the picture.
    virtual double Width() const = 0;
    virtual double Height() const = 0;

    // The pen draws lines, polylines and outlines; the brush fills.
    virtual void SetPen(Color color, double width = 1.0, PenStyle style = PenStyle::Solid) = 0;
    virtual void SetBrush(Color color) = 0;

    // Font by family name, size in pixels and FontStyle bits; text colour.
    virtual void SetFont(const std::string& name, double size, uint8_t style = FontRegular) = 0;
    virtual void SetTextColor(Color color) = 0;
    // Extent of a text in the current font.
    virtual double TextWidth(const std::string& text) = 0;
    virtual double TextHeight(const std::string& text) = 0;
    // Distance from the top of a text's extent down to its baseline, for text placed by
    // its baseline. Surfaces that know their font's ascent report it; the default is the
    // usual share of the line height of a sans-serif face.
    virtual double TextAscent(const std::string& text) { return 0.8 * TextHeight(text); }
    // A text (UTF-8) with the top-left corner of its extent at (x, y).
    virtual void TextOut(double x, double y, const std::string& text) = 0;

    virtual void Line(double x1, double y1, double x2, double y2) = 0;
    virtual void Polyline(const std::vector<PointD>& points) = 0;
    // Outline of a rectangle or of the ellipse inscribed in it, with the pen.
    virtual void Rectangle(double x1, double y1, double x2, double y2) = 0;
    virtual void Ellipse(double x1, double y1, double x2, double y2) = 0;
    // A rectangle filled with the brush, without outline.
    virtual void FillRect(double x1, double y1, double x2, double y2) = 0;

    // Drawing is limited to the rectangle until ClearClip.
    virtual void SetClip(double x1, double y1, double x2, double y2) = 0;
    virtual void ClearClip() = 0;
};

} // namespace velmora

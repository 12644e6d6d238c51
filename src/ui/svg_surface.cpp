#include "ui/svg_surface.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace velmora {

namespace {

// Advance widths of the printable ASCII characters 32..126 in the common sans-serif
// face, in thousandths of the font size.
constexpr std::array<int, 95> kAdvance = {
    278,  278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278, // space .. /
    556,  556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556, // 0 .. ?
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778, // @ .. O
    667,  778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556, // P .. _
    333,  556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556, // ` .. o
    556,  556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584};     // p .. ~
constexpr int kOtherAdvance = 556;   // a character outside ASCII
constexpr double kBoldFactor = 1.06; // bold runs a little wider
constexpr double kAscent = 0.905;    // baseline below the top of the text, em
constexpr double kLineHeight = 1.15; // height of a line of text, em

// A coordinate or size as text: two decimals, trailing zeros dropped.
std::string Num(double v) {
    if (!std::isfinite(v)) v = 0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string s = buf;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

std::string Hex(Color c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.R, c.G, c.B);
    return buf;
}

bool Finite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// Length in bytes of the well-formed UTF-8 sequence at s[i] (0 when malformed).
size_t Utf8Length(const std::string& s, size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    const unsigned char c1 = n > 1 ? static_cast<unsigned char>(s[i + 1]) : 0;
    if (n == 2 && c < 0xC2) return 0;                // overlong
    if (n == 3 && c == 0xE0 && c1 < 0xA0) return 0;  // overlong
    if (n == 3 && c == 0xED && c1 >= 0xA0) return 0; // surrogate halves
    if (n == 3 && c == 0xEF && c1 == 0xBF && (static_cast<unsigned char>(s[i + 2]) & 0xFE) == 0xBE)
        return 0; // U+FFFE, U+FFFF: not characters in XML
    if (n == 4 && (c > 0xF4 || (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 >= 0x90))) return 0;
    return n;
}

} // namespace

std::string XmlEscape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = Utf8Length(text, i);
        if (n == 0) {
            out += '?';
            ++i;
            continue;
        }
        if (n > 1) {
            out.append(text, i, n);
            i += n;
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out +=
                (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F ? '?' : static_cast<char>(c);
        }
        ++i;
    }
    return out;
}

SvgSurface::SvgSurface(double width, double height)
    : width_(std::isfinite(width) && width > 0 ? width : 1),
      height_(std::isfinite(height) && height > 0 ? height : 1) {}

void SvgSurface::SetPen(Color color, double width, PenStyle style) {
    pen_ = color;
    penWidth_ = std::isfinite(width) && width > 0 ? width : 1;
    penStyle_ = style;
}

void SvgSurface::SetBrush(Color color) {
    brush_ = color;
}

void SvgSurface::SetFont(const std::string& name, double size, uint8_t style) {
    fontName_ = name;
    fontSize_ = std::isfinite(size) && size > 0 ? size : 12;
    fontStyle_ = style;
}

void SvgSurface::SetTextColor(Color color) {
    textColor_ = color;
}

double SvgSurface::TextWidth(const std::string& text) {
    double units = 0;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = std::max<size_t>(Utf8Length(text, i), 1);
        units += (n == 1 && c >= 32 && c <= 126) ? kAdvance[c - 32] : kOtherAdvance;
        i += n;
    }
    const double bold = (fontStyle_ & FontBold) ? kBoldFactor : 1.0;
    return units / 1000.0 * fontSize_ * bold;
}

double SvgSurface::TextHeight(const std::string&) {
    return kLineHeight * fontSize_;
}

double SvgSurface::TextAscent(const std::string&) {
    return kAscent * fontSize_;
}

std::string SvgSurface::StrokeAttributes() const {
    std::string a = " fill=\"none\" stroke=\"" + Hex(pen_) + "\" stroke-width=\"" + Num(penWidth_) + "\"";
    if (penStyle_ == PenStyle::Dash) a += " stroke-dasharray=\"6,4\"";
    if (penStyle_ == PenStyle::Dot) a += " stroke-dasharray=\"1.5,3\"";
    return a;
}

void SvgSurface::TextOut(double x, double y, const std::string& text) {
    if (!Finite({x, y}) || text.empty()) return;
    body_ << "<text x=\"" << Num(x) << "\" y=\"" << Num(y + kAscent * fontSize_) << "\" font-family=\""
          << XmlEscape(fontName_) << ", Helvetica, Arial, sans-serif\" font-size=\"" << Num(fontSize_)
          << "\"";
    if (fontStyle_ & FontBold) body_ << " font-weight=\"bold\"";
    if (fontStyle_ & FontItalic) body_ << " font-style=\"italic\"";
    if (fontStyle_ & FontUnderline) body_ << " text-decoration=\"underline\"";
    body_ << " fill=\"" << Hex(textColor_) << "\" xml:space=\"preserve\">" << XmlEscape(text) << "</text>\n";
}

void SvgSurface::Line(double x1, double y1, double x2, double y2) {
    if (!Finite({x1, y1, x2, y2})) return;
    body_ << "<line x1=\"" << Num(x1) << "\" y1=\"" << Num(y1) << "\" x2=\"" << Num(x2) << "\" y2=\""
          << Num(y2) << "\"" << StrokeAttributes() << "/>\n";
}

void SvgSurface::Polyline(const std::vector<PointD>& points) {
    // A point that is not finite breaks the line into separate runs.
    std::string run;
    int count = 0;
    auto flush = [&] {
        if (count >= 2) body_ << "<polyline points=\"" << run << "\"" << StrokeAttributes() << "/>\n";
        run.clear();
        count = 0;
    };
    for (const auto& p : points) {
        if (!Finite({p.X, p.Y})) {
            flush();
            continue;
        }
        if (count) run += ' ';
        run += Num(p.X) + "," + Num(p.Y);
        ++count;
    }
    flush();
}

void SvgSurface::Rectangle(double x1, double y1, double x2, double y2) {
    if (!Finite({x1, y1, x2, y2})) return;
    body_ << "<rect x=\"" << Num(std::min(x1, x2)) << "\" y=\"" << Num(std::min(y1, y2)) << "\" width=\""
          << Num(std::fabs(x2 - x1)) << "\" height=\"" << Num(std::fabs(y2 - y1)) << "\""
          << StrokeAttributes() << "/>\n";
}

void SvgSurface::Ellipse(double x1, double y1, double x2, double y2) {
    if (!Finite({x1, y1, x2, y2})) return;
    body_ << "<ellipse cx=\"" << Num((x1 + x2) / 2) << "\" cy=\"" << Num((y1 + y2) / 2) << "\" rx=\""
          << Num(std::fabs(x2 - x1) / 2) << "\" ry=\"" << Num(std::fabs(y2 - y1) / 2) << "\""
          << StrokeAttributes() << "/>\n";
}

void SvgSurface::FillRect(double x1, double y1, double x2, double y2) {
    if (!Finite({x1, y1, x2, y2})) return;
    body_ << "<rect x=\"" << Num(std::min(x1, x2)) << "\" y=\"" << Num(std::min(y1, y2)) << "\" width=\""
          << Num(std::fabs(x2 - x1)) << "\" height=\"" << Num(std::fabs(y2 - y1)) << "\" fill=\""
          << Hex(brush_) << "\" stroke=\"none\"/>\n";
}

void SvgSurface::SetClip(double x1, double y1, double x2, double y2) {
    ClearClip();
    if (!Finite({x1, y1, x2, y2})) return;
    const std::string id = "clip" + std::to_string(++clipCount_);
    defs_ << "<clipPath id=\"" << id << "\"><rect x=\"" << Num(std::min(x1, x2)) << "\" y=\""
          << Num(std::min(y1, y2)) << "\" width=\"" << Num(std::fabs(x2 - x1)) << "\" height=\""
          << Num(std::fabs(y2 - y1)) << "\"/></clipPath>\n";
    body_ << "<g clip-path=\"url(#" << id << ")\">\n";
    clipOpen_ = true;
}

void SvgSurface::ClearClip() {
    if (!clipOpen_) return;
    body_ << "</g>\n";
    clipOpen_ = false;
}

std::string SvgSurface::Document() const {
    std::ostringstream doc;
    doc << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" << Num(width_)
        << "\" height=\"" << Num(height_) << "\" viewBox=\"0 0 " << Num(width_) << " " << Num(height_)
        << "\">\n";
    const std::string defs = defs_.str();
    if (!defs.empty()) doc << "<defs>\n" << defs << "</defs>\n";
    doc << body_.str();
    if (clipOpen_) doc << "</g>\n";
    doc << "</svg>\n";
    return doc.str();
}

} // namespace velmora

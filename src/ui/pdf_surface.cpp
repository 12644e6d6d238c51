#include "ui/pdf_surface.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace velmora {

namespace {

// Advance widths of the characters 32..126 of Helvetica and Helvetica-Bold (the AFM files
// of the standard fonts), in 1/1000 em. The oblique faces share their upright widths.
constexpr std::array<int, 95> kHelvetica = {
    278,  278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278, // space .. /
    556,  556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556, // 0 .. ?
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778, // @ .. O
    667,  778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556, // P .. _
    333,  556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556, // ` .. o
    556,  556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584};     // p .. ~
constexpr std::array<int, 95> kHelveticaBold = {
    278, 333, 474, 556, 556, 889, 722, 238, 333, 333, 389, 584, 278, 333, 278, 278, // space .. /
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 333, 333, 584, 584, 584, 611, // 0 .. ?
    975, 722, 722, 722, 722, 667, 611, 778, 722, 278, 556, 722, 611, 833, 722, 778, // @ .. O
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 333, 278, 333, 584, 556, // P .. _
    333, 556, 611, 556, 611, 556, 333, 611, 611, 278, 278, 556, 278, 889, 611, 611, // ` .. o
    611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500, 389, 280, 389, 584};     // p .. ~
constexpr int kCourierAdvance = 600;
// Characters above ASCII not listed below: never narrower measured than printed.
constexpr int kOtherAdvance = 1000;

// Widths of the Latin-1 signs the program writes (the same in both weights but ±, which
// bold does not change either); any other character counts as the widest, 1 em.
int OtherAdvance(unsigned cp) {
    switch (cp) {
    case 0xB0:
        return 400; // degree
    case 0xB1:
    case 0xD7:
        return 584; // plus-minus, multiplication
    case 0xB2:
    case 0xB3:
        return 333; // superscript two, three
    case 0xB5:
        return 611; // micro (bold; 556 upright)
    case 0xB7:
        return 278; // middle dot
    case 0xBA:
        return 365; // masculine ordinal
    case 0xBD:
        return 834; // one half
    default:
        return kOtherAdvance;
    }
}
constexpr double kAscent = 0.905;    // baseline below the top of a line, em (Helvetica's ascender)
constexpr double kLineHeight = 1.15; // height of a line of text, em

// Code points of a UTF-8 text; a malformed byte stands for itself as Latin-1.
std::vector<unsigned> CodePoints(const std::string& s) {
    std::vector<unsigned> out;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        bool ok = n > 0 && i + n <= s.size();
        unsigned cp = n == 1 ? c : n == 2 ? (c & 0x1Fu) : n == 3 ? (c & 0x0Fu) : (c & 0x07u);
        for (size_t k = 1; ok && k < n; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            ok = (t & 0xC0) == 0x80;
            cp = (cp << 6) | (t & 0x3Fu);
        }
        if (!ok) {
            out.push_back(c);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += n;
    }
    return out;
}

// The WinAnsiEncoding byte of a code point; '?' for one the encoding lacks.
unsigned char WinAnsi(unsigned cp) {
    if (cp >= 0x20 && cp < 0x7F) return static_cast<unsigned char>(cp);
    if (cp >= 0xA0 && cp <= 0xFF) return static_cast<unsigned char>(cp);
    switch (cp) {
    case 0x2013:
        return 0x96; // en dash
    case 0x2014:
        return 0x97; // em dash
    case 0x2018:
        return 0x91;
    case 0x2019:
        return 0x92;
    case 0x201C:
        return 0x93;
    case 0x201D:
        return 0x94;
    case 0x2022:
        return 0x95; // bullet
    case 0x2026:
        return 0x85; // ellipsis
    case 0x20AC:
        return 0x80; // euro
    default:
        return '?';
    }
}

// Characters the standard fonts lack, written as a reader would say them; every other
// character outside WinAnsiEncoding prints as '?'.
std::string Spelled(const std::string& text) {
    static const std::pair<const char*, const char*> kSpelled[] = {
        {"\u03A3", "Sum"}, {"\u221A", "sqrt"}, {"\u03A9", "Ohm"},   {"\u03BC", "\u00B5"},
        {"\u03C0", "pi"},  {"\u03C9", "w"},    {"\u0394", "delta "}};
    std::string out = text;
    for (const auto& [from, to] : kSpelled)
        for (size_t at = 0; (at = out.find(from, at)) != std::string::npos; at += std::string(to).size())
            out.replace(at, std::string(from).size(), to);
    return out;
}

// A number for the content stream: three decimals at most, never NaN or -0.
std::string Num(double v) {
    if (!std::isfinite(v)) v = 0;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    std::string s = buf;
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

std::string Rgb(Color c) {
    return Num(c.R / 255.0) + " " + Num(c.G / 255.0) + " " + Num(c.B / 255.0);
}

// A PDF literal string of the text in WinAnsiEncoding.
std::string Literal(const std::string& text) {
    std::string out = "(";
    for (unsigned cp : CodePoints(Spelled(text))) {
        const unsigned char b = WinAnsi(cp);
        if (b == '(' || b == ')' || b == '\\') {
            out += '\\';
            out += static_cast<char>(b);
        } else if (b >= 0x80) {
            char oct[8];
            std::snprintf(oct, sizeof oct, "\\%03o", b);
            out += oct;
        } else {
            out += static_cast<char>(b);
        }
    }
    return out + ")";
}

bool Finite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

} // namespace

double StandardFontAdvance(const std::string& text, bool bold, bool mono) {
    double w = 0;
    for (unsigned cp : CodePoints(Spelled(text))) {
        if (mono)
            w += kCourierAdvance;
        else if (cp >= 32 && cp < 127)
            w += (bold ? kHelveticaBold : kHelvetica)[cp - 32];
        else
            w += OtherAdvance(cp);
    }
    return w;
}

PdfSurface::PdfSurface(double width, double height)
    : width_(std::isfinite(width) && width > 0 ? width : kA4Width),
      height_(std::isfinite(height) && height > 0 ? height : kA4Height) {}

std::string PdfSurface::Y(double y) const {
    return Num(height_ - y);
}

void PdfSurface::SetPen(Color color, double width, PenStyle style) {
    pen_ = color;
    penWidth_ = std::isfinite(width) && width > 0 ? width : 1;
    penStyle_ = style;
    strokeSet_ = false;
}

void PdfSurface::SetBrush(Color color) {
    brush_ = color;
    fillSet_ = false;
}

void PdfSurface::SetFont(const std::string& name, double size, uint8_t style) {
    std::string lower;
    for (char c : name)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    mono_ = lower.find("courier") != std::string::npos || lower.find("mono") != std::string::npos;
    fontSize_ = std::isfinite(size) && size > 0 ? size : 12;
    fontStyle_ = style;
}

void PdfSurface::SetTextColor(Color color) {
    textColor_ = color;
}

int PdfSurface::FontIndex() const {
    const bool bold = fontStyle_ & FontBold, italic = fontStyle_ & FontItalic;
    if (mono_) return bold ? 6 : 5;
    return 1 + (bold ? 1 : 0) + (italic ? 2 : 0);
}

double PdfSurface::TextWidth(const std::string& text) {
    return StandardFontAdvance(text, fontStyle_ & FontBold, mono_) * fontSize_ / 1000.0;
}

double PdfSurface::TextHeight(const std::string&) {
    return kLineHeight * fontSize_;
}

double PdfSurface::TextAscent(const std::string&) {
    return kAscent * fontSize_;
}

void PdfSurface::Stroke() {
    if (strokeSet_) return;
    page_ << Rgb(pen_) << " RG " << Num(penWidth_) << " w ";
    switch (penStyle_) {
    case PenStyle::Solid:
        page_ << "[] 0 d\n";
        break;
    case PenStyle::Dash:
        page_ << "[" << Num(4 * penWidth_) << " " << Num(2.5 * penWidth_) << "] 0 d\n";
        break;
    case PenStyle::Dot:
        page_ << "[" << Num(penWidth_) << " " << Num(2 * penWidth_) << "] 0 d\n";
        break;
    }
    strokeSet_ = true;
}

void PdfSurface::Fill() {
    if (fillSet_) return;
    page_ << Rgb(brush_) << " rg\n";
    fillSet_ = true;
}

void PdfSurface::TextOut(double x, double y, const std::string& text) {
    if (text.empty() || !Finite({x, y})) return;
    const double base = y + TextAscent(text);
    // The text colour is a fill colour in PDF: set it here and let the next fill set its own.
    page_ << "BT /F" << FontIndex() << " " << Num(fontSize_) << " Tf " << Rgb(textColor_) << " rg " << Num(x)
          << " " << Y(base) << " Td " << Literal(text) << " Tj ET\n";
    fillSet_ = false;
    if (fontStyle_ & FontUnderline) {
        const Color pen = pen_;
        const double width = penWidth_;
        const PenStyle style = penStyle_;
        SetPen(textColor_, std::max(0.5, fontSize_ / 16));
        Line(x, base + fontSize_ / 8, x + TextWidth(text), base + fontSize_ / 8);
        SetPen(pen, width, style);
    }
}

void PdfSurface::Line(double x1, double y1, double x2, double y2) {
    if (!Finite({x1, y1, x2, y2})) return;
    Stroke();
    page_ << Num(x1) << " " << Y(y1) << " m " << Num(x2) << " " << Y(y2) << " l S\n";
}

void PdfSurface::Polyline(const std::vector<PointD>& points) {
    // A non-finite point breaks the line, as a gap in a curve should.
    bool open = false;
    for (const PointD& p : points) {
        if (!Finite({p.X, p.Y})) {
            if (open) page_ << "S\n";
            open = false;
            continue;
        }
        if (!open) Stroke();
        page_ << Num(p.X) << " " << Y(p.Y) << (open ? " l\n" : " m\n");
        open = true;
    }
    if (open) page_ << "S\n";
}

void PdfSurface::Rectangle(double x1, double y1, double x2, double y2) {
    if (!Finite({x1, y1, x2, y2})) return;
    Stroke();
    page_ << Num(std::min(x1, x2)) << " " << Y(std::max(y1, y2)) << " " << Num(std::fabs(x2 - x1)) << " "
          << Num(std::fabs(y2 - y1)) << " re S\n";
}

void PdfSurface::Ellipse(double x1, double y1, double x2, double y2) {
    if (!Finite({x1, y1, x2, y2})) return;
    Stroke();
    // Four cubic Bezier quarters; 0.5523 is the control distance that makes a quarter of a
    // unit circle (4/3 (sqrt 2 - 1)).
    const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2, rx = std::fabs(x2 - x1) / 2,
                 ry = std::fabs(y2 - y1) / 2;
    const double k = 0.5522847498, kx = k * rx, ky = k * ry;
    auto pt = [&](double x, double y) { return Num(x) + " " + Y(y) + " "; };
    page_ << pt(cx + rx, cy) << "m\n"
          << pt(cx + rx, cy + ky) << pt(cx + kx, cy + ry) << pt(cx, cy + ry) << "c\n"
          << pt(cx - kx, cy + ry) << pt(cx - rx, cy + ky) << pt(cx - rx, cy) << "c\n"
          << pt(cx - rx, cy - ky) << pt(cx - kx, cy - ry) << pt(cx, cy - ry) << "c\n"
          << pt(cx + kx, cy - ry) << pt(cx + rx, cy - ky) << pt(cx + rx, cy) << "c S\n";
}

void PdfSurface::FillRect(double x1, double y1, double x2, double y2) {
    if (!Finite({x1, y1, x2, y2})) return;
    Fill();
    page_ << Num(std::min(x1, x2)) << " " << Y(std::max(y1, y2)) << " " << Num(std::fabs(x2 - x1)) << " "
          << Num(std::fabs(y2 - y1)) << " re f\n";
}

void PdfSurface::SetClip(double x1, double y1, double x2, double y2) {
    if (!Finite({x1, y1, x2, y2})) return;
    ClearClip();
    page_ << "q " << Num(std::min(x1, x2)) << " " << Y(std::max(y1, y2)) << " " << Num(std::fabs(x2 - x1))
          << " " << Num(std::fabs(y2 - y1)) << " re W n\n";
    clipped_ = true;
}

void PdfSurface::ClearClip() {
    if (!clipped_) return;
    // Q restores the colours and line state of the q: they are set again when next used.
    page_ << "Q\n";
    clipped_ = false;
    strokeSet_ = fillSet_ = false;
}

void PdfSurface::NewPage() {
    ClearClip();
    pages_.push_back(page_.str());
    page_.str("");
    page_.clear();
    strokeSet_ = fillSet_ = false;
}

std::string PdfSurface::Document() const {
    std::vector<std::string> contents = pages_;
    contents.push_back(page_.str() + (clipped_ ? "Q\n" : ""));
    const int n = static_cast<int>(contents.size());
    // Objects: 1 catalogue, 2 page tree, 3..8 fonts, then per page its page and its content.
    constexpr std::array<const char*, 6> kFonts = {"Helvetica",         "Helvetica-Bold",
                                                   "Helvetica-Oblique", "Helvetica-BoldOblique",
                                                   "Courier",           "Courier-Bold"};
    const int firstPage = 3 + static_cast<int>(kFonts.size());
    std::string doc = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;
    auto object = [&](const std::string& body) {
        offsets.push_back(doc.size());
        doc += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    };
    object("<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (int p = 0; p < n; ++p)
        kids += std::to_string(firstPage + 2 * p) + " 0 R ";
    object("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(n) + " >>");
    for (const char* f : kFonts)
        object(std::string("<< /Type /Font /Subtype /Type1 /BaseFont /") + f +
               " /Encoding /WinAnsiEncoding >>");
    std::string fonts = "<<";
    for (size_t f = 0; f < kFonts.size(); ++f)
        fonts += " /F" + std::to_string(f + 1) + " " + std::to_string(3 + f) + " 0 R";
    fonts += " >>";
    for (int p = 0; p < n; ++p) {
        object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + Num(width_) + " " + Num(height_) +
               "] /Resources << /Font " + fonts + " >> /Contents " + std::to_string(firstPage + 2 * p + 1) +
               " 0 R >>");
        object("<< /Length " + std::to_string(contents[p].size()) + " >>\nstream\n" + contents[p] +
               "endstream");
    }
    const size_t xref = doc.size();
    doc += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t o : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", o);
        doc += line;
    }
    doc += "trailer\n<< /Size " + std::to_string(offsets.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return doc;
}

} // namespace velmora

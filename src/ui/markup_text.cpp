#include "ui/markup_text.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

namespace velmora {
namespace {

struct NamedColour {
    std::string_view code;
    Color colour;
};

constexpr Color kRed{255, 0, 0}, kBlue{0, 0, 255}, kGreen{0, 128, 0}, kBlack{0, 0, 0}, kFuchsia{255, 0, 255},
    kLime{0, 255, 0}, kTeal{0, 128, 128}, kMaroon{128, 0, 0}, kAqua{0, 255, 255}, kNavy{0, 0, 128},
    kPurple{128, 0, 128}, kOlive{128, 128, 0}, kWhite{255, 255, 255}, kYellow{255, 255, 0};

constexpr NamedColour kTextColours[] = {
    {"\\red", kRed},    {"\\blu", kBlue},  {"\\grn", kGreen},  {"\\blk", kBlack},  {"\\pnk", kFuchsia},
    {"\\lgn", kLime},   {"\\tea", kTeal},  {"\\mar", kMaroon}, {"\\aqu", kAqua},   {"\\nav", kNavy},
    {"\\pur", kPurple}, {"\\oli", kOlive}, {"\\whi", kWhite},  {"\\yel", kYellow},
};
constexpr NamedColour kBackgrounds[] = {
    {"\\bre", kRed},   {"\\bye", kYellow},  {"\\bwh", kWhite},  {"\\bbl", kBlue},  {"\\bgr", kGreen},
    {"\\bbk", kBlack}, {"\\bfu", kFuchsia}, {"\\bli", kLime},   {"\\bte", kTeal},  {"\\bma", kMaroon},
    {"\\baq", kAqua},  {"\\bna", kNavy},    {"\\bpu", kPurple}, {"\\bol", kOlive},
};

struct NamedStyle {
    std::string_view code;
    uint8_t style;
};
constexpr NamedStyle kStyles[] = {
    {"\\bo1", FontBold},      {"\\unf", FontRegular},
    {"\\und", FontUnderline}, {"\\bld", static_cast<uint8_t>(FontBold | FontUnderline)},
    {"\\ita", FontItalic},    {"\\bit", static_cast<uint8_t>(FontBold | FontItalic)},
};

constexpr std::string_view kFonts[] = {"Arial", "Symbol", "Times New Roman", "Wingdings"};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The Symbol font's letters are the Greek alphabet in the order of the Latin one.
constexpr char32_t kSymbolUpper[26] = {0x391, 0x392, 0x3A7, 0x394, 0x395, 0x3A6, 0x393, 0x397, 0x399,
                                       0x3D1, 0x39A, 0x39B, 0x39C, 0x39D, 0x39F, 0x3A0, 0x398, 0x3A1,
                                       0x3A3, 0x3A4, 0x3A5, 0x3C2, 0x3A9, 0x39E, 0x3A8, 0x396};
constexpr char32_t kSymbolLower[26] = {0x3B1, 0x3B2, 0x3C7, 0x3B4, 0x3B5, 0x3C6, 0x3B3, 0x3B7, 0x3B9,
                                       0x3D5, 0x3BA, 0x3BB, 0x3BC, 0x3BD, 0x3BF, 0x3C0, 0x3B8, 0x3C1,
                                       0x3C3, 0x3C4, 0x3C5, 0x3D6, 0x3C9, 0x3BE, 0x3C8, 0x3B6};
// Symbol-font codes 0xA1..0xDF: signs, arrows and relations.
constexpr char32_t kSymbolHigh[0xE0 - 0xA1] = {
    0x3D2,  0x2032, 0x2264, 0x2044, 0x221E, 0x192,  0x2663, 0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191,
    0x2192, 0x2193, 0xB0,   0xB1,   0x2033, 0x2265, 0xD7,   0x221D, 0x2202, 0x2022, 0xF7,   0x2260, 0x2261,
    0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5, 0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,
    0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209, 0x2220, 0x2207, 0xAE,   0xA9,   0x2122,
    0x220F, 0x221A, 0x22C5, 0xAC,   0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3};
// Windows-1252 0x80..0x9F (0 where the code page has no character).
constexpr char32_t kCp1252[32] = {0x20AC, 0,      0x201A, 0x192,  0x201E, 0x2026, 0x2020, 0x2021,
                                  0x2C6,  0x2030, 0x160,  0x2039, 0x152,  0,      0x17D,  0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x2DC,  0x2122, 0x161,  0x203A, 0x153,  0,      0x17E,  0x178};

char32_t symbolCharacter(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return kSymbolUpper[c - 'A'];
    if (c >= 'a' && c <= 'z') return kSymbolLower[c - 'a'];
    if (c >= 0xA1 && c < 0xE0) return kSymbolHigh[c - 0xA1];
    switch (c) {
    case '"':
        return 0x2200;
    case '$':
        return 0x2203;
    case '\'':
        return 0x220B;
    case '*':
        return 0x2217;
    case '-':
        return 0x2212;
    case '@':
        return 0x2245;
    case '\\':
        return 0x2234;
    case '^':
        return 0x22A5;
    case '~':
        return 0x223C;
    case 0xE5:
        return 0x2211;
    case 0xF2:
        return 0x222B;
    default:
        return c;
    }
}

char32_t codePageCharacter(unsigned char c) {
    if (c >= 0x80 && c < 0xA0) return kCp1252[c - 0x80] ? kCp1252[c - 0x80] : U'?';
    return c;
}

bool isSymbolFont(std::string_view font) {
    return font == "Symbol";
}

// The text of a word in a font as UTF-8: Symbol letters and signs as Unicode, bytes
// above 127 of other fonts as Windows-1252 (a word made by a character code is one such
// byte; other words are UTF-8 already and pass unchanged).
std::string unicodeText(const std::string& word, std::string_view font, bool singleByte) {
    if (!isSymbolFont(font) && !singleByte) return word;
    std::string out;
    for (const char ch : word) {
        const auto c = static_cast<unsigned char>(ch);
        appendUtf8(out, isSymbolFont(font) ? symbolCharacter(c) : codePageCharacter(c));
    }
    return out;
}

// "\177 " and the like: the character whose three-digit code follows the backslash.
std::optional<std::string> characterCode(const std::string& word) {
    const auto b = word.find('\\');
    if (b == std::string::npos || b + 1 >= word.size() ||
        !std::isdigit(static_cast<unsigned char>(word[b + 1])))
        return std::nullopt;
    int code = 0;
    for (std::size_t i = b + 1;
         i < word.size() && i < b + 4 && std::isdigit(static_cast<unsigned char>(word[i])); ++i)
        code = code * 10 + (word[i] - '0');
    return std::string(1, static_cast<char>(static_cast<unsigned char>(std::clamp(code, 1, 255))));
}

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Walks the words of a text and applies the codes; draws on a surface, or, without
// one, writes the plain text.
class MarkupRun {
  public:
    MarkupRun(DrawingSurface* surface, const MarkupSubstitutions& subs, const MarkupLayout& layout,
              const MarkupDevice& device)
        : surface_(surface), subs_(subs), layout_(layout), device_(device) {
        fontSize_ = device.printing ? device.printerFontSize : 8;
    }

    double x = 0, y = 0; // absolute pen position
    std::string plain;

    void Run(const std::string& text) {
        std::size_t pos = 0;
        while (pos < text.size()) {
            const std::size_t start = text.find_first_not_of(' ', pos);
            const std::size_t space = start == std::string::npos ? std::string::npos : text.find(' ', start);
            std::string word;
            if (space == std::string::npos) {
                word = text.substr(pos);
                pos = text.size();
            } else {
                word = text.substr(pos, space - pos + 1);
                pos = space + 1;
            }
            Word(word);
        }
    }

  private:
    DrawingSurface* surface_;
    const MarkupSubstitutions& subs_;
    const MarkupLayout& layout_;
    const MarkupDevice& device_;

    std::string fontName_ = "Arial";
    double fontSize_ = 8; // points
    uint8_t style_ = FontRegular;
    Color colour_ = kBlack;
    std::optional<Color> background_; // none until a code sets one: words drawn without fill
    bool boxNext_ = false, newLinePending_ = false, raised_ = false, lowered_ = false;
    double savedX_ = 0, savedY_ = 0, savedSize_ = 8;
    std::string savedFont_ = "Arial";
    double raisedWidth_ = 0, loweredWidth_ = 0;

    static bool IsCode(const std::string& word) {
        return word.find('\\') != std::string::npos && word.size() == 5 && word[1] != '1';
    }

    void Word(const std::string& word) {
        if (!IsCode(word)) {
            Draw(word);
            return;
        }
        const std::string code = word.substr(word.find('\\'), 4);
        Code(code.size() == 4 ? code : std::string());
    }

    void Code(const std::string& code) {
        for (const auto& c : kTextColours)
            if (code == c.code) colour_ = c.colour;
        for (const auto& s : kStyles)
            if (code == s.code) style_ = s.style;
        for (const auto& c : kBackgrounds)
            if (code == c.code) background_ = c.colour;
        if (code == "\\btn") background_ = device_.buttonFace;
        if (code == "\\box") boxNext_ = true;
        // On a black-and-white printer every code leaves black text on white.
        if (device_.printing && !device_.colourPrinting) {
            colour_ = kBlack;
            background_ = kWhite;
        }
        if (code.size() == 4 && code.compare(0, 3, "\\xx") == 0 && code[3] >= '0' && code[3] <= '3') {
            fontName_ = kFonts[code[3] - '0'];
            return;
        }
        if (code == "\\bsp") {
            x -= SpaceWidth();
            if (!plain.empty() && plain.back() == ' ') plain.pop_back();
            return;
        }
        if (code == "\\par") {
            newLinePending_ = true;
            return;
        }
        if (code == "\\d11" || code == "\\d12") {
            const std::string& entry = subs_[code == "\\d11" ? 11 : 12];
            SizeAndRunCodes(entry.substr(0, entry.find(' ')));
            return;
        }
        SizeAndRunCodes(code);
    }

    // The codes that may also come from substitution entries 11 and 12.
    void SizeAndRunCodes(const std::string& code) {
        if (code.size() < 4 || code[0] != '\\') return;
        if (code.compare(0, 3, "\\d0") == 0 && isDigit(code[3])) {
            Draw(subs_[static_cast<std::size_t>(code[3] - '0')]);
            return;
        }
        if (code[1] == 'f' && isDigit(code[2]) && isDigit(code[3])) {
            fontSize_ = device_.printing ? 9 : (code[2] - '0') * 10 + (code[3] - '0');
            return;
        }
        if (code[1] == 'n') return; // \nNN and \nhN: accepted, no effect
        if (code.compare(0, 2, "\\y") == 0 && (code[2] == '+' || code[2] == '-') && isDigit(code[3])) {
            savedX_ = x;
            savedY_ = y;
            savedFont_ = fontName_;
            savedSize_ = fontSize_;
            const double shift = code[3] - '0';
            if (code[2] == '+') {
                loweredWidth_ = 0;
                lowered_ = true;
                y += shift;
            } else {
                raisedWidth_ = 0;
                raised_ = true;
                y -= shift;
            }
            return;
        }
        if (code == "\\rt0" || code == "\\rt1") {
            y = savedY_;
            fontName_ = savedFont_;
            fontSize_ = savedSize_;
            if (code == "\\rt0") {
                x = savedX_;
                raised_ = lowered_ = false;
            } else {
                x = savedX_ + std::max(raisedWidth_, loweredWidth_);
            }
        }
    }

    void ApplyFont() {
        if (!surface_) return;
        surface_->SetFont(fontName_, fontSize_ * device_.pixelsPerPoint, style_);
        surface_->SetTextColor(colour_);
    }

    double SpaceWidth() {
        if (!surface_) return 0;
        ApplyFont();
        return surface_->TextWidth(" ");
    }

    void Draw(const std::string& source) {
        const auto single = characterCode(source);
        const std::string& raw = single ? *single : source;
        if (!surface_) {
            DrawPlain(raw, single.has_value());
            return;
        }
        const std::string text = unicodeText(raw, fontName_, single.has_value());
        ApplyFont();
        const double width = surface_->TextWidth(text);
        const double height = surface_->TextHeight(text);
        if (x + width > layout_.right && raw.size() > 2) newLinePending_ = true;
        if (newLinePending_) {
            x = layout_.left + layout_.indent;
            y += height;
            if (y > layout_.clipBottom) y = 0;
            newLinePending_ = false;
        }
        if (raised_ || lowered_) {
            x -= surface_->TextWidth(" ");
            (raised_ ? raisedWidth_ : loweredWidth_) += width;
        }
        const double top = layout_.topAligned ? y : y - surface_->TextAscent(text);
        if (boxNext_) {
            surface_->SetPen(colour_);
            surface_->Rectangle(x - 6, top - 1, x + width + 4, top + height + 2);
            surface_->SetBrush(background_.value_or(kWhite));
            surface_->FillRect(x - 5, top, x + width + 3, top + height + 1);
            boxNext_ = false;
        } else if (background_) {
            surface_->SetBrush(*background_);
            surface_->FillRect(x, top, x + width, top + height);
        }
        // A printer sets Wingdings a sixth of its height lower than the screen does.
        const double lift = device_.printing && fontName_ == "Wingdings" ? height / 6 : 0;
        surface_->TextOut(x, top - lift, text);
        x += width;
    }

    void DrawPlain(const std::string& raw, bool single) {
        std::string text = unicodeText(raw, fontName_, single);
        if (newLinePending_) {
            while (!plain.empty() && plain.back() == ' ')
                plain.pop_back();
            plain += '\n';
            const auto first = text.find_first_not_of(' ');
            text = first == std::string::npos ? std::string() : text.substr(first);
            newLinePending_ = false;
        }
        if ((raised_ || lowered_) && !plain.empty() && plain.back() == ' ') plain.pop_back();
        if (boxNext_) {
            const auto first = text.find_first_not_of(' ');
            const auto last = text.find_last_not_of(' ');
            if (first != std::string::npos)
                text = text.substr(0, first) + "[" + text.substr(first, last - first + 1) + "]" +
                       text.substr(last + 1);
            boxNext_ = false;
        }
        plain += text;
    }
};

} // namespace

double DrawMarkupText(DrawingSurface& surface, const std::string& text, double& x,
                      const MarkupSubstitutions& subs, const MarkupLayout& layout, double& y,
                      const MarkupDevice& device) {
    MarkupRun run(&surface, subs, layout, device);
    const double passedX = x;
    run.x = x + layout.left;
    run.y = y;
    run.Run(text);
    x = run.x - layout.left;
    y = run.y;
    return run.x - passedX;
}

std::string MarkupPlainText(const std::string& text, const MarkupSubstitutions& subs) {
    static const MarkupLayout layout{};
    static const MarkupDevice device{};
    MarkupRun run(nullptr, subs, layout, device);
    run.Run(text);
    std::string& out = run.plain;
    // No line ends in blanks.
    std::string result;
    std::size_t start = 0;
    while (start <= out.size()) {
        std::size_t end = out.find('\n', start);
        if (end == std::string::npos) end = out.size();
        std::string line = out.substr(start, end - start);
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        result += line;
        if (end < out.size()) result += '\n';
        start = end + 1;
    }
    return result;
}

double DrawArrowMarker(DrawingSurface& surface, double x, double y, const std::string& label,
                       const MarkupDevice& device) {
    surface.SetFont("Arial", (device.printing ? 7 : 8) * device.pixelsPerPoint, FontRegular);
    surface.SetTextColor(kBlack);
    surface.SetPen(kBlack);
    surface.SetBrush(kBlack);
    surface.TextOut(x, y, label);
    const double h = surface.TextHeight(label);
    const double x0 = x + surface.TextWidth(label) + h / 4; // a gap of a quarter line after the label
    const double mid = y + h / 2;
    const double x1 = x0 + h;      // the horizontal stroke, one line height long
    const double bottom = mid + h; // the drop, as long again
    surface.Line(x0, mid, x1, mid);
    surface.Line(x1, mid, x1, bottom);
    // The head: a V one third of the text height wide pointing down at the drop's end.
    surface.Polyline({{x1 - h / 6, bottom - h / 3}, {x1, bottom}, {x1 + h / 6, bottom - h / 3}});
    return x1 + h / 6;
}

} // namespace velmora

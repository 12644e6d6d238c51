// The markup renderer through a recording surface whose metrics make every position a
// hand calculation: at 8 pixels a character is 4 wide, a line 10 high, the baseline 8
// below the top, and a space 4 wide.
#include <gtest/gtest.h>

#include "support/recording_surface.h"
#include "ui/markup_text.h"
#include "ui/svg_surface.h"

namespace velmora {
namespace {

using test::RecordingSurface;

MarkupDevice Screen() {
    MarkupDevice d;
    d.pixelsPerPoint = 1; // sizes in the log are then the point sizes
    return d;
}

MarkupLayout Layout(double left = 0, double right = 1000, double indent = 0, double clipBottom = 1000) {
    MarkupLayout l;
    l.left = left;
    l.right = right;
    l.indent = indent;
    l.clipBottom = clipBottom;
    return l;
}

struct Drawn {
    std::vector<std::string> log;
    std::vector<RecordingSurface::Text> texts;
    double x, y, moved;
};

Drawn Draw(const std::string& text, MarkupLayout layout = Layout(), double x = 0, double y = 20,
           const MarkupSubstitutions& subs = {}, MarkupDevice device = Screen()) {
    RecordingSurface s;
    const double moved = DrawMarkupText(s, text, x, subs, layout, y, device);
    return {s.log, s.texts, x, y, moved};
}

TEST(MarkupText, CharacterCodesAndCodeWords) {
    struct Case {
        const char* text;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        // The second character "1" makes "\177 " a character, not a code.
        {"a \\177 b", {"text 0,20 'a '", "text 8,20 '\u00B1'", "text 12,20 'b'"}},
        // A five-character code that means nothing draws nothing.
        {"a \\zzz b", {"text 0,20 'a '", "text 8,20 'b'"}},
        // A word with a backslash that is not five characters long is drawn.
        {"a \\zz b", {"text 0,20 'a '", "text 8,20 '\\zz '", "text 24,20 'b'"}},
        // Symbol letters are Greek; its character 177 is the plus-minus sign too.
        {"\\xx1 w W \\177 \\xx0 w",
         {"text 0,20 '\u03C9 '", "text 8,20 '\u03A9 '", "text 16,20 '\u00B1'", "text 20,20 'w'"}},
        // \bsp joins the next word to the previous one.
        {"f \\bsp 0", {"text 0,20 'f '", "text 4,20 '0'"}},
        // Size codes; \n and \nh codes are consumed without effect.
        {"\\f12 ab \\n10 \\nh1 c", {"text 0,20 'ab '", "text 18,20 'c'"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Draw(c.text).log, c.log) << c.text;
}

TEST(MarkupText, ColoursStylesAndFonts) {
    const Drawn d =
        Draw("\\red a \\bld b \\ita c \\unf \\nav d \\xx2 e \\xx3 f \\xx0 g \\bo1 \\bit h \\und i");
    ASSERT_EQ(d.texts.size(), 9u);
    const Color red{255, 0, 0}, navy{0, 0, 128};
    EXPECT_EQ(d.texts[0].colour, red);
    EXPECT_EQ(d.texts[0].style, FontRegular);
    EXPECT_EQ(d.texts[1].style, FontBold | FontUnderline);
    EXPECT_EQ(d.texts[2].style, FontItalic);
    EXPECT_EQ(d.texts[3].style, FontRegular);
    EXPECT_EQ(d.texts[3].colour, navy);
    EXPECT_EQ(d.texts[4].font, "Times New Roman");
    EXPECT_EQ(d.texts[5].font, "Wingdings");
    EXPECT_EQ(d.texts[6].font, "Arial");
    EXPECT_EQ(d.texts[7].style, FontBold | FontItalic);
    EXPECT_EQ(d.texts[8].style, FontUnderline);
    // Every text colour code.
    const std::pair<const char*, Color> colours[] = {
        {"\\red", {255, 0, 0}},     {"\\blu", {0, 0, 255}},   {"\\grn", {0, 128, 0}},
        {"\\blk", {0, 0, 0}},       {"\\pnk", {255, 0, 255}}, {"\\lgn", {0, 255, 0}},
        {"\\tea", {0, 128, 128}},   {"\\mar", {128, 0, 0}},   {"\\aqu", {0, 255, 255}},
        {"\\nav", {0, 0, 128}},     {"\\pur", {128, 0, 128}}, {"\\oli", {128, 128, 0}},
        {"\\whi", {255, 255, 255}}, {"\\yel", {255, 255, 0}},
    };
    for (const auto& [code, colour] : colours)
        EXPECT_EQ(Draw(std::string(code) + " x").texts.at(0).colour, colour) << code;
}

TEST(MarkupText, BackgroundsFillBehindWordsAndBoxesFrameTheNextWord) {
    // Without a background code a word is drawn without fill.
    EXPECT_EQ(Draw("a").log, (std::vector<std::string>{"text 0,20 'a'"}));
    const std::pair<const char*, const char*> backgrounds[] = {
        {"\\bre", "#ff0000"}, {"\\bye", "#ffff00"}, {"\\bwh", "#ffffff"}, {"\\bbl", "#0000ff"},
        {"\\bgr", "#008000"}, {"\\bbk", "#000000"}, {"\\bfu", "#ff00ff"}, {"\\bli", "#00ff00"},
        {"\\bte", "#008080"}, {"\\bma", "#800000"}, {"\\baq", "#00ffff"}, {"\\bna", "#000080"},
        {"\\bpu", "#800080"}, {"\\bol", "#808000"}, {"\\btn", "#f0f0f0"},
    };
    for (const auto& [code, hex] : backgrounds)
        EXPECT_EQ(Draw(std::string(code) + " ab").log,
                  (std::vector<std::string>{std::string("fill 0,20 8,30 ") + hex, "text 0,20 'ab'"}))
            << code;
    // The box: a frame from (x-6, y-1) to (x+w+4, y+h+2), the inside filled from
    // (x-5, y) to (x+w+3, y+h+1), for the next drawn word only.
    EXPECT_EQ(Draw("\\box OK then", Layout(10)).log,
              (std::vector<std::string>{"rect 4,19 26,32 #000000", "fill 5,20 25,31 #ffffff",
                                        "text 10,20 'OK '", "text 22,20 'then'"}));
    EXPECT_EQ(
        Draw("\\bye \\box OK").log,
        (std::vector<std::string>{"rect -6,19 12,32 #000000", "fill -5,20 11,31 #ffff00", "text 0,20 'OK'"}));
}

TEST(MarkupText, WrappingAtTheRightLimitAndTheClipBottom) {
    // Right limit 40, wrapped lines indented by 5 from the left origin 0.
    const Drawn d = Draw("aaaa bbbb cccc dd e ffff", Layout(0, 40, 5));
    EXPECT_EQ(d.log, (std::vector<std::string>{"text 0,20 'aaaa '", "text 20,20 'bbbb '", "text 5,30 'cccc '",
                                               // two characters never wrap, even beyond the limit
                                               "text 25,30 'dd '", "text 37,30 'e '", "text 5,40 'ffff'"}));
    EXPECT_EQ(d.y, 40);
    EXPECT_EQ(d.x, 21);
    EXPECT_EQ(d.moved, 21);
    // A new line below the clip rectangle's bottom continues from y = 0.
    const Drawn c = Draw("aaaa bbbb cccc", Layout(0, 40, 0, 25));
    EXPECT_EQ(c.log,
              (std::vector<std::string>{"text 0,20 'aaaa '", "text 20,20 'bbbb '", "text 0,0 'cccc'"}));
    EXPECT_EQ(c.y, 0);
    // \par starts a new line before the next drawn word.
    EXPECT_EQ(Draw("a \\par b", Layout(10, 1000, 3)).log,
              (std::vector<std::string>{"text 10,20 'a '", "text 13,30 'b'"}));
}

TEST(MarkupText, RaisedAndLoweredRuns) {
    // Raised by 2: the word 2 units higher, joined to the previous word, and back.
    EXPECT_EQ(Draw("x \\y-2 2 \\rt0 y").log,
              (std::vector<std::string>{"text 0,20 'x '", "text 4,18 '2 '", "text 8,20 'y'"}));
    // Lowered with a smaller size, and the size restored on return.
    const Drawn sub = Draw("\\xx1 w \\xx0 \\y+3 \\f06 p \\rt0 =");
    EXPECT_EQ(sub.log, (std::vector<std::string>{"text 0,20 '\u03C9 '", "text 5,23 'p '", "text 8,20 '='"}));
    EXPECT_EQ(sub.texts[1].size, 6);
    EXPECT_EQ(sub.texts[2].size, 8);
    EXPECT_EQ(sub.texts[2].font, "Arial");
    // A stacked pair: after \rt1 x lies beyond the wider run (here the lowered "bb ",
    // 12 wide); the modes stay set, so the next word still joins back one space.
    EXPECT_EQ(
        Draw("V \\y-2 a \\rt0 \\y+3 bb \\rt1 z").log,
        (std::vector<std::string>{"text 0,20 'V '", "text 4,18 'a '", "text 4,23 'bb '", "text 16,20 'z'"}));
}

TEST(MarkupText, PrintingRules) {
    MarkupDevice printer = Screen();
    printer.printing = true;
    printer.printerFontSize = 10;
    const Color red{255, 0, 0}, black{0, 0, 0};
    // Black and white: colour codes leave black on white, every size code gives 9.
    Drawn bw = Draw("a \\red b \\f14 c", Layout(), 0, 20, {}, printer);
    ASSERT_EQ(bw.texts.size(), 3u);
    EXPECT_EQ(bw.texts[0].size, 10);
    EXPECT_EQ(bw.texts[1].colour, black);
    EXPECT_EQ(bw.texts[2].size, 9);
    EXPECT_EQ(bw.log[1], "fill 10,20 20,32.5 #ffffff");
    // In colour the colours stay; sizes are still 9.
    printer.colourPrinting = true;
    Drawn colour = Draw("\\red b \\f14 c", Layout(), 0, 20, {}, printer);
    EXPECT_EQ(colour.texts[0].colour, red);
    EXPECT_EQ(colour.texts[1].size, 9);
    // Wingdings sits a sixth of its height higher on paper (height 12.5 at 10 points).
    Drawn wing = Draw("\\xx3 J", Layout(), 0, 20, {}, printer);
    ASSERT_EQ(wing.texts.size(), 1u);
    EXPECT_DOUBLE_EQ(wing.texts[0].y, 20 - 12.5 / 6);
}

TEST(MarkupText, SvgDocumentShowsUnderlineGreekAndBaselinePlacement) {
    SvgSurface svg(200, 100);
    double x = 0, y = 30;
    MarkupLayout l = Layout(0, 200);
    l.topAligned = false;
    DrawMarkupText(svg, "\\und Q \\unf \\xx1 w", x, {}, l, y, Screen());
    const std::string doc = svg.Document();
    EXPECT_NE(doc.find("text-decoration=\"underline\""), std::string::npos);
    EXPECT_NE(doc.find("\u03C9"), std::string::npos);
    // The SVG text's own y is its baseline: the line's baseline, 30.
    EXPECT_NE(doc.find("y=\"30\""), std::string::npos) << doc;
}

TEST(MarkupText, PlainTextForTheCommandLine) {
    MarkupSubstitutions subs;
    subs[1] = "1.5 kHz";
    struct Case {
        const char* markup;
        const char* plain;
    };
    const Case cases[] = {
        {"\\blu The pole frequency \\xx1 w \\xx0 \\y+2 p \\rt0 is \\d01 \\par Press \\box OK to continue.",
         "The pole frequency \u03C9p is 1.5 kHz\nPress [OK] to continue."},
        {"Gain \\177 1 dB", "Gain \u00B11 dB"},
        {"f \\bsp 0 = 2", "f0 = 2"},
        {"\\bld Note: \\unf \\zzz done  ", "Note: done"},
        {"R \\y-2 2 \\rt0 and C", "R2 and C"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MarkupPlainText(c.markup, subs), c.plain) << c.markup;
}

TEST(ArrowMarker, LabelLineDropAndAHeadAThirdOfTheTextHeightWide) {
    RecordingSurface s;
    const double right = DrawArrowMarker(s, 10, 20, "Out", Screen());
    ASSERT_EQ(s.texts.size(), 1u);
    EXPECT_EQ(s.texts[0].size, 8);
    EXPECT_EQ(s.texts[0].font, "Arial");
    // Label 12 wide and 10 high: the stroke from its middle (y 25), the drop one line
    // height down, the head 10/3 wide.
    EXPECT_EQ(s.log,
              (std::vector<std::string>{"text 10,20 'Out'", "line 24.5,25 34.5,25", "line 34.5,25 34.5,35",
                                        "polyline 32.8333,31.6667 34.5,35 36.1667,31.6667"}));
    EXPECT_NEAR(right, 36.1667, 1e-4);
    MarkupDevice printer = Screen();
    printer.printing = true;
    RecordingSurface p;
    DrawArrowMarker(p, 0, 0, "x", printer);
    EXPECT_EQ(p.texts.at(0).size, 7);
}

} // namespace
} // namespace velmora

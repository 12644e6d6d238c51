// The markup renderer through a recording surface whose metrics make every position a
// hand calculation: at 8 pixels a character is 4 wide, a line 10 high, the baseline 8
// below the top, and a space 4 wide.
#include <gtest/gtest.h>

#include "support/recording_surface.h"
#include "ui/markup_text.h"

namespace velmora {
namespace {

using test::RecordingSurface;

// What the renderer draws of a text on a screen of one pixel per point, from (0, 20).
std::vector<std::string> Draw(const std::string& text) {
    RecordingSurface s;
    MarkupDevice screen;
    screen.pixelsPerPoint = 1;
    MarkupLayout layout;
    layout.left = 0, layout.right = 1000, layout.indent = 0, layout.clipBottom = 1000;
    double x = 0, y = 20;
    DrawMarkupText(s, text, x, {}, layout, y, screen);
    return s.log;
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
        // Symbol letters are Greek; \bsp joins the next word to the previous one.
        {"\\xx1 w W \\xx0 f \\bsp 0",
         {"text 0,20 '\u03C9 '", "text 8,20 '\u03A9 '", "text 16,20 'f '", "text 20,20 '0'"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Draw(c.text), c.log) << c.text;
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

} // namespace
} // namespace velmora

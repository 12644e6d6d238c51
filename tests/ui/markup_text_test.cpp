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

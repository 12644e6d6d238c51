// Markup text: the program's formatted explanatory texts (coloured words, bold and
// underlined terms, Greek letters of the Symbol font, sub- and superscripts such as the
// "p" of wp, boxed keys) are single lines of plain text with embedded four-character
// codes, drawn word by word onto a DrawingSurface. A paragraph is drawn by one call per
// source line, the pen position carried from call to call.
//
// Words are split at spaces; a word keeps its leading spaces and one trailing space.
// A five-character word (code and space) holding a backslash is a code unless its
// second character is "1" ("\177 " is the character 177):
//   \red \blu \grn \blk \pnk \lgn \tea \mar \aqu \nav \pur \oli \whi \yel  text colour
//   \bo1 bold, \unf plain, \und underline, \bld bold underline, \ita italic, \bit bold italic
//   \bre \bye \bwh \bbl \bgr \bbk \bfu \bli \bte \bma \baq \bna \bpu \bol  background
//   \btn background of the button face, \box a box around the next drawn word
//   \xx0 Arial, \xx1 Symbol, \xx2 Times New Roman, \xx3 Wingdings
//   \bsp back one space (joins the next word to the previous one), \par new line
//   \d0N draws substitution entry N; \d11, \d12 apply the code held in entry 11 or 12
//   \fNN font size NN points; \nNN and \nhN are accepted and do nothing
//   \y+N lowered run (subscript) N units down, \y-N raised run (superscript) N units up
//   \rt0 back to where the run began; \rt1 back after a raised and a lowered run at
//        one place, beyond the wider of the two
// A word holding a backslash and a digit is the single character of that three-digit
// code. Printing in black and white keeps every colour black on white, and printing
// draws every size code at 9 points.
//
// Texts reach the surface as UTF-8: Symbol-font characters as the Unicode letters and
// signs they stand for (w is omega), character codes of other fonts as Windows-1252.
#pragma once

#include <array>
#include <string>

#include "ui/drawing_surface.h"

namespace velmora {

// Entries 0..9 are drawn by \d00..\d09; entries 11 and 12 hold codes for \d11, \d12.
using MarkupSubstitutions = std::array<std::string, 14>;

struct MarkupLayout {
    double left = 0;        // left origin; x is kept relative to it
    double right = 0;       // a word reaching beyond this starts a new line
    double indent = 0;      // x of wrapped lines, from the left origin
    double clipBottom = 0;  // a new line below this starts again at y = 0
    bool topAligned = true; // y is the top of the text, else its baseline
};

struct MarkupDevice {
    bool printing = false;       // the surface is a printer
    bool colourPrinting = false; // the person chose to print in colour
    double printerFontSize = 9;  // points, the base size when printing
    double pixelsPerPoint = 96.0 / 72.0;
    Color buttonFace{240, 240, 240}; // background of \btn
};

// Draws one line of markup. On entry x is relative to the left origin and y is the top
// (or baseline) of the line; on return x holds the final x relative to the left origin
// and y the top (or baseline) of the last line drawn. Returns how far x moved (the
// final absolute x less the x passed in, which is negative after a wrap).
double DrawMarkupText(DrawingSurface& surface, const std::string& text, double& x,
                      const MarkupSubstitutions& subs, const MarkupLayout& layout, double& y,
                      const MarkupDevice& device = {});

// The same text as plain UTF-8 for the command line: codes removed, substitutions and
// character codes inserted, Symbol letters as Greek, "\par" as a line break, a boxed
// word in brackets, raised and lowered runs joined to the word before them.
std::string MarkupPlainText(const std::string& text, const MarkupSubstitutions& subs);

// The arrow marker beside a label: the label in 8-point Arial (7 when printing) with
// its top-left corner at (x, y), then a horizontal line from its middle, a vertical
// drop and an arrow head one third of the text height wide. Returns the right edge of
// the marker.
double DrawArrowMarker(DrawingSurface& surface, double x, double y, const std::string& label,
                       const MarkupDevice& device = {});

} // namespace velmora

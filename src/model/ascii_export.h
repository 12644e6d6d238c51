// The ASCII data file: a plain-text report of a design for reading and for import into
// other tools. Lines end with CR LF and the text uses the Windows-1252 character set,
// so the plus-minus sign is the single byte 0xB1.
//
// In order: the date and time; the filter description; optionally the specification,
// the biquadratic coefficients of the stages, the poles and zeros of the selected
// approximation, and its ideal frequency response at the 351 points of the frequency
// column. Every frequency is written in the file's unit (Hz or rad/s).
//
// This module lays out the text. What needs the later steps (the stage coefficients,
// the poles and zeros of the approximation, the response computed over the column)
// is gathered by the export window's model (ui/tfm_ascii.h) and handed in.
#pragma once

#include <array>
#include <complex>
#include <string>
#include <vector>

#include "model/design.h"

namespace velmora {

struct AsciiOptions {
    bool Specification = false; // ignored for user-defined filters, which have none
    bool Coefficients = false;
    bool PolesZeros = false;
    bool FrequencyData = false;
};

// The cells of one stage's column in the coefficient block, in row order To, A, B, C,
// D, E, F, wp, Qp, wz, as written (each is padded to 15 characters).
using AsciiStageCells = std::array<std::string, 10>;

struct AsciiExportData {
    std::string DateTime;                         // first line
    bool Hz = false;                              // the file's frequency unit
    std::vector<AsciiStageCells> Stages;          // cascade order
    std::vector<std::complex<long double>> Poles; // rad/s; a pair appears with both poles
    std::vector<std::complex<long double>> Zeros; // rad/s; a pair appears with both zeros
};

// The description line: "BUTTERWORTH LOWPASS FILTER  N=5", "USER DEFINED FILTER  N=3".
// The approximation names are fixed ("Inverse Chebyshev", "Bessel (Thompson)").
std::string AsciiDescription(const TDesign& d);

// The file's text. The frequency table reads the frequency column and the ideal samples
// of the selected approximation as they are in the design, so they must have been
// computed over the column first.
std::string AsciiExportText(const TDesign& d, const AsciiOptions& options, const AsciiExportData& data);

// The local date and time in the locale's date and time forms.
std::string CurrentDateTimeText();

// Number forms of the file.
std::string AsciiScientific(long double x);   // sign, 7-decimal mantissa, "E", exponent
std::string AsciiAttenuation(long double db); // 3 decimals, at least 5 characters
std::string AsciiQ(long double q);            // 7 decimals, at least 8 characters

} // namespace velmora

// The axis settings the "Configure Axes" dialog edits, and what the dialog is asked with.
#pragma once

#include <string>

namespace velmora {

// The "Configure Axes" dialog: a copy of the axis settings to edit, taken by "Apply".
struct AxisConfiguration {
    // "Frequency axis": the two thumbs and the span of the slider (display unit).
    long double FreqSliderMin = 0, FreqSliderMax = 0;
    long double FreqMin = 0, FreqMax = 0;
    bool FreqLog = true; // " logarithmic" / " linear"
    // "Attenuation axis": the span of its slider and the range, in dB or in V/V as
    // GainInDb says.
    long double GainSliderMin = 0, GainSliderMax = 0;
    long double GainMin = 0, GainMax = 0;
    bool GainInDb = true; // " log (dB)" / " linear (V/V)"
    // "Time axis (ms)": the span of its slider and the range.
    long double TimeSliderMinMs = 0, TimeSliderMaxMs = 0;
    long double TimeMinMs = 0, TimeMaxMs = 0;
    bool Grid = true;       // "Grid ": " show grid lines"
    bool Marker3dB = false; // "3dB Marker": " show 3dB attenuation"
};

// What a graph window asks the Configure Axes dialog with. The attenuation axis can be
// switched between dB and V/V in the dialog; its range and slider span in the other kind
// are worked out by the window beforehand and passed as data, so the dialog only shows
// them. The window's labels of the groups differ: the ideal responses have a time axis
// and a "3dB Marker", the final response a "3 dB " line and no time axis.
struct AxesRequest {
    AxisConfiguration current;   // the axes as they are
    AxisConfiguration otherKind; // the same with the attenuation axis in the other kind
    bool withTime = true;
    std::string markerTitle = "3dB Marker";
    std::string markerLabel = " show 3dB attenuation";
};

} // namespace velmora

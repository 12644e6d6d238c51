// The picture on the first tab of the specification form: the attenuation mask of the
// filter type with its band edges and attenuations, labelled with the values and units
// the person has typed, over a sketched response that passes the mask.
#pragma once

#include <cstdint>
#include <string>

#include "ui/drawing_surface.h"

namespace velmora {

class TfmParEnt;

struct SpecTemplate {
    uint8_t FilterType = 0;         // 0 lowpass .. 3 bandstop
    bool Hz = true;                 // caption of the frequency axis
    bool OrderForced = false;       // the stopband limit is not a requirement then
    std::string Apb, Asb;           // "0.5 dB", "30 dB"
    std::string PassEdge, StopEdge; // "fpb = 1 kHz" (edges) or "Bpb = 1 kHz" (bandwidths)
    std::string Centre;             // "f0 = 2 kHz"; empty for lowpass and highpass
};

// The template of the form's current entries (as typed, in the units of its unit boxes).
SpecTemplate SpecTemplateOf(const TfmParEnt& form, uint8_t filterType, bool hz);

// Paints the template over the whole surface.
void PaintSpecTemplate(DrawingSurface& surface, const SpecTemplate& t);

} // namespace velmora

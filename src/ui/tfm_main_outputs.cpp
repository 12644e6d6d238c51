// The main window's output commands that hand over to a form of their own.
#include "analysis/graph_axes.h"
#include "ui/tfm_main.h"

namespace velmora {

FrequencyAxis TfmMain::SpiceAxis() const {
    // The sweep covers what the person last looked at: the realised filter's responses,
    // else the ideal ones; a design opened from a file and not yet drawn sweeps its data range.
    if (d_.DesignLevel >= LevelFinalResponse && View.Axes.Freq.Max > 0) return View.Axes.Freq;
    if (Graph.Axes.Freq.Max > 0) return Graph.Axes.Freq;
    return DataFrequencyAxis(d_);
}

void TfmMain::CreateSPICEnetlist1Click() {
    Spice.FormShow(SpiceAxis());
}

} // namespace velmora

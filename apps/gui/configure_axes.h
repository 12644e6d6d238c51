// The "Configure Axes" dialog of the graph windows: the frequency and attenuation axes,
// the time axis where the window has one, the grid and the 3 dB marker.
#pragma once

#include <functional>
#include <string>

#include "ui/tfm_graph.h"

class QWidget;

namespace velmora::gui {

struct AxesDialogTexts {
    bool withTime = true;                   // the ideal responses' time axis
    std::string markerTitle = "3dB Marker"; // group title of the 3 dB marker
    std::string markerLabel = " show 3dB attenuation";
};

// Shows the dialog over `parent` with `c` filled in; `switchKind` gives the attenuation
// range in the other kind (dB or V/V) when the person switches it. True with `c` set to
// the choices when the person applies them.
bool ConfigureAxesDialog(QWidget* parent, AxisConfiguration& c, const AxesDialogTexts& texts,
                         const std::function<AxisConfiguration(bool inDb)>& switchKind);

} // namespace velmora::gui

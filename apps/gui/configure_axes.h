// The "Configure Axes" dialog of the graph windows: the frequency and attenuation axes,
// the time axis where the window has one, the grid and the 3 dB marker.
#pragma once

#include <optional>

#include "ui/axis_configuration.h"

class QWidget;

namespace velmora::gui {

// Shows the dialog over `parent` filled in from `request.current`. Switching the
// attenuation axis between dB and V/V shows the range the request holds for that kind.
// The settings chosen when the person applies them; nothing for Cancel.
std::optional<AxisConfiguration> ConfigureAxesDialog(QWidget* parent, const AxesRequest& request);

} // namespace velmora::gui

// The screenshot run: works through a lowpass design, a user-defined filter and the
// tools as a person would, and saves a PNG of each window into a folder (for the
// manual). With a design file, the windows of that design are saved instead.
#pragma once

#include <QString>

namespace velmora::gui {

class MainWindow;

bool TakeScreenshots(MainWindow& window, const QString& dir, const QString& designFile = {});

} // namespace velmora::gui

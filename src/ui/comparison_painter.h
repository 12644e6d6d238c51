// The comparison of the five approximations as a drawn grid: the corner title and the
// approximations' two-line headers across the top, the row titles down the left, one
// cell per approximation and row, a value the specification cannot accept in red. The
// same picture goes into the report and onto the clipboard, so the comparison reads the
// same wherever it appears.
#pragma once

#include "approx/approximation.h"
#include "ui/drawing_surface.h"

namespace velmora {

// The red of a cell whose value rules the approximation out.
inline constexpr Color kComparisonRed{220, 0, 0};

// The size the grid needs at `fontSize` (pixels), measured with the surface's fonts:
// every column as wide as its widest text plus padding, the header row two lines high.
PointD ComparisonTableSize(DrawingSurface& surface, const ComparisonTable& table, double fontSize = 12);

// Paints the grid at its size for `fontSize` from the top-left corner of the surface,
// on a white ground. An empty table paints nothing.
void PaintComparisonTable(DrawingSurface& surface, const ComparisonTable& table, double fontSize = 12);

} // namespace velmora

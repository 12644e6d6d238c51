// The design report on paper: the same pages the command line writes as PDF, laid out with
// the printer's own fonts and printed through the print dialog, or shown in a preview first.
#pragma once

#include <QPrinter>
#include <QWidget>

#include "model/design.h"

namespace velmora::gui {

// Prints every page of the design's report on A4 paper: each page's point space mapped
// onto the whole sheet (the report keeps its own margins inside the printable area).
// Returns the number of pages printed.
int PaintReport(const TDesign& d, QPrinter& printer);

// File > Print: the print dialog, then the report on the printer chosen. With `toFile`
// given, the report is printed to that PDF file at once instead (the desktop tests).
void PrintReport(const TDesign& d, QWidget* parent, const QString& toFile = {});

// File > Print Preview...: the pages as they will print, whose Print button opens the
// print dialog. With `toFile` given, printed to that PDF file at once instead.
void PreviewReport(const TDesign& d, QWidget* parent, const QString& toFile = {});

} // namespace velmora::gui

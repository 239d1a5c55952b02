#pragma once
// The windows' typefaces: Tahoma for everything, Calibri for the device name and location.
// Sizes are in pixels, as the layouts give them.

#include <QFont>

namespace rzl {

// Makes "Tahoma" and "Calibri" resolvable: registers the Tahoma files that wine's font package
// ships outside the font path, and maps Calibri to its metric twin Carlito. Call once, early.
void InstallWindowFonts();

QFont TahomaFont(int pixelSize, bool bold = false);
QFont CalibriFont(int pixelSize, bool bold = false);

}  // namespace rzl

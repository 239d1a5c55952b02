#pragma once
// Turns the core's colours into the desktop's: plain RGB as it stands, system colours from the
// application palette (the windows themselves are white, so their own palettes would not do).

#include <QColor>

#include "ui/colour.h"

namespace rzl {

QColor ToQColor(const Colour& colour);

}  // namespace rzl

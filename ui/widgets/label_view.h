#pragma once
// Small helpers shared by the windows for showing the core's records.

#include <QWidget>

#include "ui/views.h"

class QLabel;

namespace rzl {

// Caption, font colour, enabled state and hint of a label. Disabled labels keep the desktop's
// grey; `fitText` grows the label to its caption, as labels without a fixed size do.
void ShowLabel(QLabel* label, const LabelView& view, bool fitText);

// The text colour of a label or group while enabled (disabled ones stay grey).
void SetTextColour(QWidget* widget, const QColor& colour);

// The setup and counter windows: fixed-size dialogs with a title and a close button only.
inline constexpr Qt::WindowFlags kFixedDialogFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                     Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                                     Qt::MSWindowsFixedSizeDialogHint;

// White client area and the default window font.
void PrepareWindowFace(QWidget* window, int fontPixels);

}  // namespace rzl

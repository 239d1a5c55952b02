#include "ui/widgets/label_view.h"

#include <QLabel>

#include "ui/widgets/colours.h"
#include "ui/widgets/fonts.h"

namespace rzl {

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    if (palette.color(QPalette::Active, QPalette::WindowText) == colour &&
        palette.color(QPalette::Inactive, QPalette::WindowText) == colour)
        return;
    palette.setColor(QPalette::Active, QPalette::WindowText, colour);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    widget->setPalette(palette);
}

void ShowLabel(QLabel* label, const LabelView& view, bool fitText) {
    if (label->text() != view.caption) {
        label->setText(view.caption);
        if (fitText) label->adjustSize();
    }
    SetTextColour(label, ToQColor(view.font));
    label->setEnabled(view.enabled);
    if (label->toolTip() != view.hint) label->setToolTip(view.hint);
}

void PrepareWindowFace(QWidget* window, int fontPixels) {
    InstallWindowFonts();
    window->setFont(TahomaFont(fontPixels));
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, Qt::white);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

}  // namespace rzl

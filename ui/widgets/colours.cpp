#include "ui/widgets/colours.h"

#include <QGuiApplication>
#include <QPalette>

namespace rzl {

QColor ToQColor(const Colour& colour) {
    const QPalette palette = QGuiApplication::palette();
    switch (colour.system) {
    case Colour::System::Menu: return palette.color(QPalette::Active, QPalette::Window);
    case Colour::System::Light3D: return palette.color(QPalette::Active, QPalette::Midlight);
    case Colour::System::WindowText: return palette.color(QPalette::Active, QPalette::WindowText);
    case Colour::System::None: break;
    }
    return QColor(colour.r, colour.g, colour.b);
}

}  // namespace rzl

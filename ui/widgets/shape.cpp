#include "ui/widgets/shape.h"

#include <QPainter>

namespace rzl {

Shape::Shape(QWidget* parent) : QWidget(parent) {}

void Shape::setColours(const QColor& fill, const QColor& outline) {
    if (fill == fill_ && outline == outline_) return;
    fill_ = fill;
    outline_ = outline;
    update();
}

void Shape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), fill_);
    painter.setPen(outline_);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace rzl

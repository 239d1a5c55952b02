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

void Shape::setStale(bool stale) {
    if (stale == stale_) return;
    stale_ = stale;
    update();
}

void Shape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!stale_) {
        painter.fillRect(rect(), fill_);
        painter.setPen(outline_);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        return;
    }
    // Washed out towards grey, with grey hatching over it: still readable, never taken for live.
    const int grey = qGray(fill_.rgb());
    const QColor washed((fill_.red() + 2 * grey) / 3, (fill_.green() + 2 * grey) / 3, (fill_.blue() + 2 * grey) / 3);
    painter.fillRect(rect(), washed);
    painter.fillRect(rect(), QBrush(QColor(110, 110, 110), Qt::BDiagPattern));
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace rzl

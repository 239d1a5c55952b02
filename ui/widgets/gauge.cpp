#include "ui/widgets/gauge.h"

#include <QPainter>

namespace rzl {

Gauge::Gauge(QWidget* parent) : QWidget(parent) {}

void Gauge::setRange(int minimum, int maximum) {
    if (minimum == minimum_ && maximum == maximum_) return;
    minimum_ = minimum;
    maximum_ = maximum;
    update();
}

void Gauge::setPosition(int position) {
    if (position == position_) return;
    position_ = position;
    update();
}

void Gauge::setBarColour(const QColor& colour) {
    if (colour == bar_) return;
    bar_ = colour;
    update();
}

void Gauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(232, 232, 232));
    const qint64 span = qint64(maximum_) - minimum_;
    if (span <= 0) return;
    const qint64 done = qBound<qint64>(0, qint64(position_) - minimum_, span);
    const int filled = int(done * width() / span);
    painter.fillRect(QRect(0, 0, filled, height()), bar_);
}

}  // namespace rzl

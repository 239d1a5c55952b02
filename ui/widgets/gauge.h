#pragma once
// A flat progress bar without a border: minimum, maximum, position and bar colour.

#include <QColor>
#include <QWidget>

namespace rzl {

class Gauge : public QWidget {
    Q_OBJECT
public:
    explicit Gauge(QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    void setPosition(int position);
    void setBarColour(const QColor& colour);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int position() const { return position_; }
    QColor barColour() const { return bar_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
    QColor bar_ = Qt::blue;
};

}  // namespace rzl

#pragma once
// A filled rectangle with a one-pixel outline: the input indicators and output bars.

#include <QColor>
#include <QWidget>

namespace rzl {

class Shape : public QWidget {
    Q_OBJECT
public:
    explicit Shape(QWidget* parent = nullptr);

    void setColours(const QColor& fill, const QColor& outline);
    // Drawn greyed and hatched: the colour is the last one read, not the module's now.
    void setStale(bool stale);
    bool stale() const { return stale_; }
    QColor fill() const { return fill_; }
    QColor outline() const { return outline_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_ = Qt::white;
    QColor outline_ = Qt::black;
    bool stale_ = false;
};

}  // namespace rzl

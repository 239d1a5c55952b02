#pragma once
// Coalesces the screen's change notices into one render per turn of the event loop. The clock
// pumps events during blocking exchanges, so windows repaint in the middle of those too.

#include <QObject>
#include <QTimer>
#include <functional>

namespace rzl {

class Screen;

class RenderScheduler : public QObject {
    Q_OBJECT
public:
    RenderScheduler(Screen& screen, std::function<void()> render, QObject* parent = nullptr);

    void schedule();

private:
    QTimer timer_;
    std::function<void()> render_;
};

}  // namespace rzl

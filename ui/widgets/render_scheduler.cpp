#include "ui/widgets/render_scheduler.h"

#include "ui/screen.h"

namespace rzl {

RenderScheduler::RenderScheduler(Screen& screen, std::function<void()> render, QObject* parent)
    : QObject(parent), render_(std::move(render)) {
    timer_.setSingleShot(true);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, [this] { render_(); });
    connect(&screen, &Screen::updated, this, &RenderScheduler::schedule);
}

void RenderScheduler::schedule() {
    if (!timer_.isActive()) timer_.start();
}

}  // namespace rzl

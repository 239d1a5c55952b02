#include "ui/widgets/activation_watch.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace rzl {

ActivationWatch::ActivationWatch(QWidget* window, std::function<void()> onActivate)
    : QObject(window), window_(window), onActivate_(std::move(onActivate)) {
    fallback_.setSingleShot(true);
    fallback_.setInterval(kFallbackMs);
    connect(&fallback_, &QTimer::timeout, this, [this] {
        if (!activeSinceShow_ && window_->isVisible()) activate();
    });
    window->installEventFilter(this);
}

void ActivationWatch::activate() {
    activeSinceShow_ = true;
    // Handlers may open message boxes: run them outside the event that announced the activation.
    QTimer::singleShot(0, this, [this] { onActivate_(); });
}

bool ActivationWatch::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) return false;
    switch (event->type()) {
    case QEvent::Show:
        activeSinceShow_ = false;
        lostToOwnWindow_ = false;
        fallback_.start();
        break;
    case QEvent::Hide:
        fallback_.stop();
        break;
    case QEvent::WindowActivate:
        fallback_.stop();
        if (!lostToOwnWindow_ || !activeSinceShow_) activate();
        lostToOwnWindow_ = false;
        break;
    case QEvent::WindowDeactivate:
        // By now the application already names the window that takes over (none: another program).
        lostToOwnWindow_ = QApplication::activeWindow() != nullptr && QApplication::activeWindow() != window_;
        break;
    default:
        break;
    }
    return false;
}

}  // namespace rzl

#pragma once
// Calls a window's activation handler when the window becomes the active one.
//
// Returning from one of our own boxes (a message, a confirmation, the file dialog) is not an
// activation: the handlers refill fields from the module's settings, which would wipe what the
// user typed while the operation that asked the question still has to read it. Desktops that
// never activate windows (no window manager, focus-stealing prevention) get the call shortly
// after the window is shown.

#include <QObject>
#include <QTimer>
#include <functional>

class QWidget;

namespace rzl {

class ActivationWatch : public QObject {
    Q_OBJECT
public:
    ActivationWatch(QWidget* window, std::function<void()> onActivate);

    static constexpr int kFallbackMs = 100;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void activate();

    QWidget* window_;
    std::function<void()> onActivate_;
    QTimer fallback_;
    bool activeSinceShow_ = false;
    bool lostToOwnWindow_ = false;
};

}  // namespace rzl

#pragma once
// The protocol view: the traffic record (every frame in hex with its time and command, and
// the hidden log), newest last, with Copy and Save. Opened from the main window with Ctrl+L.

#include <QPoint>
#include <QRect>
#include <QWidget>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace rzl {

class TrafficRecord;
struct TrafficEntry;

// Where a window of `size` goes beside `main` within the screen's `room`: right of it, else left
// of it, and where neither side has room, moved as little as needed to be seen whole.
QPoint PlaceBeside(const QRect& main, const QSize& size, const QRect& room, int gap);

class ProtocolWindow : public QWidget {
    Q_OBJECT
public:
    explicit ProtocolWindow(TrafficRecord& record, QWidget* parent = nullptr);

    // Shows the window next to `beside` (see PlaceBeside), or brings it to the front when it
    // is already shown.
    void showBeside(QWidget* beside);

    // The file Save writes to; empty when the user cancels. Asks with a file dialog.
    std::function<QString()> askSaveFile;

private:
    void append(const TrafficEntry& entry);
    void copy();
    void save();

    TrafficRecord& record_;
    QPlainTextEdit* lines_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* save_ = nullptr;
    QLabel* outcome_ = nullptr;
};

}  // namespace rzl

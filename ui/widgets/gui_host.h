#pragma once
// The desktop's side of the screen seam: message boxes, the file dialog, the modal child
// windows, and a clock that keeps the windows alive while the one thread waits.

#include <QPointer>

#include "core/clock.h"
#include "ui/screen.h"

class QDialog;
class QWidget;

namespace rzl {

class GuiDialogs : public DialogHost {
public:
    // The windows exist after the program objects; they are attached once built.
    void attach(QWidget* mainWindow, QDialog* setupWindow, QDialog* counterWindow);

    void message(const QString& text, const QString& caption, BoxIcon icon) override;
    bool confirm(const QString& text, const QString& caption) override;
    std::optional<QString> openFile(const QString& filter, const QString& defaultExtension) override;
    void showSetupModal() override;
    void showCounterModal() override;

private:
    QWidget* owner() const;  // the window a box belongs to: the active one, else the main window

    QPointer<QWidget> main_;
    QPointer<QDialog> setup_;
    QPointer<QDialog> counter_;
};

class GuiClock : public Clock {
public:
    void pause(int milliseconds) override;  // in 10 ms slices, serving events between them
    void pump() override;
};

// "bin|*.bin" (description and pattern pairs joined by bars) as a file dialog's name filters.
QString ToNameFilters(const QString& filter);

}  // namespace rzl

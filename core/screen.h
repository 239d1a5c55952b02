#pragma once
// The one seam between the core and whatever shows it: the records of the three windows,
// change notices, and the user-facing calls (message boxes, file dialog, modal windows).

#include <QObject>
#include <QString>
#include <optional>

#include "core/views.h"

namespace rzl {

class Screen : public QObject {
    Q_OBJECT
public:
    static constexpr int kMemoLines = 5000;

    MainView main;
    SetupView setup;
    CounterView counter;
    SearchView search;

    // Writers that also tell listeners (the CLI prints these; the GUI repaints).
    void showStatus(const QString& text);               // StatusBar2 panel 0
    void setStatusPanel(int bar, int panel, const QString& text);
    void log(const QString& line);                      // Memo1
    void changed() { emit updated(); }

signals:
    void updated();
    void statusShown(int bar, int panel, const QString& text);
    void logged(const QString& line);
};

enum class BoxIcon { None, Information, Question, Exclamation, Error };

// Everything that needs the user's answer or attention.
class DialogHost {
public:
    virtual ~DialogHost() = default;
    virtual void message(const QString& text, const QString& caption, BoxIcon icon) = 0;
    // Yes/No box with the question icon; true for Yes.
    virtual bool confirm(const QString& text, const QString& caption) = 0;
    // File-open dialog; empty when cancelled.
    virtual std::optional<QString> openFile(const QString& filter, const QString& defaultExtension) = 0;
    // Shows the setup or counter window modally and returns when it is closed.
    virtual void showSetupModal() = 0;
    virtual void showCounterModal() = 0;
};

// Blocking pauses and the event pump used while the single thread waits on a socket.
class Clock {
public:
    virtual ~Clock() = default;
    virtual void pause(int milliseconds) = 0;
    // Runs pending events (timers, clicks) in the middle of a wait. Tests and the CLI may do nothing.
    virtual void pump() = 0;
};

}  // namespace rzl

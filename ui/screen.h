#pragma once
// The windows' records (ui/views.h) with change notices, and the user-facing calls (message
// boxes, file dialog, modal windows). ScreenDisplay writes the core's events into the records;
// the widgets render them; rzlctl listens to the status line and the log.

#include <QObject>
#include <QString>
#include <optional>

#include "ui/views.h"

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

}  // namespace rzl

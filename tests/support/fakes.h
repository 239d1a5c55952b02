#pragma once
// Test stand-ins for the screen seam: a dialog host that records and answers from a script,
// and a clock that records pauses without sleeping.

#include <QList>
#include <QPair>
#include <QString>
#include <deque>
#include <functional>
#include <optional>

#include "core/clock.h"
#include "ui/screen.h"

namespace rzl::test {

struct ShownBox {
    QString text;
    QString caption;
    BoxIcon icon;
    bool confirmation = false;
};

class RecordingDialogs : public DialogHost {
public:
    void message(const QString& text, const QString& caption, BoxIcon icon) override {
        boxes.append({text, caption, icon, false});
    }
    bool confirm(const QString& text, const QString& caption) override {
        boxes.append({text, caption, BoxIcon::Question, true});
        if (answers.empty()) return true;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    std::optional<QString> openFile(const QString& filter, const QString& defaultExtension) override {
        fileDialogs.append({filter, defaultExtension});
        return fileToOpen;
    }
    void showSetupModal() override { ++setupShown; if (onSetupShown) onSetupShown(); }
    void showCounterModal() override { ++counterShown; if (onCounterShown) onCounterShown(); }

    QList<ShownBox> boxes;
    std::deque<bool> answers;  // confirmations, in order; Yes when empty
    std::optional<QString> fileToOpen;
    QList<QPair<QString, QString>> fileDialogs;  // filter and default extension of each
    int setupShown = 0;
    int counterShown = 0;
    std::function<void()> onSetupShown;
    std::function<void()> onCounterShown;
};

class ManualClock : public Clock {
public:
    void pause(int milliseconds) override {
        pauses.append(milliseconds);
        if (onPause) onPause(milliseconds);
    }
    void pump() override {
        ++pumps;
        if (onPump) onPump();
    }

    QList<int> pauses;
    int pumps = 0;
    std::function<void()> onPump;  // runs inside a wait, as a timer or click would
    std::function<void(int)> onPause;  // runs inside a pause, as a timer or click would
};

}  // namespace rzl::test

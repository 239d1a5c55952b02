#pragma once
// rzlctl's side of the screen seam: message boxes become lines on standard error,
// confirmations are asked on the terminal (or answered by --yes), pauses really sleep.
// The terminal itself (is standard input one, reading a line without echo) is here too.

#include <QString>
#include <functional>
#include <optional>

#include "cli/key_mask.h"
#include "core/clock.h"
#include "ui/screen.h"

namespace rzl::cli {

class TerminalDialogs : public DialogHost {
public:
    explicit TerminalDialogs(bool assumeYes) : assumeYes_(assumeYes) {}

    void message(const QString& text, const QString& caption, BoxIcon icon) override;
    bool confirm(const QString& text, const QString& caption) override;
    std::optional<QString> openFile(const QString&, const QString&) override { return std::nullopt; }
    void showSetupModal() override {}
    void showCounterModal() override {}

    // From now on every confirmation is answered Yes (a question asked once covers the rest).
    void answerYes() { assumeYes_ = true; }

    // Set when a confirmation was refused because standard input is not a terminal.
    bool refusedWithoutTerminal = false;

    // Called before a box or question is printed, so that a progress line still open on the
    // terminal is ended first instead of running into the message.
    std::function<void()> beforePrinting;

    // Keys left out of what is printed (all but --verbose).
    KeyMask hiddenKeys;
    // --quiet: the boxes are not printed (the result and its error say what came of the command).
    bool quiet = false;

private:
    bool assumeYes_;
};

// True when standard input is a terminal (a user who can answer).
bool StandardInputIsTerminal();

// Asks on standard error and reads one line from the terminal on standard input without echoing
// it (for keys). Nothing when standard input is not a terminal or ends.
std::optional<QString> ReadHiddenLine(const QString& prompt);

class TerminalClock : public Clock {
public:
    void pause(int milliseconds) override;
    void pump() override;
};

}  // namespace rzl::cli

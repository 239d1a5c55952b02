#include "cli/terminal_host.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <string>

#include "cli/output_lines.h"
#include "platform/standard_streams.h"
#include "platform/terminal.h"

namespace rzl::cli {

void TerminalDialogs::message(const QString& text, const QString& caption, BoxIcon) {
    if (quiet) return;
    if (beforePrinting) beforePrinting();
    const QString line = caption.isEmpty() || caption == text ? text : caption + QStringLiteral(": ") + text;
    PrintLine(stderr, hiddenKeys.apply(line));
}

bool TerminalDialogs::confirm(const QString& text, const QString&) {
    if (assumeYes_) return true;
    if (!StandardInputIsTerminal()) {
        refusedWithoutTerminal = true;
        return false;
    }
    if (beforePrinting) beforePrinting();
    WriteStandardText(stderr, hiddenKeys.apply(text) + QStringLiteral("\nProceed? [y/N] "));
    std::string answer;
    if (!platform::ReadLine(answer)) return false;
    if (!answer.empty() && answer.back() == '\r') answer.pop_back();
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

bool StandardInputIsTerminal() { return platform::IsTerminal(platform::StandardStream::Input); }

std::optional<QString> ReadHiddenLine(const QString& prompt) {
    if (!StandardInputIsTerminal()) return std::nullopt;
    std::string line;
    bool read = false;
    {
        // Echo is off before the prompt shows: a key typed the moment it appears is not echoed.
        const platform::HiddenTyping hidden;
        if (!hidden.active()) return std::nullopt;
        WriteStandardText(stderr, prompt);
        read = platform::ReadLine(line);
    }
    // The Enter that ended the key was not shown: what follows starts on a line of its own.
    std::fputc('\n', stderr);
    if (!read) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return QString::fromStdString(line);
}

void TerminalClock::pause(int milliseconds) { QThread::msleep(static_cast<unsigned long>(milliseconds)); }

void TerminalClock::pump() { QCoreApplication::processEvents(); }

}  // namespace rzl::cli

#include "cli/terminal_host.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <iostream>
#include <string>

#include "platform/terminal.h"

namespace rzl::cli {

void TerminalDialogs::message(const QString& text, const QString& caption, BoxIcon) {
    if (beforePrinting) beforePrinting();
    const QString line = caption.isEmpty() || caption == text ? text : caption + QStringLiteral(": ") + text;
    std::fprintf(stderr, "%s\n", qPrintable(hiddenKeys.apply(line)));
}

bool TerminalDialogs::confirm(const QString& text, const QString&) {
    if (assumeYes_) return true;
    if (!StandardInputIsTerminal()) {
        refusedWithoutTerminal = true;
        return false;
    }
    if (beforePrinting) beforePrinting();
    std::fprintf(stderr, "%s\nProceed? [y/N] ", qPrintable(hiddenKeys.apply(text)));
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
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
        std::fprintf(stderr, "%s", qPrintable(prompt));
        std::fflush(stderr);
        read = static_cast<bool>(std::getline(std::cin, line));
    }
    // The Enter that ended the key was not shown: what follows starts on a line of its own.
    std::fputc('\n', stderr);
    if (!read) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return QString::fromLocal8Bit(line.data(), static_cast<qsizetype>(line.size()));
}

void TerminalClock::pause(int milliseconds) { QThread::msleep(static_cast<unsigned long>(milliseconds)); }

void TerminalClock::pump() { QCoreApplication::processEvents(); }

}  // namespace rzl::cli

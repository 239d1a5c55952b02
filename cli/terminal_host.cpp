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
    std::fprintf(stderr, "%s\n", qPrintable(line));
}

bool TerminalDialogs::confirm(const QString& text, const QString&) {
    if (assumeYes_) return true;
    if (!platform::IsTerminal(platform::StandardStream::Input)) {
        refusedWithoutTerminal = true;
        return false;
    }
    if (beforePrinting) beforePrinting();
    std::fprintf(stderr, "%s\nProceed? [y/N] ", qPrintable(text));
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

void TerminalClock::pause(int milliseconds) { QThread::msleep(static_cast<unsigned long>(milliseconds)); }

void TerminalClock::pump() { QCoreApplication::processEvents(); }

}  // namespace rzl::cli

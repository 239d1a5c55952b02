#pragma once
// The desktop program's command line: the launch options (app/options.h) and, for pictures of
// its windows, --screenshot FILE, --screenshot-delay MS and --screenshot-window NAME.
// Parsed before the application object exists, so --help and --version need no display.

#include <QString>
#include <QStringList>

#include "app/options.h"
#include "core/usage.h"

namespace rzl {

struct PicturePlan {
    QString file;  // empty: no picture
    int delayMs = 2000;
    QString window = QStringLiteral("main");  // main, setup or counter
};

struct DesktopArguments {
    LaunchOptions launch;
    PicturePlan picture;
};

Usage DesktopUsage();

// The whole argument list, program name first.
ParsedArguments ParseDesktopArguments(const QStringList& arguments, DesktopArguments& settings);

}  // namespace rzl

#pragma once
// The options rzlctl shares with the desktop program: --device and --no-link-check.

#include <QCommandLineParser>
#include <QString>

namespace rzl {
struct Program;
}

namespace rzl::cli {

void addTargetOptions(QCommandLineParser& parser);
bool applyTargetOptions(const QCommandLineParser& parser, Program& program, QString* problem);

}  // namespace rzl::cli

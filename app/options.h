#pragma once
// Start-up options shared by the desktop program and rzlctl. Without any of them the
// program starts exactly as it always does (192.168.77.1:13577, link check on).
//
//   --device HOST[:PORT]  start with this target, as if typed into the address field
//   --no-link-check       every link check answers linked for this run (the marker file is
//                         left alone)
//   --demo                start the built-in demo module on loopback and use it
//
// rzlctl registers these on its own parser next to its other options (AddLaunchOptions,
// then ReadLaunchOptions); the desktop program, which has no others, uses
// ParseDesktopArguments.

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

#include "app/demo.h"

namespace rzl {

class Context;

struct LaunchOptions {
    std::optional<QString> deviceHost;
    std::optional<std::uint16_t> devicePort;
    bool noLinkCheck = false;
    bool demo = false;
};

void AddLaunchOptions(QCommandLineParser& parser);
// After the parser has parsed. False, with the problem, when a value is not usable.
bool ReadLaunchOptions(const QCommandLineParser& parser, LaunchOptions& options, QString* problem);
// "HOST" or "HOST:PORT", HOST a dotted IPv4 address (also accepted in brackets).
bool ParseDeviceOption(const QString& text, LaunchOptions& options, QString* problem);

// The option lines of a usage text.
QString LaunchOptionsHelp();

// What applying the options started and what must live as long as the program runs.
struct LaunchResources {
    std::unique_ptr<DemoModule> demo;
};

// Applies the options to a program's context before the main window is first activated.
bool ApplyLaunchOptions(const LaunchOptions& options, Context& ctx, LaunchResources& resources, QString* problem);

enum class LaunchParse { Run, Help, Error };
// The desktop program's whole argument list (program name first). Help: `text` is the usage
// text; Error: `text` is the problem.
LaunchParse ParseDesktopArguments(const QStringList& arguments, LaunchOptions& options, QString* text);

}  // namespace rzl

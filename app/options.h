#pragma once
// Start-up options shared by the desktop program and rzlctl. Without any of them the
// program starts exactly as it always does (192.168.77.1:13577, link check on).
//
//   --device HOST[:PORT]  start with this target, as if typed into the address field
//   --no-link-check       every link check answers linked for this run (the marker file is
//                         left alone)
//   --demo                start the built-in demo module on loopback and use it
//
// Both programs add LaunchOptionRows to their own option rows (core/usage.h).

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

#include "app/demo.h"
#include "core/usage.h"

namespace rzl {

class Context;

struct LaunchOptions {
    std::optional<QString> deviceHost;  // a dotted IPv4 address
    std::optional<QString> deviceName;  // a host name still to be looked up (rzlctl only)
    std::optional<std::uint16_t> devicePort;
    bool noLinkCheck = false;
    bool demo = false;
};

enum class HostNames {
    Refused,   // the desktop program: its address field takes dotted addresses only
    Accepted,  // rzlctl: a name is kept in deviceName, to be looked up before anything is sent
};

// --device refuses a second --device and --demo; --demo refuses --device.
QList<OptionRow<LaunchOptions>> LaunchOptionRows(HostNames names = HostNames::Refused);
// "HOST" or "HOST:PORT", HOST a dotted IPv4 address (also accepted in brackets) or, where
// accepted, a host name.
bool ParseDeviceOption(const QString& text, LaunchOptions& options, QString* problem,
                       HostNames names = HostNames::Refused);

// What applying the options started and what must live as long as the program runs.
struct LaunchResources {
    std::unique_ptr<DemoModule> demo;
};

// Applies the options to a program's context before the main window is first activated. A
// host name must have been looked up (deviceHost set) before.
bool ApplyLaunchOptions(const LaunchOptions& options, Context& ctx, LaunchResources& resources, QString* problem);

}  // namespace rzl

#include "app/desktop_arguments.h"

namespace rzl {

namespace {

QList<OptionRow<PicturePlan>> PictureOptionRows() {
    return {
        {{{"screenshot"}, "FILE", "save a PNG picture of a window after the delay, then quit"},
         [](const QString& value, PicturePlan& plan) {
             plan.file = value;
             return value.isEmpty() ? QStringLiteral("--screenshot needs a file name") : QString();
         }},
        {{{"screenshot-delay"}, "MS", "wait this long after start first (default 2000)"},
         [](const QString& value, PicturePlan& plan) {
             bool ok = false;
             plan.delayMs = value.toInt(&ok);
             return ok && plan.delayMs >= 0
                        ? QString()
                        : QStringLiteral("--screenshot-delay needs milliseconds, not '%1'").arg(value);
         }},
        {{{"screenshot-window"}, "NAME", "main (default), setup or counter"},
         [](const QString& value, PicturePlan& plan) {
             plan.window = value;
             return QStringList{"main", "setup", "counter"}.contains(value)
                        ? QString()
                        : QStringLiteral("--screenshot-window is main, setup or counter, not '%1'").arg(value);
         }},
    };
}

QList<OptionRow<DesktopArguments>> DesktopOptionRows() {
    return Within(&DesktopArguments::launch, LaunchOptionRows()) +
           Within(&DesktopArguments::picture, PictureOptionRows());
}

}  // namespace

Usage DesktopUsage() {
    Usage usage;
    usage.program = QStringLiteral("rzl-ctrl");
    usage.synopsis = QStringLiteral("[options]");
    usage.summary = QStringLiteral("desktop controller and configurator for rZL Wi-Fi I/O modules");
    usage.description = QStringLiteral(
        "rzl-ctrl shows an rZL module's model, MAC address, firmware, signal strength and live "
        "inputs and outputs, switches its outputs, reads and clears its input counters, and shows "
        "and changes its Wi-Fi, static IP, location and Modbus settings.\n\n"
        "Without options it targets 192.168.77.1:13577, the module's own access point, checks "
        "that this PC's Wi-Fi is on that network, identifies the module and polls it about every "
        "three seconds. An empty file rzl_dacr.cfg in the current directory turns the Wi-Fi check "
        "off.\n\n"
        "Ctrl+F (or Find modules in the address field's context menu) opens the search window, "
        "which sweeps this PC's networks for modules and makes the chosen one the target; it "
        "never sweeps unless asked. Ctrl+L opens the protocol view. Tab reaches every field and "
        "button; Space and Enter press them; Escape closes the child windows.\n\n"
        "Qt's own options, such as -platform and -style, are taken as well.");
    usage.options = UsageOptions(DesktopOptionRows());
    usage.exitCodes = {{0, "the main window was closed"}, {1, "the demo module could not start"}, {2, "usage error"}};
    usage.seeAlso = {QStringLiteral("rzlctl(1)"), QStringLiteral("rzl-sim(1)")};
    return usage;
}

ParsedArguments ParseDesktopArguments(const QStringList& arguments, DesktopArguments& settings) {
    settings = DesktopArguments{};
    return ParseArguments(DesktopUsage(), DesktopOptionRows(), arguments, settings);
}

}  // namespace rzl

#pragma once
// The texts the setup window shows for the typed results of the core's operations: its
// information and error boxes, in the window's own words. rzlctl prints the same boxes on
// standard error and decides nothing from them.

#include <QString>
#include <QStringList>

#include "filestore/file_transfer.h"
#include "filestore/firmware_update.h"
#include "filestore/settings_writes.h"
#include "protocol/operation.h"
#include "ui/screen.h"

namespace rzl {

// A message box: text, caption, icon.
struct Box {
    QString text;
    QString caption;
    BoxIcon icon = BoxIcon::None;
    bool shown() const { return !text.isEmpty(); }
};

inline const QString kErrorCaption = QStringLiteral("Error found!");
inline const QString kInformationCaption = QStringLiteral("Information");

// "the module's reply was not valid (another signature)"
QString NotValidText(const Verdict& verdict);

// What went wrong with a step, naming it: "Send FileName: /local/locate.cfg\n    . File header
// refused by the module (status 21)", "Send WEB Key (command 50)\n    . Not sent: ...".
QString StepFailureText(const Step& step);
QString TransferErrorText(const TransferOutcome& outcome);

// "sent; the module did not confirm the header of /local/locate.cfg"
QString UnconfirmedText(const Step& step);

// The setup window's groups of settings.
enum class SettingsWrite { Ap, Station, StaticIp, ClearStaticIp, WebKey, Location, Modbus };

// The box after a settings write: the information (with a line for each step not confirmed and a
// notice that was missed) when it was done, the error naming the failed step and what was and
// was not done before it; none when the link check failed or a stop was asked for.
Box SettingsWriteBox(SettingsWrite write, const OperationResult& result);
// The lines an information box adds to its text (each also a warning of rzlctl's).
QStringList SettingsWarnings(const OperationResult& result);

// The setup window's three actions on the module as a whole.
enum class Maintenance { WifiMode, Reset, Reboot };
// The information when the command went out (a reply only confirms it: silence is no
// failure), the error when it did not or the module refused it; none when the link check failed.
Box MaintenanceBox(Maintenance action, const OperationResult& result);

// The error box of a firmware update that stopped (`path`: the image file); none when it went
// out to its closing step.
Box FirmwareBox(const FirmwareResult& result, const QString& path);

}  // namespace rzl

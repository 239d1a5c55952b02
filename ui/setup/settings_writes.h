#pragma once
// The six apply operations of the setup window. Each reads its group's fields from the setup
// view, checks them (error box and nothing sent when they are wrong), asks for confirmation,
// runs the link check, writes its settings files (or sends its command) in a fixed order and
// tells the user that a reboot makes the change take effect. Written files are never read back.
//
// A step that does not reach the module, or that the module refuses, ends the operation there:
// nothing more is sent and one error box says what failed and why, and which of the operation's
// files and commands had already changed the module and which were not sent. The information
// box appears only when every step went out. A failed link check ends it without a box (the
// main window says why).

#include <QString>
#include <QStringList>

namespace rzl {

class Context;

enum class WriteOutcome {
    Done,          // every step went out; the information box was shown
    InvalidInput,  // a field was refused; its error box was shown, nothing sent
    Cancelled,     // No in the confirmation box
    NotLinked,     // the link check failed; nothing sent
    Failed,        // a step did not reach the module; the error box was shown
    Refused,       // the module answered a file header with a refusal; the error box was shown
};

struct WriteResult {
    WriteOutcome outcome = WriteOutcome::Cancelled;
    QString message;  // the text of the last box shown: information or error
    QStringList changed;  // the steps that reached the module ("write /local/sta_key.cfg")
    QStringList notSent;  // Failed, Refused: the steps from the failed one on, none of them sent
    QString warning;  // Done: a last step that did not reach the module but changes nothing stored
};

WriteResult ApSsidWrite(Context& ctx);       // Image2: "/local/ap_key.cfg", "/local/ap_ssid.cfg"
WriteResult StationSsidWrite(Context& ctx);  // Image3: key, key type and SSID files
WriteResult StaticIpWrite(Context& ctx);     // Image10: "/local/sta_ip.cfg" written or deleted
WriteResult WebKeyWrite(Context& ctx);       // Image5: command 50, in effect at once
WriteResult LocationWrite(Context& ctx);     // Image6: "/local/locate.cfg"
WriteResult ModbusWrite(Context& ctx);       // Image9: "/local/mbport.cfg", then command 220

}  // namespace rzl

#pragma once
// The six apply operations of the setup window. Each reads its group's fields from the setup
// view, checks them (error box and nothing sent when they are wrong), asks for confirmation,
// then runs the core's write with the values read (filestore/settings_writes: the link check,
// the files or command in a fixed order) and shows its box (ui/operation_texts).
//
// A step that does not reach the module, or that the module refuses or answers with a reply that
// is not valid, ends the operation there: nothing more is sent and one error box says what failed
// and why, and which of the operation's files and commands had already changed the module and
// which were not done. The information box appears only when every step went out, with a line
// for each one the module did not confirm. A failed link check ends it without a box (the main
// window says why).

#include <QString>
#include <QStringList>


namespace rzl {

struct Program;

enum class WriteOutcome {
    Done,          // every step went out; the information box was shown
    InvalidInput,  // a field was refused; its error box was shown, nothing sent
    Cancelled,     // No in the confirmation box
    NotLinked,     // the link check failed; nothing sent
    Failed,        // a step did not reach the module, or its reply was not valid; the error box was shown
    Refused,       // the module refused a step; the error box was shown
    Busy,          // another program on this PC was writing to the module; its box was shown, nothing sent
};

struct WriteResult {
    WriteOutcome outcome = WriteOutcome::Cancelled;
    QString message;  // the text of the last box shown: information or error
    QStringList changed;  // Failed, Refused: the steps that reached the module ("write /local/sta_key.cfg")
    QStringList notSent;  // Failed, Refused: the steps from the failed one on
    QString warning;  // Done: the lines the information box adds (unconfirmed steps, a missed notice)
};

WriteResult ApSsidWrite(Program& program);       // Image2: "/local/ap_key.cfg", "/local/ap_ssid.cfg"
WriteResult StationSsidWrite(Program& program);  // Image3: key, key type and SSID files
WriteResult StaticIpWrite(Program& program);     // Image10: "/local/sta_ip.cfg" written or deleted
WriteResult WebKeyWrite(Program& program);       // Image5: command 50, in effect at once
WriteResult LocationWrite(Program& program);     // Image6: "/local/locate.cfg"
WriteResult ModbusWrite(Program& program);       // Image9: "/local/mbport.cfg", then command 220

}  // namespace rzl

#pragma once
// Watches what the core tells the screen during one request and turns it into an exit code.

#include <QMetaObject>
#include <QString>

#include "cli/exit_codes.h"

namespace rzl {
class Context;
}

namespace rzl::cli {

class RequestOutcome {
public:
    explicit RequestOutcome(Context& ctx);
    ~RequestOutcome();
    RequestOutcome(const RequestOutcome&) = delete;
    RequestOutcome& operator=(const RequestOutcome&) = delete;

    // kExitDone when a reply arrived with status 6; otherwise the reason, with a message in `why`.
    ExitCode verdict(QString* why) const;

private:
    Context& ctx_;
    QMetaObject::Connection statusConnection_;
    QMetaObject::Connection logConnection_;
    bool unreachable_ = false;
    bool noReply_ = false;
    bool badHeader_ = false;
    QString socketError_;
};

}  // namespace rzl::cli

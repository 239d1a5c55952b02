#pragma once
// Watches what the core tells the screen during one request and turns it into an outcome.

#include <QMetaObject>
#include <QString>

#include "cli/command_result.h"

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

    // Done when a reply arrived with status 6; otherwise the reason, with a message in `why`.
    Outcome verdict(QString* why) const;

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

#include "protocol/operation.h"

namespace rzl {

namespace {

Step exchangeStep(Step::Kind kind, std::uint8_t command, const ExchangeOutcome& sent) {
    Step step;
    step.kind = kind;
    step.command = command;
    step.reached = sent.result;
    step.verdict = sent.verdict;
    step.reason = sent.reason;
    if (sent.result == ExchangeResult::Busy) {
        step.failure = Step::Failure::Busy;
    } else if (!sent.delivered()) {
        step.failure = Step::Failure::NotDelivered;
    } else if (sent.verdict.refused() || sent.verdict.garbled()) {
        step.failure = Step::Failure::Answer;
        step.reason = VerdictText(sent.verdict);
    }
    return step;
}

}  // namespace

QString Step::title() const {
    switch (kind) {
    case Kind::Write: return QStringLiteral("write ") + name;
    case Kind::Delete: return QStringLiteral("delete ") + name;
    case Kind::Command:
    case Kind::SendOnly: break;
    }
    return QStringLiteral("command %1").arg(command);
}

QStringList OperationResult::changed() const {
    QStringList titles;
    for (const Step& step : steps)
        if (step.done()) titles.append(step.title());
    return titles;
}

QStringList OperationResult::notDone() const {
    return planned.mid(changed().size());
}

QList<Step> OperationResult::unconfirmed() const {
    QList<Step> found;
    for (const Step& step : steps)
        if (step.done() && step.awaitsReply() && !step.confirmed()) found.append(step);
    return found;
}

OperationRun::OperationRun(const QStringList& planned, StopRequested stop) : stop_(std::move(stop)) {
    result_.planned = planned;
}

bool OperationRun::next() { return !(stop_ && stop_()); }

bool OperationRun::record(const Step& step) {
    result_.steps.append(step);
    return step.done();
}

OperationResult OperationRun::end(OperationResult::End end) {
    result_.end = end;
    return result_;
}

Step CommandStep(std::uint8_t command, const ExchangeOutcome& sent) {
    return exchangeStep(Step::Kind::Command, command, sent);
}

Step SendOnlyStep(std::uint8_t command, const ExchangeOutcome& sent) {
    return exchangeStep(Step::Kind::SendOnly, command, sent);
}

}  // namespace rzl

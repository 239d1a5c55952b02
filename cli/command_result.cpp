#include "cli/command_result.h"

#include <QJsonDocument>

#include "ui/setup/settings_backup.h"

namespace rzl::cli {

namespace {

struct OutcomeRow {
    Outcome outcome;
    const char* word;
    ExitCode exit;
};

constexpr OutcomeRow kOutcomes[] = {
    {Outcome::Done, "done", kExitDone},
    {Outcome::Invalid, "invalid", kExitUsage},
    {Outcome::Cancelled, "cancelled", kExitUsage},
    {Outcome::Skipped, "skipped", kExitUsage},
    {Outcome::Unreachable, "unreachable", kExitUnreachable},
    {Outcome::NotSent, "not-sent", kExitUnreachable},
    {Outcome::NoReply, "no-reply", kExitNoReply},
    {Outcome::Refused, "refused", kExitNoReply},
    {Outcome::Mismatch, "mismatch", kExitNoReply},
    {Outcome::NotLinked, "not-linked", kExitNotLinked},
    {Outcome::ForeignModule, "foreign-module", kExitForeignModule},
    {Outcome::Busy, "busy", kExitBusy},
    {Outcome::Interrupted, "interrupted", kExitInterrupted},
    {Outcome::Terminated, "terminated", kExitTerminated},
};

const OutcomeRow& rowOf(Outcome outcome) {
    for (const OutcomeRow& row : kOutcomes)
        if (row.outcome == outcome) return row;
    return kOutcomes[0];
}

}  // namespace

const QList<Outcome>& AllOutcomes() {
    static const QList<Outcome> all = [] {
        QList<Outcome> list;
        for (const OutcomeRow& row : kOutcomes) list.append(row.outcome);
        return list;
    }();
    return all;
}

QString OutcomeWord(Outcome outcome) { return QString::fromLatin1(rowOf(outcome).word); }

ExitCode ExitCodeOf(Outcome outcome) { return rowOf(outcome).exit; }

Outcome OutcomeOfExitCode(ExitCode code) {
    // The first row with the code is its usual meaning.
    for (const OutcomeRow& row : kOutcomes)
        if (row.exit == code) return row.outcome;
    return Outcome::Invalid;
}

void Merge(QJsonObject& into, const QJsonObject& from) {
    for (auto it = from.begin(); it != from.end(); ++it) into.insert(it.key(), it.value());
}

QJsonObject ResultObject(const CommandReport& report, Outcome outcome, const QString& error) {
    QJsonObject module = report.module;
    if (const std::optional<ModuleFacts>& f = report.identified)
        Merge(module, ModuleAboutJson(f->model, f->modelCode, f->mac, f->firmware));
    QJsonObject json{{"command", report.command.isEmpty() ? QJsonValue() : QJsonValue(report.command)},
                     {"outcome", OutcomeWord(outcome)},
                     {"exit", ExitCodeOf(outcome)},
                     {"module", module},
                     {"details", report.details}};
    if (outcome != Outcome::Done) json.insert("error", error);
    return json;
}

QByteArray ResultLine(const CommandReport& report, Outcome outcome, const QString& error) {
    return QJsonDocument(ResultObject(report, outcome, error)).toJson(QJsonDocument::Compact);
}

}  // namespace rzl::cli

#pragma once
// The one shape of rzlctl's --json results, as the README defines it: the same keys for every
// command, an outcome from one closed set that fixes the exit code, the module under the same
// names everywhere, and the error when the outcome is not "done". Written out here on its own,
// not taken from the program, so that a change of the program that breaks it fails the tests.

#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>

namespace rzl::test {

// The closed set of outcomes and the exit code each one means.
inline const QMap<QString, int> kOutcomes{
    {"done", 0},       {"invalid", 1},  {"cancelled", 1},  {"skipped", 1},    {"unreachable", 2},
    {"not-sent", 2},   {"no-reply", 3}, {"refused", 3},    {"mismatch", 3},   {"not-linked", 4},
    {"foreign-module", 5}, {"busy", 7}, {"interrupted", 130}, {"terminated", 143},
};

// What "module" may hold, and the type of each.
inline const QMap<QString, QJsonValue::Type> kModuleFields{
    {"address", QJsonValue::String}, {"host", QJsonValue::String},  {"port", QJsonValue::Double},
    {"model", QJsonValue::String},   {"modelCode", QJsonValue::Double}, {"mac", QJsonValue::String},
    {"firmware", QJsonValue::String}, {"reportedAddress", QJsonValue::String},
};

constexpr int kAnyExit = -1;  // a watch's rows before its last: their outcome is not the process's

// Why a line of standard output is not a result of `command` ended with `exitCode`; empty when it is.
inline QString ShapeProblem(const QString& line, const QString& command, int exitCode) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
    if (!document.isObject()) return QStringLiteral("not a JSON object: ") + error.errorString();
    const QJsonObject r = document.object();
    const QString outcome = r["outcome"].toString();
    if (!kOutcomes.contains(outcome)) return QStringLiteral("outcome '%1' is not one of the set").arg(outcome);
    QStringList keys{"command", "details", "exit", "module", "outcome"};
    if (outcome != QLatin1String("done")) keys.append("error");
    keys.sort();
    if (r.keys() != keys) return QStringLiteral("keys %1, not %2").arg(r.keys().join(','), keys.join(','));
    const QJsonValue expectedCommand = command.isEmpty() ? QJsonValue() : QJsonValue(command);
    if (r["command"] != expectedCommand) return QStringLiteral("command %1").arg(r["command"].toString("null"));
    if (r["exit"] != QJsonValue(kOutcomes[outcome]) || (exitCode != kAnyExit && kOutcomes[outcome] != exitCode))
        return QStringLiteral("outcome %1 with exit %2 in the object and %3 from the process")
            .arg(outcome)
            .arg(r["exit"].toInt())
            .arg(exitCode);
    if (!r["module"].isObject() || !r["details"].isObject()) return QStringLiteral("module or details not an object");
    const QJsonObject module = r["module"].toObject();
    for (auto it = module.begin(); it != module.end(); ++it)
        if (!kModuleFields.contains(it.key()) || it.value().type() != kModuleFields[it.key()])
            return QStringLiteral("module field %1").arg(it.key());
    if (module.contains("model") && !(module.contains("modelCode") && module.contains("mac") && module.contains("firmware")))
        return QStringLiteral("module: the identify reply's facts only in part");
    if (r.contains("error") && r["error"].toString().isEmpty()) return QStringLiteral("an empty error");
    return {};
}

}  // namespace rzl::test

// rzlctl as a user runs it, against each fault a module or the network can put in its way. Per
// row: a one-shot command shows the reason on standard error, ends with its exit code and prints
// no result that claims the request was done; a watch that meets the same fault in the middle of
// its polls says why a poll failed, takes nothing from the faulty replies, and shows the module
// again with its next poll once the fault is gone (its exchange guard was let go).
//
// Rows for the slowed link and the unreachable default address run inside the namespaces that
// tests/scripts/fault_table_netns_test.sh makes; everywhere else the loopback rows run.

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <gtest/gtest.h>

#include "tests/support/fault_rows.h"
#include "tests/support/rzlctl_run.h"

namespace rzl::test {
namespace {

constexpr std::uint8_t kBefore = 0x00;  // the module's inputs before the fault,
constexpr std::uint8_t kDuring = kInputsDuringFault;  // during it (where a module answers at all)
constexpr std::uint8_t kAfter = 0x04;   // and once it is gone

struct CliRow {
    const char* name;
    FaultNetwork network;
    std::function<bool(FaultTarget&)> fault;
    int exitCode;     // kAnyFailure: one of the codes for a module that failed the request (2-5)
    QString message;  // on standard error, also in the watch's failed-poll line; empty: none
    int atLeastMs = 0;  // the one-shot takes at least this long
    QStringList command = {QStringLiteral("status")};
    const char* open = nullptr;  // a fault not yet mended: the row says why and is not run
    // Met while the one-shot runs, after the fault was set (for faults in the middle of a write).
    std::function<void(FaultTarget&)> during = {};
    // How a watch's polls fail under the fault; null: as the one-shot (status rows), or not at all.
    const char* pollFailure = nullptr;
};

constexpr int kAnyFailure = -1;
const QString kImage = QStringLiteral("@image");  // in a command: a 256 KiB firmware image file

// The faults both programs meet, then those of rzlctl's writes.
QList<CliRow> Rows() {
    QList<CliRow> rows;
    for (const FaultRow& f : Faults())
        rows.append({f.name, f.network, f.fault, f.cli.exitCode, f.cli.message, f.atLeastMs, f.cli.command});
    using sim::FaultMode;
    rows += QList<CliRow>{
        // Content streams: the module restarts halfway through one (every connection drops, nothing
        // of the content is kept). These rows run once rzlctl has the command.
        {"connection reset in the middle of a content stream", FaultNetwork::Loopback, FaultyModule(FaultMode::Restart),
         kAnyFailure, "", 0, {"--yes", "set-location", "Elsewhere"},
         "a settings file fits in one piece, sent and closed before the module restarts and loses it; the module "
         "acknowledges no content, so set-location reports it written"},
        {"module restarting during a firmware upload", FaultNetwork::Loopback, FaultyModule(FaultMode::Restart),
         kAnyFailure, "", 0, {"--yes", "firmware", kImage}},
        // Writes: a refusal is no success, a command the module took and closed on is sent, and a
        // write cut between its steps says what the module already has.
        {"refuses a settings file", FaultNetwork::Loopback, FaultyModule(FaultMode::Reject), 3,
         "File header refused by the module (status 21)", 0, {"--yes", "set-location", "Roof"}, nullptr, {},
         "reply not accepted (status 21)"},
        {"takes a command and closes without a reply", FaultNetwork::Loopback, FaultyModule(FaultMode::Close), 0,
         "Information: Wi-Fi Mode write complete", 0, {"--yes", "wifi-mode", "station"}, nullptr, {}, "RX Error: "},
        {"refuses the second file of a write", FaultNetwork::Loopback, FaultyModule(FaultMode::None), 3,
         "write /local/sta_keyT.cfg\n    . Not done: write /local/sta_ssid.cfg", 0,
         {"--yes", "set-station", "Shop", "--type", "open"}, nullptr,
         AfterContentOf("/local/sta_keyT.cfg", [](FaultTarget& t) { t.sim()->setFault(FaultMode::Reject); })},
        {"gone before the Modbus notice", FaultNetwork::Loopback, FaultyModule(FaultMode::None), 0,
         "The Modbus notice (command 220)", 0, {"--yes", "set-modbus", "503", "30"}, nullptr,
         AfterContentOf("/local/mbport.cfg", [](FaultTarget& t) { t.nothingListening(); })},
    };
    return rows;
}

QList<QJsonObject> JsonLines(const QString& out) {
    QList<QJsonObject> lines;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts))
        lines.append(QJsonDocument::fromJson(line.toUtf8()).object());
    return lines;
}

// Whether standard output claims the command was done: its result, or for set-do an output
// reported as switched as asked.
bool ReportsDone(const QString& out, const QStringList& command) {
    for (const QJsonObject& json : JsonLines(out)) {
        if (json["outcome"] == QLatin1String("done")) return true;
        if (command.contains("set-do") && json["details"].toObject()["on"].toBool() == (command.last() == "on"))
            return true;
    }
    return false;
}

class RzlctlFaultTable : public ::testing::Test {
protected:
    // Whether rzlctl has the command a row needs: its --help lists it.
    bool knows(const QStringList& command) {
        const QString name = command.value(command.first() == "--yes" ? 1 : 0);
        return RunRzlctl({"--help"}).out.contains(QStringLiteral("  ") + name + QLatin1Char(' '));
    }

    QStringList withFiles(QStringList command) const {
        for (QString& arg : command) {
            if (arg != kImage) continue;
            arg = workDir.filePath("image.bin");
            QFile image(arg);
            EXPECT_TRUE(image.open(QIODevice::WriteOnly));
            image.write(QByteArray(256 * 1024, '\x5A'));
        }
        return command;
    }

    QStringList base(const FaultTarget& target) const {
        QStringList args{"--no-link-check", "--json"};
        // At the default address, rzlctl is given no address at all.
        if (target.network() != FaultNetwork::UnreachableDefault) args.append("--device=" + target.device());
        return args;
    }

    QTemporaryDir workDir;
};

// The inputs of each change a watch printed (its outage rows left out).
QList<int> ChangedInputs(const QString& out) {
    QList<int> di;
    for (const QJsonObject& json : JsonLines(out)) {
        const QJsonObject details = json["details"].toObject();
        if (details["event"] == QLatin1String("change")) di.append(details["di"].toInt());
    }
    return di;
}

TEST_F(RzlctlFaultTable, EachFaultIsReportedAndTheNextPollReachesTheModule) {
    const FaultNetwork here = CurrentFaultNetwork();
    for (const CliRow& row : Rows()) {
        if (row.network != here) continue;
        SCOPED_TRACE(row.name);
        if (row.open) {
            std::printf("not run, open: %s: %s\n", row.name, row.open);
            continue;
        }
        if (!knows(row.command)) {
            std::printf("left out, rzlctl has no %s yet: %s\n", qPrintable(row.command.join(' ')), row.name);
            continue;
        }
        FaultTarget target(here);

        // One request meeting the fault.
        ASSERT_TRUE(target.module(kBefore));
        ASSERT_TRUE(row.fault(target));
        QElapsedTimer elapsed;
        elapsed.start();
        const auto [exitCode, out, err] = RunRzlctl(base(target) + withFiles(row.command), workDir.path(), 30000, [&] {
            if (row.during) row.during(target);
        });
        if (row.exitCode == kAnyFailure) {
            EXPECT_TRUE(exitCode >= 2 && exitCode <= 5) << exitCode << " " << err.toStdString();
        } else {
            EXPECT_EQ(exitCode, row.exitCode) << err.toStdString();
        }
        EXPECT_GE(elapsed.elapsed(), row.atLeastMs);
        if (row.exitCode == 0) {
            EXPECT_TRUE(ReportsDone(out, row.command)) << out.toStdString();
            // Nothing on standard error but what the row expects there.
            EXPECT_TRUE(row.message.isEmpty() ? err.isEmpty() : err.contains(row.message)) << err.toStdString();
        } else {
            EXPECT_FALSE(ReportsDone(out, row.command)) << out.toStdString();
            EXPECT_TRUE(err.contains(row.message)) << err.toStdString();
            EXPECT_TRUE(out.contains(R"("error":)")) << out.toStdString();
        }

        // A watch that meets it between two good polls, in one process.
        ASSERT_TRUE(target.module(kBefore));
        RunningRzlctl watch(base(target) + QStringList{"--interval-ms", "50", "watch"}, workDir.path());
        const auto inputs = [&watch] { return ChangedInputs(watch.out()); };
        ASSERT_TRUE(watch.until([&] { return inputs() == QList<int>{kBefore}; }, 15000)) << watch.err().toStdString();
        ASSERT_TRUE(row.fault(target));
        const bool pollsFail = row.pollFailure || (row.exitCode != 0 && row.command.first() == "status");
        if (pollsFail) {
            EXPECT_TRUE(watch.untilError("rzlctl: poll failed: ", 1, 15000));
            EXPECT_TRUE(watch.err().contains(row.pollFailure ? QString::fromLatin1(row.pollFailure) : row.message))
                << watch.err().toStdString();
        } else {
            // Polls go on through this fault: the module's inputs as they are during it show.
            EXPECT_TRUE(watch.until([&] { return inputs().contains(kDuring); }, 15000)) << watch.err().toStdString();
        }
        ASSERT_TRUE(target.module(kAfter));
        EXPECT_TRUE(watch.until([&] { return inputs().contains(kAfter); }, 15000)) << watch.err().toStdString();
        EXPECT_EQ(inputs(), pollsFail ? QList<int>({kBefore, kAfter}) : QList<int>({kBefore, kDuring, kAfter}));
        watch.signal(SIGTERM);
        EXPECT_EQ(watch.finished(), 143) << "the watch ended by itself: " << watch.err().toStdString();
    }
}

}  // namespace
}  // namespace rzl::test

// The parsers that read what a user types or passes: address texts, the command-line options,
// the simulator's input pattern and its state file, the setup window's settings fields,
// rzlctl's settings commands and the settings backup file. Input: [parser][text...]. Each parser also
// has to agree with what the rest of the program assumes of its result.

#include <QHostAddress>
#include <QStringList>

#include "app/desktop_arguments.h"
#include "app/options.h"
#include "cli/settings_commands.h"
#include "link/target_address.h"
#include "protocol/text_codec.h"
#include "sim/module_state.h"
#include "sim/simulator.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/sim_invariants.h"
#include "tests/support/test_program.h"
#include "ui/setup/settings_backup.h"
#include "ui/setup/settings_writes.h"
#include "ui/setup/settings_fields.h"

namespace {

using namespace rzl;
using fuzz::Require;

QString Text(const QByteArray& bytes) { return QString::fromUtf8(bytes); }

void AddressText(const QByteArray& bytes) {
    const QString text = Text(bytes);
    if (IsValidIpText(text))
        Require(TargetSubnetPrefix(text).has_value(), "a valid address has no subnet prefix");
}

// The main window's address field, as typed.
void AddressField(const QByteArray& bytes) {
    test::TestProgram t;
    int checks = 0;
    t.ctx.linkCheck = [&checks] { ++checks; return true; };
    const QString before = t.ctx.session.deviceIp;
    t.screen.main.edit2 = Text(bytes);
    const bool changed = !ChangeTargetAddress(t.ctx, t.screen.main.edit2).has_value();
    Require(changed == TargetSubnetPrefix(t.screen.main.edit2).has_value(), "the address change disagrees with its parser");
    Require(changed ? t.ctx.session.deviceIp == t.screen.main.edit2 : t.ctx.session.deviceIp == before,
            "the target is not what the address change says");
    Require(checks == (changed ? 1 : 0), "the link check ran for a refused address");
    Require(!changed || t.ctx.session.deviceIp.startsWith(t.ctx.host.subnetPrefix), "the subnet prefix is not the target's");
}

void DeviceOption(const QByteArray& bytes) {
    LaunchOptions options;
    QString problem;
    if (!ParseDeviceOption(Text(bytes), options, &problem)) {
        Require(!problem.isEmpty(), "--device refused without a reason");
        return;
    }
    Require(options.deviceHost && IsValidIpText(*options.deviceHost), "--device took a host the exchanges cannot reach");
    Require(!options.devicePort || *options.devicePort != 0, "--device took port 0");
}

// The desktop program's whole argument list, arguments separated by zero bytes.
void DesktopArgumentList(const QByteArray& bytes) {
    QStringList arguments{QStringLiteral("rzl-ctrl")};
    for (const QByteArray& argument : bytes.split('\0')) arguments << Text(argument);
    DesktopArguments settings;
    const ParsedArguments parsed = ParseDesktopArguments(arguments, settings);
    if (parsed.result == ParseResult::Run) {
        Require(!settings.launch.deviceHost || IsValidIpText(*settings.launch.deviceHost),
                "an argument list set an unreachable host");
        Require(!(settings.launch.demo && settings.launch.deviceHost), "--demo taken together with --device");
    } else {
        Require(!parsed.text.isEmpty(), "an argument list answered without a text");
    }
}

void InputsPattern(const QByteArray& bytes) {
    std::array<int, 8> periods{};
    QString why;
    if (!sim::ParseInputsPattern(Text(bytes), periods, &why)) {
        Require(!why.isEmpty(), "--inputs refused without a reason");
        return;
    }
    for (int period : periods) Require(period >= 0, "--inputs took a negative period");
}

void StateFile(const QByteArray& bytes) {
    sim::ModuleState state;
    QString why;
    if (!sim::StateFromJson(bytes, state, &why)) {
        Require(!why.isEmpty(), "a state file refused without a reason");
        return;
    }
    fuzz::CheckModuleState(state);
}

// A settings write never gets past its confirmation here: every box answers No, so a write
// either refuses its fields or stops at the question, and nothing reaches the module.
void RequireStoppedBeforeSending(test::TestProgram& t, const WriteResult& result, int linkChecks) {
    Require(linkChecks == 0, "a settings write ran the link check past a No");
    Require(result.outcome == WriteOutcome::InvalidInput || result.outcome == WriteOutcome::Cancelled,
            "a settings write went on past a No");
    const bool asked = !t.dialogs.boxes.isEmpty() && t.dialogs.boxes.last().confirmation;
    Require(asked == (result.outcome == WriteOutcome::Cancelled), "a settings write ended other than its boxes say");
    if (result.outcome == WriteOutcome::InvalidInput)
        Require(!result.message.isEmpty() && !t.dialogs.boxes.isEmpty(), "a field refused without an error box");
}

// A write that wrongly got past its No must not reach the default module address on this
// host's network: the target is a loopback port nothing listens on.
void OnLoopbackOnly(test::TestProgram& t) {
    t.ctx.session.deviceIp = QStringLiteral("127.0.0.1");
    t.ctx.session.tcpPort = 1;
}

// The setup window's apply operations on typed fields. Input: [operation][flags][fields split by
// zero bytes]; the flags pick the key type and the static IP check box.
void SettingsWriteFields(const QByteArray& bytes) {
    if (bytes.size() < 2) return;
    test::TestProgram t;
    OnLoopbackOnly(t);
    int checks = 0;
    t.ctx.linkCheck = [&checks] { ++checks; return true; };
    t.dialogs.answers = {false, false, false};
    const int flags = static_cast<std::uint8_t>(bytes[1]);
    const QList<QByteArray> parts = bytes.mid(2).split('\0');
    const auto field = [&parts](int i) { return i < parts.size() ? Text(parts[i]) : QString(); };
    SetupView& v = t.screen.setup;
    WriteResult (*operation)(Program&) = nullptr;
    switch (static_cast<std::uint8_t>(bytes[0]) % 6) {
    case 0:
        v.edit1 = field(0), v.edit2 = field(1), v.radioButton1 = flags & 1, v.radioButton2 = !(flags & 1);
        operation = &ApSsidWrite;
        break;
    case 1:
        v.edit3 = field(0), v.edit4 = field(1);
        v.radioButton3 = flags % 3 == 0, v.radioButton4 = flags % 3 == 1, v.radioButton5 = flags % 3 == 2;
        operation = &StationSsidWrite;
        break;
    case 2:
        v.checkBox1 = flags & 1, v.edit8 = field(0), v.edit9 = field(1), v.edit10 = field(2);
        operation = &StaticIpWrite;
        break;
    case 3: v.edit6 = field(0), operation = &WebKeyWrite; break;
    case 4: v.edit5 = field(0), operation = &LocationWrite; break;
    default: v.edit7 = field(0), v.edit11 = field(1), operation = &ModbusWrite; break;
    }
    const WriteResult result = operation(t.program);
    RequireStoppedBeforeSending(t, result, checks);
    if (result.outcome != WriteOutcome::Cancelled) return;
    // What got as far as the question is what the module can store.
    if (operation == &ModbusWrite) {
        const int port = v.edit7.toInt(), timeout = v.edit11.toInt();
        Require(port >= 1 && port <= 65535 && port != 80 && port != 13577, "a Modbus port out of range was asked for");
        Require(timeout >= 1 && timeout <= 65000, "an idle timeout out of range was asked for");
    } else if (operation == &StaticIpWrite && v.checkBox1) {
        Require(IsValidIpText(v.edit8) && IsValidIpText(v.edit9) && IsValidIpText(v.edit10), "an invalid address was asked for");
        const std::uint32_t mask = QHostAddress(NormalIpText(v.edit9)).toIPv4Address();
        Require((~mask & (~mask + 1)) == 0, "a mask with holes was asked for");
    } else if (operation == &LocationWrite) {
        const std::optional<QByteArray> location = toAnsi(v.edit5);
        Require(location && !location->isEmpty() && location->size() <= 31, "a location the module cannot store was asked for");
    } else if (operation == &WebKeyWrite) {
        const std::optional<QByteArray> key = toAnsi(v.edit6);
        Require(key && !key->isEmpty() && key->size() <= 5, "a web key the module cannot store was asked for");
    } else if (operation == &ApSsidWrite || operation == &StationSsidWrite) {
        const QString& ssid = operation == &ApSsidWrite ? v.edit1 : v.edit3;
        const std::optional<QByteArray> bytes = toAnsi(ssid);
        Require(bytes && !bytes->isEmpty() && bytes->size() <= 31, "an SSID the module cannot store was asked for");
    }
}

// rzlctl's set-* commands: [--type value][command][arguments...], split by zero bytes. A command
// that parses is run as rzlctl runs it, up to the confirmation.
void SettingsCommandLine(const QByteArray& bytes) {
    QList<QByteArray> parts = bytes.split('\0');
    const QString keyType = Text(parts.takeFirst());
    QStringList args;
    for (const QByteArray& part : parts) args << Text(part);
    cli::SettingsCommand command;
    QString problem;
    if (!cli::ParseSettingsCommand(args, keyType, &command, &problem)) {
        Require(!problem.isEmpty(), "a settings command refused without saying what it takes");
        return;
    }
    Require(command.name == args.value(0), "a settings command parsed incomplete");
    test::TestProgram t;
    OnLoopbackOnly(t);
    int checks = 0;
    t.ctx.linkCheck = [&checks] { ++checks; return true; };
    t.dialogs.answers = {false, false, false};
    const Checked<cli::PreparedWrite> write = cli::PrepareSettingsWrite(command, [&t](const QString& line, Measured) { t.ctx.log(line); });
    if (!write.ok()) {
        Require(write.problem.shown(), "a settings command refused its values without an error box");
        return;
    }
    Require(!t.dialogs.confirm(write.value->confirmation, QStringLiteral("Confirm")), "the confirmation was not asked");
    Require(checks == 0, "a settings command ran the link check before its confirmation");
}

void SettingsBackupFile(const QByteArray& bytes) {
    QString why;
    const std::optional<SavedSettings> read = ReadSettingsFile(bytes, &why);
    if (!read) {
        Require(!why.isEmpty(), "a settings file refused without a reason");
        return;
    }
    Require(read->modbusPort >= 1 && read->modbusPort <= 65535 && read->modbusPort != 80 && read->modbusPort != 13577,
            "a settings file took a Modbus port the module cannot use");
    Require(read->modbusIdleTimeout >= 1 && read->modbusIdleTimeout <= 65000, "a settings file took an idle timeout out of range");
    Require(read->staKeyType >= 0 && read->staKeyType <= 2, "a settings file took an unknown key type");
    // What was read writes back to the same file, and restores onto itself as nothing to do.
    const QByteArray text = SettingsFileText(*read);
    const std::optional<SavedSettings> again = ReadSettingsFile(text, &why);
    Require(again && SettingsFileText(*again) == text, "a settings file read does not write back the same");
    for (SettingsGroup group : SettingsGroups()) {
        Require(!GroupText(group, *read).isEmpty(), "a settings group without a text");
        Require(!GroupDiffers(group, *read, *read), "a settings group differs from itself");
    }
    Require(PlanRestore(*read, *read, {}, false).nothingToDo(), "restoring settings onto themselves changes something");
}

using Parser = void (*)(const QByteArray&);
// The first input byte picks one; new parsers of user input go at the end, so the corpus keeps
// its meaning.
constexpr Parser kParsers[] = {
    AddressText,         AddressField,       DeviceOption,      DesktopArgumentList, InputsPattern, StateFile,
    SettingsWriteFields, SettingsCommandLine, SettingsBackupFile,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::EnsureApplication();
    fuzz::InputReader in(data, size);
    const Parser parser = kParsers[in.byte() % std::size(kParsers)];
    parser(in.rest());
    return 0;
}

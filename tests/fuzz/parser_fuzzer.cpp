// The parsers that read what a user types or passes: address texts, the command-line options,
// the simulator's input pattern and its state file. Input: [parser][text...]. Each parser also
// has to agree with what the rest of the program assumes of its result.

#include <QStringList>

#include "app/desktop_arguments.h"
#include "app/options.h"
#include "link/target_address.h"
#include "sim/module_state.h"
#include "sim/simulator.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/sim_invariants.h"
#include "tests/support/test_program.h"
#include "ui/setup/tform2.h"

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
    const bool changed = ChangeTargetAddress(t.ctx);
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

using Parser = void (*)(const QByteArray&);
// The first input byte picks one; new parsers of user input (the setup window's settings
// fields, for instance) go at the end, so the corpus keeps its meaning.
constexpr Parser kParsers[] = {
    AddressText, AddressField, DeviceOption, DesktopArgumentList, InputsPattern, StateFile,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::EnsureApplication();
    fuzz::InputReader in(data, size);
    const Parser parser = kParsers[in.byte() % std::size(kParsers)];
    parser(in.rest());
    return 0;
}

// The simulated module over loopback, talked to with a plain socket as the controller would.

#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <memory>
#include <vector>
#include <gtest/gtest.h>

#include "sim/module_state.h"
#include "sim/simulator.h"
#include "tests/support/wait.h"

namespace rzl::sim {
namespace {

using test::WaitFor;

const QByteArray kSig = QByteArray::fromHex("5A3577A5");
const QByteArray kIdentify = QByteArray::fromHex("5A3577A5210000");

QByteArray Frame(const char* hexAfterSignature) { return kSig + QByteArray::fromHex(hexAfterSignature); }
// Bytes as hex text, so a failure reads as the frames do.
std::string Hex(const QByteArray& bytes) { return bytes.toHex(' ').toStdString(); }

QTcpSocket* Connect(QTcpSocket& s, std::uint16_t port) {
    s.connectToHost(QHostAddress::LocalHost, port);
    return s.waitForConnected(3000) ? &s : nullptr;
}

// One request on its own connection; the reply is everything up to the module's close.
QByteArray Exchange(std::uint16_t port, const QByteArray& request) {
    QTcpSocket s;
    if (!Connect(s, port))
        return "no connection";
    s.write(request);
    s.waitForBytesWritten(3000);
    QByteArray reply;
    while (s.waitForReadyRead(5000))
        reply += s.readAll();
    return reply + s.readAll();
}

// Connect, write, close: the send-only way (file content, reboot, firmware header).
void SendOnly(std::uint16_t port, const QByteArray& bytes) {
    QTcpSocket s;
    ASSERT_TRUE(Connect(s, port));
    s.write(bytes);
    s.waitForBytesWritten(3000);
    s.disconnectFromHost();
    if (s.state() != QAbstractSocket::UnconnectedState)
        s.waitForDisconnected(3000);
}

QByteArray Be32(std::uint32_t v) {
    QByteArray b;
    return b.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
}

QByteArray Header(const QByteArray& name, std::uint32_t length, std::uint32_t sum, int size = 60, char code = 0x5F) {
    QByteArray h(size, '\0');
    h.replace(0, 4, kSig);
    h[4] = code;
    h.replace(5, 4, Be32(length));
    h.replace(9, 4, Be32(sum));
    h[16] = char(name.size());
    h.replace(17, name.size(), name);
    return h.left(size);
}

QByteArray Delete(const QByteArray& name) { return Header(name, 0, 0, 40, 0x5D); }

std::uint32_t Sum(const QByteArray& bytes) {
    std::uint32_t s = 0;
    for (char c : bytes)
        s += static_cast<unsigned char>(c);
    return s;
}

// A file write as the controller makes it: header exchange, then the content on its own connection.
QByteArray WriteFile(std::uint16_t port, const QByteArray& name, const QByteArray& content) {
    const QByteArray reply = Exchange(port, Header(name, std::uint32_t(content.size()), Sum(content)));
    SendOnly(port, content);
    return reply;
}

SimOptions QuickOptions() {
    SimOptions o;
    o.idleTimeoutMs = 300;
    o.slowDelayMs = 300;
    o.splitPauseMs = 200;
    return o;
}

struct Sim {
    SimulatorThread thread;
    explicit Sim(SimOptions o = QuickOptions()) : thread(std::move(o)) { started = thread.start(); }
    bool started = false;
    std::uint16_t port() const { return thread.port(); }
    bool identifyWorks() {
        const QByteArray r = Exchange(port(), kIdentify);
        return r.size() == 198 && r.startsWith(kSig + "\x21\x06");
    }
    bool hasFile(const char* name) const { return thread.state().files.contains(QString::fromLatin1(name)); }
};

TEST(Simulator, IdentifyCarriesTheStateAtItsOffsets) {
    ModuleState s;
    s.model = 179;
    s.mac = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6};
    s.fwMajor = 2;
    s.fwMinor = 0x0A;
    s.location = QByteArray(40, 'L');  // longer than its field: cut at 31
    s.apSsid = "ap-net";
    s.apKeyType = 2;
    s.apKey = "apkey123";
    s.staSsid = "office";
    s.staKeyType = 1;
    s.staKey = "stakey12";
    s.wifiModeAp = false;
    s.doBits = 0x02;
    s.diBits = 0x09;
    s.modbusPort = 1502;
    s.staticIp = true;
    s.staIp = {192, 168, 1, 20};
    s.staNetmask = {255, 255, 0, 0};
    s.staGateway = {192, 168, 1, 1};
    s.rssi = 0xFFB0;
    s.idleTimeout = 30;
    SimOptions o = QuickOptions();
    o.initialState = s;
    o.reportedAddress = std::array<std::uint8_t, 4>{192, 168, 77, 5};
    Sim sim(o);
    ASSERT_TRUE(sim.started);

    const QByteArray r = Exchange(sim.port(), kIdentify);
    ASSERT_EQ(r.size(), 198);
    const struct {
        int offset;
        QByteArray bytes;
    } fields[] = {
        {0, QByteArray::fromHex("5A3577A5 21 06 B3")},
        {7, QByteArray::fromHex("054DA8C0")},  // 192.168.77.5, least significant octet first
        {11, QByteArray::fromHex("A1B2C3D4E5F6")},
        {24, QByteArray::fromHex("020A")},
        {40, QByteArray(31, 'L') + QByteArray(9, '\0')},
        {80, QByteArray("ap-net\0", 7)},
        {112, QByteArray("\x02" "apkey123\0", 10)},
        {128, QByteArray("office\0", 7)},
        {160, QByteArray("\x01" "stakey12\0", 10)},
        {176, QByteArray::fromHex("00 02 09 05DE 01 C0A80114 FFFF0000 C0A80101 FFB0 001E")},
    };
    for (const auto& f : fields)
        EXPECT_EQ(r.mid(f.offset, f.bytes.size()).toHex(' '), f.bytes.toHex(' ')) << "offset " << f.offset;
}

TEST(Simulator, AnswersEachCommand) {
    ModuleState s;
    s.model = 176;
    s.diBits = 0x05;
    s.counters = {1, 2, 3, 4, 5, 6, 7, 0xFFFFFFFF};
    SimOptions o = QuickOptions();
    o.initialState = s;
    Sim sim(o);
    ASSERT_TRUE(sim.started);

    // In order: each row sees the state the rows before it left.
    const struct {
        const char* what;
        QByteArray request;
        QByteArray reply;
    } rows[] = {
        {"poll", Frame("D8"), Frame("D8 06 00 05 FFC4")},
        {"DO2 on", Frame("D0 03 01"), Frame("D0 06 04 05")},
        {"DO3 is not on this model", Frame("D0 04 01"), Frame("D0 06 04 05")},
        {"DO0 on", Frame("D0 01 01"), Frame("D0 06 05 05")},
        {"DO2 off", Frame("D0 03 00"), Frame("D0 06 01 05")},
        {"no output 7", Frame("D0 07 01"), Frame("D0 15 01 05")},
        {"locate", Frame("1D 03 01"), Frame("1D 06")},
        {"counters", Frame("60 00 00"),
         Frame("60 06 00000001 00000002 00000003 00000004 00000005 00000006 00000007 FFFFFFFF")},
        {"clear DI1", Frame("61 01"), Frame("61 06")},
        {"no DI8", Frame("61 08"), Frame("61 15")},
        {"counters after clear", Frame("60 00 00"),
         Frame("60 06 00000001 00000000 00000003 00000004 00000005 00000006 00000007 FFFFFFFF")},
        {"checksum with no image", Frame("25 00000000"), Frame("25 06 00000000")},
        {"modbus notice", Frame("DC"), Frame("DC 06")},
        {"web key", Frame("32 05") + "abcde", Frame("32 06")},
        {"unknown code", Frame("77 00 00"), Frame("77 15")},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Exchange(sim.port(), row.request).toHex(' '), row.reply.toHex(' ')) << row.what;
    EXPECT_EQ(sim.thread.state().webKey, "abcde");

    // A frame that arrives in pieces is still one frame.
    QTcpSocket pieces;
    ASSERT_TRUE(Connect(pieces, sim.port()));
    pieces.write(kIdentify.left(3));
    pieces.waitForBytesWritten(1000);
    QThread::msleep(50);
    pieces.write(kIdentify.mid(3));
    QByteArray reply;
    while (pieces.waitForReadyRead(3000))
        reply += pieces.readAll();
    EXPECT_EQ(reply.size(), 198);
    EXPECT_EQ(sim.thread.receivedFrames().last(), kIdentify);
}

TEST(Simulator, OutputsFollowTheModelMasks) {
    Sim sim;
    ASSERT_TRUE(sim.started);
    const struct {
        std::uint8_t model;
        std::uint8_t outputs;
    } models[] = {{176, 0x07}, {179, 0x03}, {180, 0x03}, {177, 0x00}, {178, 0x3F}, {188, 0x1F}, {208, 0x1F}, {120, 0x00}};
    for (const auto& m : models) {
        ModuleState s;
        s.model = m.model;
        sim.thread.setState(s);
        for (int output = 1; output <= 6; ++output)
            Exchange(sim.port(), kSig + QByteArray::fromHex("D0") + char(output) + '\x01');
        EXPECT_EQ(Exchange(sim.port(), Frame("D8")).mid(6, 1).toHex(), QByteArray(1, char(m.outputs)).toHex())
            << "model " << int(m.model);
    }
}

TEST(Simulator, StoresFilesAndAppliesSettingsOnReboot) {
    Sim sim;
    ASSERT_TRUE(sim.started);
    const QByteArray reboot = Frame("2D");

    const struct {
        const char* name;
        QByteArray content;
        int offset;         // where the identify reply shows it after the reboot
        QByteArray shown;
    } files[] = {
        {"/local/locate.cfg", "Roof top", 40, QByteArray("Roof top\0", 9)},
        {"/local/sta_ip.cfg", QByteArray::fromHex("C0A80132 FFFFFF00 C0A80101"), 181,
         QByteArray::fromHex("01 C0A80132 FFFFFF00 C0A80101")},
        {"/local/mbport.cfg", QByteArray::fromHex("01F6 001E 000000000000"), 179, QByteArray::fromHex("01F6")},
        {"/local/ap_key.cfg", "secret99", 112, QByteArray::fromHex("02")},
        {"/local/ap_ssid.cfg", "my-ap", 80, QByteArray("my-ap\0", 6)},
        {"/local/sta_ssid.cfg", "the office", 128, QByteArray("the office\0", 11)},
        {"/local/sta_keyT.cfg", QByteArray(1, '\x01'), 160, QByteArray::fromHex("01")},
    };
    for (const auto& f : files) {
        EXPECT_EQ(WriteFile(sim.port(), f.name, f.content).toHex(' '), Frame("5F 06").toHex(' ')) << f.name;
        ASSERT_TRUE(WaitFor([&] { return sim.thread.state().files.value(QString::fromLatin1(f.name)) == f.content; }))
            << f.name;
    }
    EXPECT_EQ(Exchange(sim.port(), kIdentify).mid(40, 4), QByteArray("Lab "));  // not before the restart
    SendOnly(sim.port(), reboot);
    ASSERT_TRUE(WaitFor([&] { return sim.thread.state().location == "Roof top"; }));
    const QByteArray id = Exchange(sim.port(), kIdentify);
    for (const auto& f : files)
        EXPECT_EQ(id.mid(f.offset, f.shown.size()).toHex(' '), f.shown.toHex(' ')) << f.name;
    EXPECT_EQ(id.mid(196, 2).toHex(), "001e");

    // Deleting the static address file turns static IP off at the next restart.
    EXPECT_EQ(Exchange(sim.port(), Delete("/local/sta_ip.cfg")), Frame("5D 06"));
    EXPECT_EQ(Exchange(sim.port(), Delete("/local/sta_ip.cfg")), Frame("5D 15"));
    SendOnly(sim.port(), reboot);
    ASSERT_TRUE(WaitFor([&] { return !sim.thread.state().staticIp; }));

    // Reset to defaults removes the settings files and restores the factory settings.
    EXPECT_EQ(Exchange(sim.port(), Frame("5E 01")), Frame("5E 06"));
    const ModuleState after = sim.thread.state();
    EXPECT_EQ(after.location, ModuleState{}.location);
    EXPECT_EQ(after.modbusPort, 502);
    EXPECT_TRUE(after.files.isEmpty());
}

TEST(Simulator, ArrivalsListFramesAndContentsInOrder) {
    Sim sim;
    ASSERT_TRUE(sim.started);
    WriteFile(sim.port(), "/local/locate.cfg", "abc");
    ASSERT_TRUE(WaitFor([&] { return sim.hasFile("/local/locate.cfg"); }));
    ASSERT_TRUE(sim.identifyWorks());
    const QList<Arrival> arrivals = sim.thread.arrivals();
    ASSERT_EQ(arrivals.size(), 3);
    EXPECT_EQ(arrivals[0].kind, Arrival::Frame);
    EXPECT_EQ(arrivals[0].frame, Header("/local/locate.cfg", 3, 294));
    EXPECT_EQ(arrivals[1].kind, Arrival::Content);
    EXPECT_EQ(arrivals[1].fileName, "/local/locate.cfg");
    EXPECT_EQ(arrivals[1].length, 3);
    EXPECT_EQ(arrivals[1].sum, 294u);
    EXPECT_EQ(arrivals[2].frame, kIdentify);
    sim.thread.clearReceived();
    EXPECT_TRUE(sim.thread.arrivals().isEmpty());
}

TEST(Simulator, ChecksumIsTheByteSumOfTheStoredImage) {
    Sim sim;
    ASSERT_TRUE(sim.started);
    const QByteArray image(1024, '\xFF');
    // The firmware header goes send-only, 40 bytes long.
    SendOnly(sim.port(), Header("/sys/mcuimg.bin", 1024, Sum(image), 40));
    ASSERT_TRUE(WaitFor([&] { return sim.thread.receivedFrames().size() == 1; }));  // the controller pauses here
    SendOnly(sim.port(), image);
    ASSERT_TRUE(WaitFor([&] { return sim.hasFile("/sys/mcuimg.bin"); }));
    EXPECT_EQ(Exchange(sim.port(), Frame("25 0003FC00")).toHex(' '), Frame("25 06 0003FC00").toHex(' '));

    // The other family's header (90) and image name work the same way.
    SendOnly(sim.port(), Header("mcuimg.bin", 3, 294, 40, 0x5A));
    ASSERT_TRUE(WaitFor([&] { return sim.thread.receivedFrames().size() == 3; }));
    SendOnly(sim.port(), "abc");
    EXPECT_TRUE(WaitFor([&] { return sim.hasFile("mcuimg.bin"); }));
}

TEST(Simulator, FaultModes) {
    Sim sim;
    ASSERT_TRUE(sim.started);
    const struct {
        FaultMode mode;
        std::function<bool(const QByteArray&)> replyIsRight;
    } modes[] = {
        {FaultMode::Silent, [](const QByteArray& r) { return r.isEmpty(); }},
        {FaultMode::Garbage, [](const QByteArray& r) { return r.size() == 198 && !r.startsWith(kSig); }},
        {FaultMode::Reject, [](const QByteArray& r) { return r == Frame("21 15"); }},
        {FaultMode::Close, [](const QByteArray& r) { return r.isEmpty(); }},
        {FaultMode::Slow, [](const QByteArray& r) { return r.size() == 198 && r.startsWith(kSig); }},
    };
    for (const auto& m : modes) {
        sim.thread.setFault(m.mode);
        const int before = sim.thread.connectionCount();
        EXPECT_TRUE(m.replyIsRight(Exchange(sim.port(), kIdentify))) << int(m.mode);
        EXPECT_EQ(sim.thread.connectionCount(), before + 1) << int(m.mode);
        sim.thread.setFault(FaultMode::None);
        EXPECT_TRUE(sim.identifyWorks()) << int(m.mode);
    }

    // Split: the first read holds only part of the reply; the whole arrives all the same.
    sim.thread.setFault(FaultMode::Split);
    QTcpSocket s;
    ASSERT_TRUE(Connect(s, sim.port()));
    s.write(kIdentify);
    ASSERT_TRUE(s.waitForReadyRead(3000));
    QByteArray reply = s.readAll();
    EXPECT_LT(reply.size(), 198);
    while (s.waitForReadyRead(3000))
        reply += s.readAll();
    EXPECT_EQ(reply.size(), 198);
}

// A module that refuses, stays silent or has a stuck relay leaves its outputs, and the state file
// that keeps them, as they were.
TEST(Simulator, FaultModesChangeNoOutput) {
    const struct {
        FaultMode mode;
        QByteArray reply;
    } modes[] = {
        {FaultMode::Reject, Frame("D0 15")},
        {FaultMode::Silent, QByteArray()},
        {FaultMode::Stuck, Frame("D0 06 00 00")},
    };
    for (const auto& m : modes) {
        SCOPED_TRACE(int(m.mode));
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        SimOptions o = QuickOptions();
        o.stateFile = dir.filePath(QStringLiteral("module.json"));
        Sim sim(o);
        ASSERT_TRUE(sim.started);
        Exchange(sim.port(), Frame("61 00"));  // a change, so the state file is written
        QFile file(o.stateFile);
        ASSERT_TRUE(WaitFor([&] { return file.exists(); }));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        sim.thread.setFault(m.mode);
        EXPECT_EQ(Hex(Exchange(sim.port(), Frame("D0 01 01"))), Hex(m.reply));
        sim.thread.stop();  // writes the state file if a change is waiting
        EXPECT_EQ(sim.thread.state().doBits, 0);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll().toStdString(), before.toStdString());
    }
}

TEST(Simulator, SurvivesHostileInput) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SimOptions o = QuickOptions();
    o.stateFile = dir.filePath(QStringLiteral("module.json"));
    Sim sim(o);
    ASSERT_TRUE(sim.started);
    QRandomGenerator random(20200213);
    const auto randomBytes = [&](int n) {
        QByteArray b(n, '\0');
        for (char& c : b)
            c = char(random.bounded(256));
        return b;
    };
    const auto upload = [&](const QByteArray& name, const QByteArray& announced, const QByteArray& sent) {
        return [&sim, name, announced, sent] {
            Exchange(sim.port(), Header(name, std::uint32_t(announced.size()), Sum(announced)));
            SendOnly(sim.port(), sent);
        };
    };

    const struct {
        const char* what;
        std::function<void()> act;
    } cases[] = {
        {"random bytes", [&] { Exchange(sim.port(), randomBytes(200)); }},
        {"one byte", [&] { Exchange(sim.port(), "\x5A"); }},
        {"10 KB garbage", [&] { Exchange(sim.port(), randomBytes(10240)); }},
        {"10 KB after a signature", [&] { Exchange(sim.port(), kSig + QByteArray(10240, '\x33')); }},
        {"web key longer than sent", [&] { SendOnly(sim.port(), Frame("32 FF") + "ab"); }},
        {"truncated identify", [&] { SendOnly(sim.port(), kIdentify.left(5)); }},
        {"never sends", [&] {
             QTcpSocket s;
             ASSERT_TRUE(Connect(s, sim.port()));
             EXPECT_TRUE(s.waitForDisconnected(5000));
         }},
        {"content too long", upload("/local/locate.cfg", "abc", "abcd")},
        {"content too short", upload("/local/locate.cfg", "abc", "ab")},
        {"content with a wrong sum", upload("/local/locate.cfg", "abc", "abd")},
        {"../x", upload("../x", "abc", "abc")},
        {"/etc/passwd", upload("/etc/passwd", "root", "root")},
        {"/local/../../x", upload("/local/../../x", "abc", "abc")},
        {"/sys/", upload("/sys/", "abc", "abc")},
        {"/local/..", upload("/local/..", "abc", "abc")},
        {"/sys/..", upload("/sys/..", "abc", "abc")},
        {"..", upload("..", "abc", "abc")},
        {"announced 100 MB", [&] {
             Exchange(sim.port(), Header("/local/big.cfg", 100u << 20, 0));
             SendOnly(sim.port(), randomBytes(4096));
         }},
        {"delete /etc/passwd", [&] { EXPECT_EQ(Exchange(sim.port(), Delete("/etc/passwd")), Frame("5D 15")); }},
        {"name longer than the frame", [&] {
             QByteArray h = Header("/local/x", 3, 294);
             h[16] = char(200);
             Exchange(sim.port(), h);
             SendOnly(sim.port(), "abc");
         }},
    };
    for (const auto& c : cases) {
        c.act();
        EXPECT_TRUE(sim.identifyWorks()) << c.what;
    }
    EXPECT_TRUE(sim.thread.state().files.isEmpty()) << sim.thread.state().files.keys().join(QLatin1Char(' ')).toStdString();
    Exchange(sim.port(), Frame("D0 01 01"));  // one real change, so the state file is written
    sim.thread.stop();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList{QStringLiteral("module.json")});
}

TEST(Simulator, StateFileKeepsTheModuleAcrossRestarts) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SimOptions o = QuickOptions();
    o.stateFile = dir.filePath(QStringLiteral("module.json"));
    ModuleState written;
    {
        Sim sim(o);
        ASSERT_TRUE(sim.started);
        Exchange(sim.port(), Frame("D0 02 01"));
        ModuleState s = sim.thread.state();
        s.counters = {9, 8, 7, 6, 5, 4, 3, 2};
        s.location = "Kept";
        sim.thread.setState(s);
        Exchange(sim.port(), Frame("61 00"));
        const QByteArray binary = QByteArray::fromHex("00FF5A0D0A80");
        WriteFile(sim.port(), "/local/sta_keyT.cfg", binary);
        ASSERT_TRUE(WaitFor([&] { return sim.hasFile("/local/sta_keyT.cfg"); }));
        written = sim.thread.state();
    }
    SimOptions again = o;
    again.initialState = ModuleState{};
    Sim sim(again);
    ASSERT_TRUE(sim.started);
    const ModuleState read = sim.thread.state();
    EXPECT_EQ(read.doBits, 0x02);
    EXPECT_EQ(read.counters, written.counters);
    EXPECT_EQ(read.counters[0], 0u);
    EXPECT_EQ(read.location, "Kept");
    EXPECT_EQ(read.files, written.files);
    EXPECT_EQ(StateToJson(read), StateToJson(written));
    sim.thread.stop();

    // A state file this simulator did not write is refused, not half-read.
    QFile file(o.stateFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"files": {"/etc/passwd": "cm9vdA=="}})");
    file.close();
    SimulatorThread refused(o);
    EXPECT_FALSE(refused.start());
    EXPECT_FALSE(refused.errorString().isEmpty());
}

TEST(Simulator, StateFileRefusesWhatTheStoreRefuses) {
    const auto files = [](int count, qsizetype bytes, const QString& prefix = QStringLiteral("/local/f")) {
        QJsonObject out;
        for (int i = 0; i < count; ++i) out[prefix + QString::number(i)] = QString::fromLatin1(QByteArray(bytes, 'x').toBase64());
        return out;
    };
    const auto one = [](const QString& name) {
        QJsonObject out;
        out[name] = QStringLiteral("AA==");
        return out;
    };
    struct Case {
        const char* name;
        QJsonObject files;
        bool accepted;
    };
    const Case cases[] = {
        {"settings file", one(QStringLiteral("/local/sta_ssid.cfg")), true},
        {"outside the store", one(QStringLiteral("/etc/passwd")), false},
        {"parent folder", one(QStringLiteral("/local/../sys/x")), false},
        {"beyond 8 bits (would read as /local/?)", one(QStringLiteral("/local/") + QChar(0x20AC)), false},
        {"as many files as the store takes", files(kMaxFiles, 1), true},
        {"one file more", files(kMaxFiles + 1, 1), false},
        {"the largest file", files(1, kMaxFileBytes), true},
        {"a byte larger", files(1, kMaxFileBytes + 1), false},
        {"more than the store in all", files(3, kStoreBytes / 3 + 1), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject state;
        state[QStringLiteral("files")] = c.files;
        ModuleState read;
        QString why;
        EXPECT_EQ(StateFromJson(QJsonDocument(state).toJson(), read, &why), c.accepted) << why.toStdString();
        EXPECT_EQ(read.files.size(), c.accepted ? c.files.size() : 0);
    }
}

TEST(Simulator, InputPatternCountsRisingEdgesOfInputsTheModelHas) {
    SimOptions o = QuickOptions();
    o.inputsPattern = QStringLiteral("DI0:10,DI5:10");  // model 176 has DI0 to DI3
    Sim sim(o);
    ASSERT_TRUE(sim.started);
    ASSERT_TRUE(WaitFor([&] { return sim.thread.state().counters[0] >= 3; }));
    EXPECT_EQ(sim.thread.state().counters[5], 0u);
    EXPECT_EQ(sim.thread.state().diBits & 0x20, 0);

    std::array<int, 8> periods{};
    for (const char* bad : {"DI8:100", "DI0:0", "DO1:100", "DI0", "DI0:abc"})
        EXPECT_FALSE(ParseInputsPattern(QString::fromLatin1(bad), periods, nullptr)) << bad;
}

TEST(Simulator, WifiModeAndActivation) {
    Sim sim;
    ASSERT_TRUE(sim.started);
    const struct {
        QByteArray request;
        QByteArray reply;
        char modeByte;  // identify byte 176 afterwards
    } rows[] = {
        {Frame("30 00"), Frame("30 06"), 0},  // Station
        {Frame("30 02"), Frame("30 06"), 1},  // AP
        {Frame("26 00000126"), Frame("26 06"), 1},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Hex(Exchange(sim.port(), row.request)), Hex(row.reply));
        EXPECT_EQ(Exchange(sim.port(), kIdentify).at(176), row.modeByte) << row.request.toHex(' ').constData();
    }

    // Empty content (a header of length 0, then a connection that closes at once) is an empty file.
    EXPECT_EQ(WriteFile(sim.port(), "/local/empty.cfg", QByteArray()), Frame("5F 06"));
    EXPECT_TRUE(WaitFor([&] { return sim.hasFile("/local/empty.cfg"); }));
}

qsizetype HeldBytes(const QList<QByteArray>& frames) {
    qsizetype held = 0;
    for (const QByteArray& f : frames)
        held += f.capacity();
    return held;
}

// The simulator runs as a service for days: what it keeps of the frames it received is bounded
// by their own bytes, not by the read buffers they came from.
TEST(Simulator, ALongSessionDoesNotGrow) {
    Sim sim;
    ASSERT_TRUE(sim.started);
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(Exchange(sim.port(), Frame("D8")).size(), 10) << i;
    const QList<QByteArray> polls = sim.thread.receivedFrames();
    ASSERT_EQ(polls.size(), 10000);
    EXPECT_LE(HeldBytes(polls), 10000 * 32) << "bytes held by 10,000 kept 5-byte frames";

    // Frames of 4 KB: the log keeps the newest megabyte of them.
    for (int i = 0; i < 400; ++i)
        Exchange(sim.port(), QByteArray(4096, '\x33'));
    EXPECT_LE(HeldBytes(sim.thread.receivedFrames()), 1024 * 1024 + 64 * 1024);
    EXPECT_EQ(sim.thread.receivedFrames().last(), QByteArray(4096, '\x33'));
}

// Whatever the store accepts, the next start loads again; what does not fit is refused.
TEST(Simulator, StoreTakesOnlyWhatTheNextStartLoads) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SimOptions o = QuickOptions();
    o.stateFile = dir.filePath(QStringLiteral("module.json"));
    constexpr int kImage = 2 * 1024 * 1024;
    const QByteArray accepted = Frame("5F 06");
    const QByteArray refused = Frame("5F 15");
    ModuleState written;
    {
        Sim sim(o);
        ASSERT_TRUE(sim.started);
        const struct {
            const char* name;
            int size;
            QByteArray reply;
        } uploads[] = {
            {"/sys/mcuimg.bin", kImage + 1, refused},  // above the image limit
            {"/local/big.cfg", 4 * 1024 * 1024, refused},
            {"/sys/mcuimg.bin", kImage, accepted},
            {"mcuimg.bin", kImage, accepted},
            {"/local/locate.cfg", 3, refused},          // the store is full
            {"/sys/mcuimg.bin", kImage - 1024, accepted},  // a replacement counts its own size only
            {"/local/locate.cfg", 3, accepted},
        };
        for (const auto& u : uploads) {
            SCOPED_TRACE(std::string(u.name) + " " + std::to_string(u.size));
            const QByteArray content(u.size, '\xA7');
            EXPECT_EQ(Hex(WriteFile(sim.port(), u.name, content)), Hex(u.reply));
            if (u.reply == accepted) {
                EXPECT_TRUE(WaitFor([&] { return sim.thread.state().files.value(QString::fromLatin1(u.name)) == content; }));
            }
        }
        // A bounded number of names: the 64th file is the last.
        for (int i = sim.thread.state().files.size(); i < 64; ++i) {
            const QByteArray name = "/local/f" + QByteArray::number(i);
            ASSERT_EQ(Hex(WriteFile(sim.port(), name, "x")), Hex(accepted)) << i;
            ASSERT_TRUE(WaitFor([&] { return sim.hasFile(name.constData()); }));
        }
        EXPECT_EQ(Hex(WriteFile(sim.port(), "/local/one-more", "x")), Hex(refused));
        // A full store still takes new settings: a rewrite is not one more file.
        EXPECT_EQ(Hex(WriteFile(sim.port(), "/local/locate.cfg", "Mast")), Hex(accepted));
        EXPECT_TRUE(WaitFor([&] { return sim.thread.state().files.value(QStringLiteral("/local/locate.cfg")) == "Mast"; }));
        written = sim.thread.state();
    }
    SimOptions again = o;
    again.initialState = ModuleState{};
    Sim sim(again);
    ASSERT_TRUE(sim.started) << sim.thread.errorString().toStdString();
    EXPECT_EQ(sim.thread.state().files, written.files);
    // The same for the full store loaded from the state file.
    EXPECT_EQ(Hex(WriteFile(sim.port(), "/local/one-more", "x")), Hex(refused));
    EXPECT_EQ(Hex(WriteFile(sim.port(), "/local/locate.cfg", "Pole")), Hex(accepted));
    EXPECT_TRUE(WaitFor([&] { return sim.thread.state().files.value(QStringLiteral("/local/locate.cfg")) == "Pole"; }));
    EXPECT_EQ(sim.thread.state().files.size(), kMaxFiles);
}

// A content stream may last as long as its announced length needs at the lowest rate taken,
// beyond the grace time: a long upload sent steadily above that rate completes.
TEST(Simulator, LongContentStreamAboveTheLowestRateCompletes) {
    SimOptions o = QuickOptions();
    o.idleTimeoutMs = 2000;
    o.contentGraceMs = 300;
    o.contentMinBytesPerSecond = 4096;  // 16 KiB may take 300 ms + 4 s
    Sim sim(o);
    ASSERT_TRUE(sim.started);
    const QByteArray content = QByteArray(16 * 1024, '\x5C');
    ASSERT_EQ(Hex(Exchange(sim.port(), Header("/local/long.cfg", std::uint32_t(content.size()), Sum(content)))),
              Hex(Frame("5F 06")));

    QTcpSocket stream;
    ASSERT_TRUE(Connect(stream, sim.port()));
    QElapsedTimer sending;
    sending.start();
    for (qsizetype offset = 0; offset < content.size(); offset += 1024) {  // 16 KiB/s, about a second
        stream.write(content.mid(offset, 1024));
        stream.waitForBytesWritten(1000);
        QThread::msleep(60);
        ASSERT_EQ(stream.state(), QAbstractSocket::ConnectedState) << "cut after " << sending.elapsed() << " ms";
    }
    stream.disconnectFromHost();
    if (stream.state() != QAbstractSocket::UnconnectedState)
        stream.waitForDisconnected(3000);
    ASSERT_GT(sending.elapsed(), o.contentGraceMs) << "the stream outlasted the grace time";
    EXPECT_TRUE(WaitFor([&] { return sim.thread.state().files.value(QStringLiteral("/local/long.cfg")) == content; }));
}

// Strangers who open content streams and trickle a byte now and then do not stop the service:
// streams are few at a time and each ends when its announced length no longer justifies it.
TEST(Simulator, TricklingContentStreamsLeaveRoomForRequests) {
    SimOptions o = QuickOptions();
    o.idleTimeoutMs = 2000;
    o.contentGraceMs = 800;
    Sim sim(o);
    ASSERT_TRUE(sim.started);
    const QByteArray announced(100, 'a');
    std::vector<std::unique_ptr<QTcpSocket>> streams;
    for (int i = 0; i < 64; ++i) {
        Exchange(sim.port(), Header("/local/slow.cfg", 100, Sum(announced)));
        auto s = std::make_unique<QTcpSocket>();
        ASSERT_TRUE(Connect(*s, sim.port()));
        s->write("a");
        s->waitForBytesWritten(100);
        streams.push_back(std::move(s));
    }
    int answered = 0;
    for (int round = 0; round < 20; ++round) {
        for (auto& s : streams) {
            if (s->state() == QAbstractSocket::ConnectedState) {
                s->write("a");
                s->waitForBytesWritten(10);
            }
        }
        answered += sim.identifyWorks() ? 1 : 0;
        QThread::msleep(100);
    }
    EXPECT_EQ(answered, 20);
    // Still trickling, and well inside the idle deadline: every stream has been cut off.
    for (auto& s : streams) {
        s->write("a");
        EXPECT_TRUE(s->state() != QAbstractSocket::ConnectedState || s->waitForDisconnected(300));
    }
    EXPECT_FALSE(sim.hasFile("/local/slow.cfg"));
}

// Fault mode restart: halfway through a content stream the module drops every connection, is
// away for a while, comes back on the same port with its settings files applied, and has not
// stored the interrupted file, even when all of it arrived before the restart.
TEST(Simulator, RestartFaultDropsTheStreamAndComesBack) {
    SimOptions o = QuickOptions();
    o.restartMs = 1000;
    Sim sim(o);
    ASSERT_TRUE(sim.started);
    const std::uint16_t port = sim.port();
    WriteFile(port, "/local/locate.cfg", "Roof");
    ASSERT_TRUE(WaitFor([&] { return sim.hasFile("/local/locate.cfg"); }));

    const struct {
        const char* name;
        QByteArray content;
        bool closeAfterContent;
    } streams[] = {
        {"/sys/mcuimg.bin", QByteArray(64 * 1024, '\x11'), false},
        {"/local/ap_ssid.cfg", "new-ap", true},
    };
    for (const auto& st : streams) {
        SCOPED_TRACE(st.name);
        sim.thread.setFault(FaultMode::Restart);
        EXPECT_EQ(Hex(Exchange(port, Header(st.name, std::uint32_t(st.content.size()), Sum(st.content)))), Hex(Frame("5F 06")));
        QTcpSocket stream;
        ASSERT_TRUE(Connect(stream, port));
        stream.write(st.content);
        stream.waitForBytesWritten(3000);
        if (st.closeAfterContent)
            stream.disconnectFromHost();
        EXPECT_TRUE(WaitFor([&] { return Exchange(port, kIdentify) == "no connection"; }));
        EXPECT_TRUE(stream.state() != QAbstractSocket::ConnectedState || stream.waitForDisconnected(1000));

        sim.thread.setFault(FaultMode::None);
        EXPECT_TRUE(WaitFor([&] { return sim.identifyWorks(); }));
        EXPECT_EQ(sim.port(), port);
        EXPECT_FALSE(sim.hasFile(st.name));
        EXPECT_EQ(sim.thread.state().location, "Roof");  // the restart applied the settings files
    }
}

}  // namespace
}  // namespace rzl::sim

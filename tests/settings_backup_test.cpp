// The settings file: what goes into it, what reads back, which files are refused, and what a
// restore of it onto a module would change.

#include <QJsonDocument>
#include <QJsonObject>
#include <functional>
#include <gtest/gtest.h>

#include "ui/setup/settings_backup.h"

namespace rzl::test {
namespace {

SavedSettings Module() {
    DeviceInfo info;
    info.location = "Lab bench";
    info.apSsid = "rZL-AP";
    info.apSecured = false;
    info.staSsid = "Workshop";
    info.staKeyType = 2;
    info.wifiModeAp = true;
    info.modbusPort = 502;
    info.modbusIdleTimeout = 120;
    info.staticIpEnabled = false;
    info.staIp = {10, 0, 0, 9};
    info.staNetmask = {255, 255, 255, 0};
    info.staGateway = {10, 0, 0, 1};
    return SettingsOf(info, "K110", 176, "00:1A:2B:3C:4D:5E", "01.0A");
}

TEST(SettingsBackup, EveryFieldReadsBackAsWritten) {
    SavedSettings s = Module();
    s.location = QStringLiteral("Caf\u00e9 r\u00f6\u00f6f");  // 8-bit text beyond ASCII
    s.staKeyType = 1;
    s.staticIp = true;
    s.modbusPort = 1502;
    s.modbusIdleTimeout = 30;
    s.wifiModeAp = false;
    s.apSecured = true;
    QString error;
    const auto back = ReadSettingsFile(SettingsFileText(s), &error);
    ASSERT_TRUE(back) << error.toStdString();
    for (SettingsGroup group : SettingsGroups()) EXPECT_FALSE(GroupDiffers(group, s, *back)) << GroupName(group).toStdString();
    EXPECT_EQ(back->staIp, "10.0.0.9");
    EXPECT_EQ(back->model, "K110");
    EXPECT_EQ(back->modelCode, 176);
    EXPECT_EQ(back->mac, "00:1A:2B:3C:4D:5E");
    EXPECT_EQ(back->firmware, "01.0A");

    const QJsonObject json = QJsonDocument::fromJson(SettingsFileText(s)).object();
    EXPECT_EQ(json["version"].toInt(), kSettingsFileVersion);
    EXPECT_EQ(json["station"].toObject()["keyType"].toString(), "wep");
    EXPECT_FALSE(json["ap"].toObject().contains("key")) << "keys are not in the identify reply, nor in the file";
}

TEST(SettingsBackup, FilesThatCannotBeRestoredAreRefused) {
    const QJsonObject good = QJsonDocument::fromJson(SettingsFileText(Module())).object();
    const auto with = [&](const std::function<void(QJsonObject&)>& change) {
        QJsonObject j = good;
        change(j);
        return QJsonDocument(j).toJson();
    };
    const auto inGroup = [](const char* group, const char* key, const QJsonValue& value) {
        return [=](QJsonObject& j) {
            QJsonObject g = j[group].toObject();
            g[key] = value;
            j[group] = g;
        };
    };
    struct Case {
        QByteArray text;
        QString error;  // the start of the reason
    };
    const Case cases[] = {
        {"", "not a settings file: "},
        {"{\"format\": \"rzl-ctrl settings\", ", "not a settings file: "},
        {"[1, 2]", "not a settings file: "},
        {with([](QJsonObject& j) { j.remove("format"); }), "not a settings file: "},
        {with([](QJsonObject& j) { j["version"] = 2; }), "a settings file of format version 2; "},
        {with([](QJsonObject& j) { j["version"] = "1"; }), "a settings file whose format version is not a number; "},
        {with([](QJsonObject& j) { j.remove("version"); }), "a settings file without a format version; "},
        {with([](QJsonObject& j) { j.remove("modbus"); }), "\"modbus\" must be an object"},
        {with(inGroup("modbus", "port", 80)), "\"modbus.port\" must be a port other than 80 and 13577"},
        {with(inGroup("modbus", "port", 65536)), "\"modbus.port\" must be a whole number from 1 to 65535"},
        // Far beyond any int: refused without being converted.
        {with(inGroup("modbus", "port", 1e20)), "\"modbus.port\" must be a whole number from 1 to 65535"},
        {with(inGroup("module", "modelCode", -1e300)), "\"module.modelCode\" must be a whole number from 0 to 255"},
        {with(inGroup("modbus", "idleTimeout", 1.5)), "\"modbus.idleTimeout\" must be a whole number"},
        {with(inGroup("modbus", "idleTimeout", 0)), "\"modbus.idleTimeout\" must be a whole number from 1 to 65000"},
        {with(inGroup("ap", "ssid", QString(32, 'x'))), "\"ap.ssid\" must be a text of at most 31"},
        {with(inGroup("ap", "ssid", QStringLiteral("\u4e2d"))), "\"ap.ssid\" must be a text the module can hold (The character"},
        {with([](QJsonObject& j) { j["location"] = QStringLiteral("ab\u0000cd"); }),
         "\"location\" must be a text the module can hold (The control character U+0000 at position 3"},
        {with(inGroup("station", "ssid", QStringLiteral("two\nlines"))),
         "\"station.ssid\" must be a text the module can hold (The control character U+000A at position 4"},
        {with(inGroup("ap", "keyType", "wep")), "\"ap.keyType\" must be open or wpa"},
        {with(inGroup("station", "keyType", 2)), "\"station.keyType\" must be open or wep or wpa"},
        {with(inGroup("staticIp", "gateway", "10.0.0")), "\"staticIp.gateway\" must be a dotted IPv4 address"},
        {with(inGroup("staticIp", "enabled", "yes")), "\"staticIp.enabled\" must be true or false"},
        {with([](QJsonObject& j) { j["wifiMode"] = "ap"; }), "\"wifiMode\" must be Station or AP"},
        {with([](QJsonObject& j) { j["location"] = 5; }), "\"location\" must be a string"},
        // A field the format does not have would be dropped without a word: a key above all.
        {with([](QJsonObject& j) { j["apKey"] = "secret99"; }),
         "\"apKey\" is not a field of a settings file (keys are never read from it"},
        {with(inGroup("station", "key", "secret99")), "\"station.key\" is not a field of a settings file (keys"},
        {with(inGroup("modbus", "timeout", 30)), "\"modbus.timeout\" is not a field of a settings file"},
        {with(inGroup("module", "serial", "X1")), "\"module.serial\" is not a field of a settings file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        QString error;
        EXPECT_FALSE(ReadSettingsFile(c.text, &error));
        EXPECT_TRUE(error.startsWith(c.error)) << error.toStdString();
    }
    QString error;
    EXPECT_TRUE(ReadSettingsFile(QJsonDocument(good).toJson(), &error)) << error.toStdString();

    // Leading zeros follow the setup window's rule: decimal, and compared as the module reports it.
    const std::optional<SavedSettings> zeros = ReadSettingsFile(with(inGroup("staticIp", "ip", "010.000.0.010")), &error);
    ASSERT_TRUE(zeros) << error.toStdString();
    EXPECT_EQ(zeros->staIp, "10.0.0.10");
}

TEST(SettingsBackup, RestorePlanWritesWhatDiffersAndNeverASecuredGroupOpen) {
    using A = GroupChange::Action;
    struct Case {
        const char* what;
        std::function<void(SavedSettings& file)> change;
        RestoreKeys keys;
        bool reboot;
        QList<std::pair<SettingsGroup, A>> expected;  // the plan, in order
        QString error;
    };
    const Case cases[] = {
        {"the same settings", [](SavedSettings&) {}, {}, false, {}, {}},
        {"another module: shown, restored all the same",
         [](SavedSettings& f) {
             f.mac = "00:00:00:00:00:01";
             f.location = "Roof";
         },
         {}, false, {{SettingsGroup::Location, A::Apply}}, {}},
        {"an open AP", [](SavedSettings& f) { f.apSsid = "new-ap"; }, {}, false, {{SettingsGroup::Ap, A::Apply}}, {}},
        {"a secured AP without its key",
         [](SavedSettings& f) { f.apSecured = true; }, {}, false, {{SettingsGroup::Ap, A::Skip}}, {}},
        {"a secured AP with its key",
         [](SavedSettings& f) { f.apSecured = true; }, {QStringLiteral("secret99"), {}}, false,
         {{SettingsGroup::Ap, A::Apply}}, {}},
        {"an AP key for an open AP", [](SavedSettings&) {}, {QStringLiteral("secret99"), {}}, false, {},
         "--ap-key was given, but the file's access point is open"},
        {"a station key too short",
         [](SavedSettings&) {}, {{}, QStringLiteral("short")}, false, {}, "--station-key takes a key of 8 to 16"},
        {"the same WPA station with its key: the key is written",
         [](SavedSettings&) {}, {{}, QStringLiteral("secret99")}, false, {{SettingsGroup::Station, A::Apply}}, {}},
        {"a WEP station without its key",
         [](SavedSettings& f) { f.staKeyType = 1; }, {}, false, {{SettingsGroup::Station, A::Skip}}, {}},
        {"an open station needs no key",
         [](SavedSettings& f) { f.staKeyType = 0; }, {}, false, {{SettingsGroup::Station, A::Apply}}, {}},
        {"an empty location cannot be written",
         [](SavedSettings& f) { f.location.clear(); }, {}, false, {{SettingsGroup::Location, A::Skip}}, {}},
        {"static address switched on",
         [](SavedSettings& f) { f.staticIp = true; }, {}, false, {{SettingsGroup::StaticIp, A::Apply}}, {}},
        {"the fields of a static address that is off do not count",
         [](SavedSettings& f) { f.staIp = "10.0.0.77"; }, {}, false, {}, {}},
        {"Modbus timeout", [](SavedSettings& f) { f.modbusIdleTimeout = 30; }, {}, false,
         {{SettingsGroup::Modbus, A::Apply}}, {}},
        {"Wi-Fi mode without a restart is left",
         [](SavedSettings& f) { f.wifiModeAp = false; }, {}, false, {{SettingsGroup::WifiMode, A::Later}}, {}},
        {"Wi-Fi mode with a restart, last",
         [](SavedSettings& f) {
             f.wifiModeAp = false;
             f.location = "Roof";
             f.apSsid = "new-ap";
         },
         {}, true,
         {{SettingsGroup::Ap, A::Apply}, {SettingsGroup::Location, A::Apply}, {SettingsGroup::WifiMode, A::Apply}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SavedSettings file = Module();
        c.change(file);
        const RestorePlan plan = PlanRestore(Module(), file, c.keys, c.reboot);
        EXPECT_TRUE(plan.error.startsWith(c.error) && plan.error.isEmpty() == c.error.isEmpty()) << plan.error.toStdString();
        QList<std::pair<SettingsGroup, A>> got;
        for (const GroupChange& change : plan.changes) got.append({change.group, change.action});
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(plan.about.isEmpty(), file.mac == Module().mac);
    }
}

}  // namespace
}  // namespace rzl::test

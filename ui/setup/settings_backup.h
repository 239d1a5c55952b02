#pragma once
// A module's settings as a file, and what restoring such a file onto a module changes.
//
// The file holds what the identify reply reports: the module's model, MAC and firmware (for the
// reader: a file may well be restored onto another module) and the six groups that the setup
// window writes. The AP and Station keys are not in the reply and never in the file; a secured
// group is restored only with its key given.

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

#include "core/device_info.h"

namespace rzl {

constexpr int kSettingsFileVersion = 1;

struct SavedSettings {
    // About the module the settings came from; not restored.
    QString model;
    int modelCode = 0;
    QString mac;
    QString firmware;
    // The groups.
    QString apSsid;
    bool apSecured = false;
    QString staSsid;
    int staKeyType = 0;  // 0 open, 1 WEP, 2 WPA/WPA2
    bool staticIp = false;
    QString staIp, staNetmask, staGateway;  // dotted; compared only when the static IP is on
    QString location;
    int modbusPort = 502;
    int modbusIdleTimeout = 120;
    bool wifiModeAp = false;
};

SavedSettings SettingsOf(const DeviceInfo& info, const QString& model, int modelCode, const QString& mac,
                         const QString& firmware);

// Indented JSON with the format version: the module's part, the groups' part and the format.
QByteArray SettingsFileText(const SavedSettings& settings);
// The two parts of the file, under the file's names; rzlctl's results name the same facts so.
QJsonObject ModuleAboutJson(const SavedSettings& settings);     // model, modelCode, mac, firmware
QJsonObject ModuleAboutJson(const QString& model, int modelCode, const QString& mac, const QString& firmware);
QJsonObject SettingsGroupsJson(const SavedSettings& settings);  // ap, station, staticIp, location, ...
// The settings of a file; nothing, with the reason, when it is not JSON, is of another format
// version, lacks a field, holds one the module could not take or one the format does not have.
std::optional<SavedSettings> ReadSettingsFile(const QByteArray& text, QString* error);

enum class SettingsGroup { Ap, Station, StaticIp, Location, Modbus, WifiMode };

// One group in the order a restore applies them: the Wi-Fi mode last, since switching it
// restarts the module at once.
const QList<SettingsGroup>& SettingsGroups();
QString GroupName(SettingsGroup group);            // "AP", "Static IP", ...
QString GroupText(SettingsGroup group, const SavedSettings& settings);  // "rZL-AP (WPA/WPA2)"
bool GroupDiffers(SettingsGroup group, const SavedSettings& a, const SavedSettings& b);

struct RestoreKeys {
    std::optional<QString> ap;
    std::optional<QString> station;
};

struct GroupChange {
    enum Action {
        Apply,  // written
        Skip,   // left as it is, for want of a key or a text that can be written; `why` says which
        Later,  // the Wi-Fi mode without a restart: left for the user to switch
    };
    SettingsGroup group;
    Action action = Apply;
    QString now;   // on the module
    QString then;  // in the file
    QString why;   // of a skip, or of a write of an equal group (its key cannot be compared)
};

struct RestorePlan {
    QStringList about;          // model, MAC or firmware that differ: shown, never refused
    QList<GroupChange> changes; // only groups that differ, or that a given key makes written
    QString error;              // a key that cannot be used: nothing is to be sent
    bool nothingToDo() const { return changes.isEmpty(); }
    bool skips() const;
};

// What restoring `file` onto a module that reports `module` does. The Wi-Fi mode is switched
// only when the restore restarts the module anyway (`reboot`): the switch is that restart.
RestorePlan PlanRestore(const SavedSettings& module, const SavedSettings& file, const RestoreKeys& keys, bool reboot);

}  // namespace rzl

#pragma once
// What the simulated module keeps: its I/O masks per model, the settings files it applies on
// restart, its factory defaults, and the JSON form used by --state.

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "sim/simulator.h"

namespace rzl::sim {

struct IoMasks {
    std::uint8_t outputs = 0;
    std::uint8_t inputs = 0;
};

// The outputs and inputs a model has; models without I/O get zero masks.
IoMasks MasksForModel(std::uint8_t model);

// The module's flash is small: no file above the firmware image's limit, a few MiB in all and a
// bounded number of names. Whatever the store takes therefore always fits a state file that the
// next start reads back.
constexpr qsizetype kMaxFileBytes = 2 * 1024 * 1024;
constexpr qsizetype kStoreBytes = 4 * 1024 * 1024;
constexpr int kMaxFiles = 64;
// The largest state file a store within these bounds makes (base64 content, names, settings),
// with room to spare; a longer file is not one this simulator wrote.
constexpr qint64 kMaxStateFileBytes = 8 * 1024 * 1024;

// Why the store cannot take `length` bytes under `name` (an existing file of that name is
// replaced); empty when it can.
QString StoreRefusal(const ModuleState& state, const QByteArray& name, qint64 length);

// The byte sum of a file's content, low 32 bits (the header and checksum frames carry these).
std::uint32_t ByteSum32(const QByteArray& bytes);

// Names the module's file store accepts: "/local/<name>", "/sys/<name>" and the bare "mcuimg.bin",
// with printable ASCII names that contain no further "/" and are not "." or "..".
bool IsAcceptedFileName(const QByteArray& name);

// The stored firmware image: "/sys/mcuimg.bin", else "mcuimg.bin"; empty when neither exists.
QByteArray StoredFirmwareImage(const ModuleState& state);

// Where a firmware image carries the version the module reports once it runs (major, minor).
constexpr int kFirmwareVersionOffset = 16;

// A restart: the settings files under "/local/" take effect, and a stored firmware image of at
// least 18 bytes sets the reported firmware version.
void ApplySettingsFiles(ModuleState& state);

// Reset to defaults: the files under "/local/" are removed and the settings return to the
// factory values; model, address, MAC, firmware, outputs, counters and other files stay.
void RestoreDefaults(ModuleState& state);

QByteArray StateToJson(const ModuleState& state);
// False (with a reason) when the text is not a state this simulator wrote.
bool StateFromJson(const QByteArray& json, ModuleState& state, QString* error);

}  // namespace rzl::sim

#pragma once
// The file header frame that announces a file (settings file or firmware image) before its
// content stream, the delete frame, and the content byte sum they carry.
//
//   0..3  signature (written by the exchange)   4  command (95, 90 for a firmware image
//   5..8  content length, big-endian               of a module outside the controller family,
//   9..12 low 32 bits of the byte sum, big-endian   93 for a delete)
//   13..15 zero   16 name length N   17.. name bytes, zero after them to the end of the frame

#include <QString>
#include <QtGlobal>
#include <cstdint>

namespace rzl {

struct DeviceSession;

inline constexpr int kFileHeaderLength = 60;      // a settings file
inline constexpr int kFirmwareHeaderLength = 40;  // a firmware image
inline constexpr int kDeleteFrameLength = 40;
inline constexpr int kFileNameLengthByte = 16;
inline constexpr int kFileNameFirstByte = 17;

// Every byte as an unsigned value 0..255, summed in 64 bits; only the low 32 bits travel.
std::uint64_t ContentByteSum(const char* data, qint64 length);

// Names go out as one byte per character, the low 8 bits of its UTF-16 code unit.
// Whether `name` fits a frame of `frameLength` bytes (43 characters in 60, 23 in 40).
bool FileNameFits(const QString& name, int frameLength);

// Clears the first `frameLength` bytes of txFrame and writes command, length, sum and name.
// The caller has checked FileNameFits.
void WriteFileHeader(DeviceSession& s, std::uint8_t command, int frameLength, std::uint32_t length,
                     std::uint64_t sum, const QString& name);

// Clears the first 40 bytes of txFrame and writes the delete command and the name.
void WriteDeleteFrame(DeviceSession& s, const QString& name);

}  // namespace rzl

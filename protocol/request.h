#pragma once
// A request to the module as a value: its command code and its parameter bytes. encode() gives
// the frame exactly as the exchange writes it: the signature, the command, the parameters, and
// nothing more. The protocol carries some bytes over from an earlier frame (the one-slot queue's
// two parameter slots travel in bytes 5 and 6 of every queued frame); here they are parameters
// like any other, passed by whoever builds the request.
//
//   Request::Queued(kCmdLocate, 3, 1).encode()  ->  5A 35 77 A5 1D 03 01

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

#include "core/frame.h"

namespace rzl {

using Signature = std::array<std::uint8_t, 4>;

struct Request {
    std::uint8_t command = 0;
    QByteArray parameters;

    QByteArray encode(const Signature& signature = kFrameSignature) const;
    int length() const { return kCommandByte + 1 + static_cast<int>(parameters.size()); }
    friend bool operator==(const Request&, const Request&) = default;

    // The request the first `length` bytes of a frame hold (bytes 0 to 3, the signature, aside).
    static Request FromFrame(const std::uint8_t* frame, int length);

    // Sent at once: identify, poll, checksum query, counter clear, Wi-Fi mode, web key, reset,
    // Modbus notice; send-only: reboot and image activation.
    static Request Identify();                                   // 33 0 0
    static Request Poll();                                       // 216
    static Request ChecksumQuery(std::uint32_t sum);             // 37, the sum's 4 bytes
    static Request ImageActivate(std::uint32_t sum);             // 38, the sum's 4 bytes
    static Request Reboot();                                     // 45
    static Request WifiMode(bool ap);                            // 48 2 (AP) or 48 0 (Station)
    static Request WebKey(const QByteArray& key);                // 50 n, the key's n bytes
    static Request ResetDefaults(std::uint8_t value);            // 94 value
    static Request CounterClear(std::uint8_t input);             // 97 input
    static Request ModbusNotice();                               // 220
    // A queued command as the link supervisor sends it: 7 bytes with the queue's two slots.
    static Request Queued(std::uint8_t command, std::uint8_t slot1, std::uint8_t slot2);
    // A file header (95, or 90 for a firmware image outside the controller family) of
    // `frameLength` bytes, zero wherever no field is: content length and low 32 bits of its byte
    // sum big-endian, the name's length at byte 16 and its bytes from 17 (the low 8 bits of each
    // UTF-16 code unit). The name must fit (FileNameFits).
    static Request FileHeader(std::uint8_t command, int frameLength, std::uint32_t contentLength, std::uint64_t sum,
                              const QString& name);
    static Request DeleteFile(const QString& name);              // 93, 40 bytes, the name as above
};

inline constexpr int kFileHeaderLength = 60;      // a settings file
inline constexpr int kFirmwareHeaderLength = 40;  // a firmware image
inline constexpr int kDeleteFrameLength = 40;
inline constexpr int kFileNameLengthByte = 16;
inline constexpr int kFileNameFirstByte = 17;

// Whether `name` fits a frame of `frameLength` bytes (43 characters in 60, 23 in 40).
bool FileNameFits(const QString& name, int frameLength);

}  // namespace rzl

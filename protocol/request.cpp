#include "protocol/request.h"

namespace rzl {

namespace {

void putU32(QByteArray& to, int offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) to[offset + i] = static_cast<char>(value >> (24 - 8 * i));
}

QByteArray u32Parameters(std::uint32_t value) {
    QByteArray bytes(4, '\0');
    putU32(bytes, 0, value);
    return bytes;
}

Request withBytes(std::uint8_t command, std::initializer_list<std::uint8_t> bytes) {
    Request request{command, {}};
    for (std::uint8_t b : bytes) request.parameters.append(static_cast<char>(b));
    return request;
}

// A frame of `frameLength` bytes that is zero but for the name at bytes 16 and on.
Request named(std::uint8_t command, int frameLength, const QString& name) {
    Request request{command, QByteArray(frameLength - kCommandByte - 1, '\0')};
    constexpr int offset = kCommandByte + 1;  // parameters start at byte 5
    request.parameters[kFileNameLengthByte - offset] = static_cast<char>(name.size());
    for (qsizetype i = 0; i < name.size(); ++i)
        request.parameters[kFileNameFirstByte - offset + i] = static_cast<char>(name[i].unicode() & 0xFF);
    return request;
}

}  // namespace

QByteArray Request::encode(const Signature& signature) const {
    QByteArray frame(reinterpret_cast<const char*>(signature.data()), static_cast<qsizetype>(signature.size()));
    frame.append(static_cast<char>(command));
    frame.append(parameters);
    return frame;
}

Request Request::FromFrame(const std::uint8_t* frame, int length) {
    Request request{length > kCommandByte ? frame[kCommandByte] : std::uint8_t{0}, {}};
    if (length > kCommandByte + 1)
        request.parameters = QByteArray(reinterpret_cast<const char*>(frame) + kCommandByte + 1, length - kCommandByte - 1);
    return request;
}

Request Request::Identify() { return withBytes(kCmdIdentify, {0, 0}); }
Request Request::Poll() { return {kCmdPoll, {}}; }
Request Request::ChecksumQuery(std::uint32_t sum) { return {kCmdChecksumQuery, u32Parameters(sum)}; }
Request Request::ImageActivate(std::uint32_t sum) { return {kCmdImageActivate, u32Parameters(sum)}; }
Request Request::Reboot() { return {kCmdReboot, {}}; }
Request Request::WifiMode(bool ap) { return withBytes(kCmdWifiMode, {static_cast<std::uint8_t>(ap ? 2 : 0)}); }
Request Request::ResetDefaults(std::uint8_t value) { return withBytes(kCmdResetDefaults, {value}); }
Request Request::CounterClear(std::uint8_t input) { return withBytes(kCmdCounterClear, {input}); }
Request Request::ModbusNotice() { return {kCmdModbusNotice, {}}; }

Request Request::WebKey(const QByteArray& key) {
    Request request = withBytes(kCmdWebKey, {static_cast<std::uint8_t>(key.size())});
    request.parameters.append(key);
    return request;
}

Request Request::Queued(std::uint8_t command, std::uint8_t slot1, std::uint8_t slot2) {
    return withBytes(command, {slot1, slot2});
}

Request Request::FileHeader(std::uint8_t command, int frameLength, std::uint32_t contentLength, std::uint64_t sum,
                            const QString& name) {
    Request request = named(command, frameLength, name);
    putU32(request.parameters, 0, contentLength);                 // bytes 5 to 8
    putU32(request.parameters, 4, static_cast<std::uint32_t>(sum));  // bytes 9 to 12
    return request;
}

Request Request::DeleteFile(const QString& name) { return named(kCmdDeleteFile, kDeleteFrameLength, name); }

bool FileNameFits(const QString& name, int frameLength) { return name.size() <= frameLength - kFileNameFirstByte; }

}  // namespace rzl

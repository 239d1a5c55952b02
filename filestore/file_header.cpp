#include "filestore/file_header.h"

#include <algorithm>

#include "core/device_session.h"
#include "core/frame.h"

namespace rzl {

namespace {

void putU32(DeviceSession& s, int offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) s.txFrame[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

void clearAndName(DeviceSession& s, std::uint8_t command, int frameLength, const QString& name) {
    std::fill_n(s.txFrame.begin(), frameLength, std::uint8_t{0});
    s.txFrame[kCommandByte] = command;
    s.txFrame[kFileNameLengthByte] = static_cast<std::uint8_t>(name.size());
    for (qsizetype i = 0; i < name.size(); ++i)
        s.txFrame[kFileNameFirstByte + i] = static_cast<std::uint8_t>(name[i].unicode() & 0xFF);
}

}  // namespace

std::uint64_t ContentByteSum(const char* data, qint64 length) {
    std::uint64_t sum = 0;
    for (qint64 i = 0; i < length; ++i) sum += static_cast<unsigned char>(data[i]);
    return sum;
}

bool FileNameFits(const QString& name, int frameLength) {
    return name.size() <= frameLength - kFileNameFirstByte;
}

void WriteFileHeader(DeviceSession& s, std::uint8_t command, int frameLength, std::uint32_t length,
                     std::uint64_t sum, const QString& name) {
    clearAndName(s, command, frameLength, name);
    putU32(s, 5, length);
    putU32(s, 9, static_cast<std::uint32_t>(sum));
}

void WriteDeleteFrame(DeviceSession& s, const QString& name) {
    clearAndName(s, kCmdDeleteFile, kDeleteFrameLength, name);
}

}  // namespace rzl

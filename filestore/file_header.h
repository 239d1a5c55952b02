#pragma once
// The content byte sum a file header announces (the header itself is Request::FileHeader).
//
//   0..3  signature (written by the exchange)   4  command (95, 90 for a firmware image
//   5..8  content length, big-endian               of a module outside the controller family,
//   9..12 low 32 bits of the byte sum, big-endian   93 for a delete)
//   13..15 zero   16 name length N   17.. name bytes, zero after them to the end of the frame

#include <QtGlobal>
#include <cstdint>

#include "protocol/request.h"

namespace rzl {

// Every byte as an unsigned value 0..255, summed in 64 bits; only the low 32 bits travel.
std::uint64_t ContentByteSum(const char* data, qint64 length);

}  // namespace rzl

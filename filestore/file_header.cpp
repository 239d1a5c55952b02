#include "filestore/file_header.h"

namespace rzl {

std::uint64_t ContentByteSum(const char* data, qint64 length) {
    std::uint64_t sum = 0;
    for (qint64 i = 0; i < length; ++i) sum += static_cast<unsigned char>(data[i]);
    return sum;
}

}  // namespace rzl

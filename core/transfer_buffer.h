#pragma once
// The 16 MiB buffer that file contents and firmware images are placed in before a transfer.
// Allocated on first use, so a process that never transfers a file never pays for it.

#include <QByteArray>
#include <cstdint>

namespace rzl {

class TransferBuffer {
public:
    static constexpr int kSize = 16 * 1024 * 1024;

    char* data() {
        if (bytes_.isEmpty()) bytes_ = QByteArray(kSize, '\0');
        return bytes_.data();
    }
    std::uint64_t imageByteSum = 0;  // of the last firmware image, kept for the checksum query

private:
    QByteArray bytes_;
};

}  // namespace rzl

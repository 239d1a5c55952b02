#pragma once
// What every fuzz target shares: one Qt application for the whole run (timers, sockets and
// text codecs expect one), and a reader that takes the leading bytes of an input as choices.

#include <QByteArray>
#include <QCoreApplication>
#include <cstddef>
#include <cstdint>

namespace rzl::fuzz {

inline void EnsureApplication() {
    static int argc = 1;
    static char name[] = "rzl-fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
}

// The input, read from the front: single bytes steer the target, the rest is its payload.
class InputReader {
public:
    InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // Up to `max` bytes.
    QByteArray take(std::size_t max) {
        const std::size_t n = std::min(max, size_ - pos_);
        QByteArray out(reinterpret_cast<const char*>(data_ + pos_), static_cast<qsizetype>(n));
        pos_ += n;
        return out;
    }
    QByteArray rest() { return take(size_ - pos_); }
    // A piece announced by a two-byte big-endian length.
    QByteArray piece() {
        const std::size_t n = std::size_t(byte()) << 8 | byte();
        return take(n);
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace rzl::fuzz

#pragma once
// What a file write or delete looks like on the wire, built independently of the program's own
// frame code, and the simulator's list of arrivals as readable lines, for the transfer tests.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <ostream>

#include "sim/simulator.h"

// Readable failures: texts as text.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace rzl::test {

inline std::uint32_t byteSum(const QByteArray& bytes) {
    std::uint32_t sum = 0;
    for (char c : bytes) sum += static_cast<unsigned char>(c);
    return sum;
}

// A frame of `size` bytes: signature, command, `body` from byte 5, zeros after it.
inline QByteArray frameOf(int size, char command, const QByteArray& body) {
    QByteArray f(size, '\0');
    f.replace(0, 4, QByteArray::fromHex("5A3577A5"));
    f[4] = command;
    f.replace(5, body.size(), body);
    return f.left(size);
}

inline QByteArray be32(std::uint32_t v) {
    QByteArray b;
    return b.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
}

// 60 bytes: command 95, length and byte sum big-endian, three zeros, name length, name.
inline QByteArray fileHeaderFrame(const QByteArray& name, const QByteArray& content) {
    return frameOf(60, 0x5F, be32(std::uint32_t(content.size())) + be32(byteSum(content)) + QByteArray(3, '\0') +
                                 char(name.size()) + name);
}

// 40 bytes: command 93, zeros up to the name length at byte 16, the name, zeros.
inline QByteArray deleteFrame(const QByteArray& name) {
    return frameOf(40, 0x5D, QByteArray(11, '\0') + char(name.size()) + name);
}

inline QString hexOf(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex(' ').toUpper()); }

inline QString contentLine(const QByteArray& name, qint64 length, std::uint32_t sum) {
    return QStringLiteral("content %1 %2 bytes sum %3").arg(QString::fromLatin1(name)).arg(length).arg(sum);
}

// One line per arrival: a frame in hex, a file's content by name, length and sum.
inline QString describe(const sim::Arrival& a) {
    return a.kind == sim::Arrival::Frame ? hexOf(a.frame) : contentLine(a.fileName, a.length, a.sum);
}

// The lines a whole file write makes: its header, then its content.
inline QStringList fileWrite(const QByteArray& name, const QByteArray& content) {
    return {hexOf(fileHeaderFrame(name, content)), contentLine(name, content.size(), byteSum(content))};
}

}  // namespace rzl::test

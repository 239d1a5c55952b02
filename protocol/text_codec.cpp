#include "protocol/text_codec.h"

#include <array>

namespace rzl {

namespace {

// Windows-1252 bytes 0x80..0x9F. The five bytes the code page leaves undefined map to the
// C1 control of the same value, as the PC's own conversion does, so every byte round-trips.
constexpr std::array<char16_t, 32> kHighControls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

char16_t decodeByte(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
    return byte;  // Latin-1 everywhere else
}

std::optional<unsigned char> encodeUnit(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<unsigned char>(unit);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == unit) return static_cast<unsigned char>(0x80 + i);
    return std::nullopt;
}

QString describe(const QString& text, qsizetype index) {
    const char32_t code = text.at(index).isHighSurrogate() && index + 1 < text.size()
                              ? QChar::surrogateToUcs4(text.at(index), text.at(index + 1))
                              : text.at(index).unicode();
    const QString shown = code > 0xFFFF ? text.mid(index, 2) : QString(text.at(index));
    const QString hex = QString::number(static_cast<uint>(code), 16).toUpper().rightJustified(4, u'0');
    return QStringLiteral("The character \"%1\" (U+%2) at position %3 cannot be written as 8-bit text.")
        .arg(shown, hex)
        .arg(index + 1);
}

}  // namespace

std::optional<QByteArray> toAnsi(const QString& text, QString* error) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto byte = encodeUnit(text.at(i).unicode());
        if (!byte) {
            if (error) *error = describe(text, i);
            return std::nullopt;
        }
        bytes.append(static_cast<char>(*byte));
    }
    if (error) error->clear();
    return bytes;
}

std::optional<QByteArray> toModuleText(const QString& text, QString* error) {
    std::optional<QByteArray> bytes = toAnsi(text, error);
    if (!bytes) return bytes;
    for (qsizetype i = 0; i < bytes->size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes->at(i));
        if (byte >= 0x20 && byte != 0x7F) continue;
        if (error)
            *error = QStringLiteral("The control character U+%1 at position %2 cannot be written to the module.")
                         .arg(QString::number(byte, 16).toUpper().rightJustified(4, u'0'))
                         .arg(i + 1);
        return std::nullopt;
    }
    return bytes;
}

QString fromAnsi(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) text.append(QChar(decodeByte(static_cast<unsigned char>(c))));
    return text;
}

}  // namespace rzl

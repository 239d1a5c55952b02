#pragma once
// Qt's texts to the standard streams: UTF-8 in files and pipes on every system, the characters
// themselves on a Windows console (platform/standard_streams.h).

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <string_view>

#include "platform/standard_streams.h"

namespace rzl {

inline void WriteStandardText(std::FILE* stream, const QByteArray& utf8) {
    platform::WriteText(stream, std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

inline void WriteStandardText(std::FILE* stream, const QString& text) { WriteStandardText(stream, text.toUtf8()); }

}  // namespace rzl

#pragma once
// Lines as rzlctl prints them: each written whole and flushed, so a script reading a pipe, or
// a log interleaving standard output and error, sees it at once; in UTF-8, or as the characters
// themselves on a Windows console.

#include <QString>
#include <cstdio>

#include "core/standard_text.h"

namespace rzl::cli {

inline void PrintLine(std::FILE* stream, const QString& text) { WriteStandardText(stream, text + QLatin1Char('\n')); }

// A byte as two hexadecimal digits, as the desktop program shows the I/O bits.
inline QString Hex2(int value) { return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper(); }

}  // namespace rzl::cli

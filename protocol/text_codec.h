#pragma once
// 8-bit text as the module stores it. Windows-1252 stands in for the PC's ANSI code page.

#include <QByteArray>
#include <QString>
#include <optional>

namespace rzl {

// Converts to 8-bit text. A character that the code page cannot hold is refused:
// the result is empty and `error` (when given) says which character it was.
std::optional<QByteArray> toAnsi(const QString& text, QString* error = nullptr);
QString fromAnsi(const QByteArray& bytes);

// Text written to the module (SSIDs, keys, the location, the web key): 8-bit text without
// control characters. A zero byte would end the text early on the module, a line break would
// split the lines that list it; such a character is refused with its position in `error`.
std::optional<QByteArray> toModuleText(const QString& text, QString* error = nullptr);

}  // namespace rzl

#include "protocol/text_codec.h"
namespace rzl {
std::optional<QByteArray> toAnsi(const QString& t, QString*) { return t.toLatin1(); }
QString fromAnsi(const QByteArray& b) { return QString::fromLatin1(b); }
}  // namespace rzl

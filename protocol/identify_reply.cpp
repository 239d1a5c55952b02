#include "protocol/identify_reply.h"
namespace rzl {
std::uint16_t ReplyReader::u16(int) const { return 0; }
std::uint32_t ReplyReader::u32(int) const { return 0; }
QByteArray ReplyReader::text(int, int) const { return {}; }
Ipv4Bytes ReplyReader::ipv4(int) const { return {}; }
QString ReplyReader::moduleAddressText() const { return {}; }
QString ReplyReader::macText() const { return {}; }
QString ReplyReader::firmwareText() const { return {}; }
QString dottedText(const Ipv4Bytes&) { return {}; }
}  // namespace rzl

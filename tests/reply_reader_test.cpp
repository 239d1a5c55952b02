// Field readers for replies and 8-bit text conversion.

#include <gtest/gtest.h>

#include <vector>

#include "core/frame.h"
#include "protocol/identify_reply.h"
#include "protocol/text_codec.h"

namespace rzl {
namespace {

TEST(ReplyReader, ReadsIdentifyFields) {
    std::vector<std::uint8_t> r(identify::kReplyLength, 0);
    r[7] = 5; r[8] = 77; r[9] = 168; r[10] = 192;
    const std::uint8_t mac[] = {0x00, 0x1A, 0x2B, 0xC3, 0xD4, 0xFF};
    std::copy(std::begin(mac), std::end(mac), r.begin() + identify::kMac);
    r[identify::kFwMajor] = 1; r[identify::kFwMinor] = 10;
    std::fill_n(r.begin() + identify::kLocation, 31, 'L');   // full width, no terminator
    r[identify::kLocation + 31] = 'X';                        // first byte after the field
    const char ssid[] = "Lab\0junk";
    std::copy(ssid, ssid + 8, r.begin() + identify::kApSsid);
    r[identify::kModbusPort] = 0x01; r[identify::kModbusPort + 1] = 0xF6;
    r[identify::kRssi] = 0xFF; r[identify::kRssi + 1] = 0xC4;
    r[identify::kStaIp] = 192; r[identify::kStaIp + 1] = 168; r[identify::kStaIp + 2] = 1; r[identify::kStaIp + 3] = 20;

    const ReplyReader reader(r.data(), static_cast<int>(r.size()));
    EXPECT_EQ(reader.moduleAddressText(), "192.168.77.5");
    EXPECT_EQ(reader.macText(), "00:1A:2B:C3:D4:FF");
    EXPECT_EQ(reader.firmwareText(), "V01.0A");
    EXPECT_EQ(reader.text(identify::kLocation, identify::kTextWidth), QByteArray(31, 'L'));
    EXPECT_EQ(reader.text(identify::kApSsid, identify::kTextWidth), "Lab");
    EXPECT_EQ(reader.text(identify::kStaSsid, identify::kTextWidth), "");
    EXPECT_EQ(reader.u16(identify::kModbusPort), 502);
    EXPECT_EQ(reader.u16(identify::kRssi) - 65536, -60);
    const std::uint8_t sum[] = {0x00, 0x03, 0xFC, 0x00};
    EXPECT_EQ(ReplyReader(sum, 4).u32(0), 261120u);
    EXPECT_EQ(dottedText(reader.ipv4(identify::kStaIp)), "192.168.1.20");
    EXPECT_EQ(reader.byte(-1), 0);
    EXPECT_EQ(reader.byte(identify::kReplyLength), 0) << "beyond the reply reads as zero";
    EXPECT_EQ(ReplyReader(r.data(), 12).text(identify::kLocation, 31), "");
}

TEST(TextCodec, ConvertsTheCodePageAndRefusesWhatItCannotHold) {
    struct Row { QString text; QByteArray bytes; };
    const Row rows[] = {
        {"abc", "abc"},
        {QString::fromUtf8("\u20AC \u201Cx\u201D \u0178"), "\x80 \x93x\x94 \x9F"},
        {QString::fromUtf8("caf\u00E9 \u00FF"), "caf\xE9 \xFF"},
        {QString(QChar(0x81)), "\x81"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(toAnsi(r.text), r.bytes) << r.text.toStdString();
        EXPECT_EQ(fromAnsi(r.bytes), r.text);
    }
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
    EXPECT_EQ(toAnsi(fromAnsi(all)), all) << "every byte round-trips";

    const std::pair<QString, const char*> refused[] = {
        {QString::fromUtf8("ok\u0101"), "U+0101"},
        {QString::fromUtf8("x\U0001F600"), "U+1F600"},
    };
    for (const auto& [text, named] : refused) {
        QString error;
        EXPECT_FALSE(toAnsi(text, &error).has_value());
        EXPECT_TRUE(error.contains(QLatin1String(named))) << error.toStdString();
    }
}

}  // namespace
}  // namespace rzl

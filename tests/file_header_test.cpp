// The file header and delete frames, byte for byte, and the content byte sum.

#include <gtest/gtest.h>

#include "core/frame.h"
#include "filestore/file_header.h"

using namespace rzl;

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

}  // namespace

TEST(FileHeader, LayoutOfHeaderAndDeleteFrames) {
    struct Case {
        const char* what;
        std::uint8_t command;
        int frameLength;
        QByteArray content;
        QString name;
        QByteArray expectedFrom4;  // bytes 4.. of the frame, up to the end
    };
    const QByteArray abc("abc");
    const Case cases[] = {
        {"settings file abc", 95, 60, abc, QStringLiteral("/local/locate.cfg"),
         hex("5f") + hex("00000003") + hex("00000126") + hex("000000") + hex("11") + "/local/locate.cfg" +
             QByteArray(60 - 17 - 17, '\0')},
        {"firmware, controller family", 95, 40, QByteArray(1024, '\xFF'), QStringLiteral("/sys/mcuimg.bin"),
         hex("5f") + hex("00000400") + hex("0003fc00") + hex("000000") + hex("0f") + "/sys/mcuimg.bin" +
             QByteArray(40 - 17 - 15, '\0')},
        {"firmware, other family", 90, 40, QByteArray(), QStringLiteral("mcuimg.bin"),
         hex("5a") + hex("00000000") + hex("00000000") + hex("000000") + hex("0a") + "mcuimg.bin" +
             QByteArray(40 - 17 - 10, '\0')},
    };
    for (const Case& c : cases) {
        const QByteArray frame = Request::FileHeader(c.command, c.frameLength, static_cast<std::uint32_t>(c.content.size()),
                                                     ContentByteSum(c.content.constData(), c.content.size()), c.name)
                                     .encode();
        EXPECT_EQ(frame.mid(4).toHex(), c.expectedFrom4.toHex()) << c.what;
        EXPECT_EQ(frame.size(), c.frameLength) << c.what << ": the frame and nothing past it";
    }

    EXPECT_EQ(Request::DeleteFile(QStringLiteral("/local/sta_ssid.cfg")).encode().mid(4).toHex(),
              (hex("5d") + QByteArray(11, '\0') + hex("13") + "/local/sta_ssid.cfg" + QByteArray(4, '\0')).toHex());
}

TEST(FileHeader, NamesOutsideAsciiTravelAsTheLowByteOfTheirCodeUnit) {
    const QByteArray frame = Request::FileHeader(95, 60, 0, 0, QString::fromUtf8("/local/\xC3\xA9\xC4\x80")).encode();  // é, Ā
    EXPECT_EQ(static_cast<std::uint8_t>(frame[16]), 9);
    EXPECT_EQ(static_cast<std::uint8_t>(frame[17 + 7]), 0xE9);
    EXPECT_EQ(static_cast<std::uint8_t>(frame[17 + 8]), 0x00);
}

TEST(FileHeader, NameFitsItsFrame) {
    EXPECT_TRUE(FileNameFits(QString(43, QLatin1Char('a')), 60));
    EXPECT_FALSE(FileNameFits(QString(44, QLatin1Char('a')), 60));
    EXPECT_TRUE(FileNameFits(QString(23, QLatin1Char('a')), 40));
    EXPECT_FALSE(FileNameFits(QString(24, QLatin1Char('a')), 40));
}

TEST(FileHeader, ByteSumCountsBytesAsUnsignedIn64Bits) {
    EXPECT_EQ(ContentByteSum("abc", 3), 294u);
    const QByteArray ff(1024, '\xFF');
    EXPECT_EQ(ContentByteSum(ff.constData(), ff.size()), 261120u);
    EXPECT_EQ(ContentByteSum(nullptr, 0), 0u);
}

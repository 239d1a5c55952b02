// Requests and replies as values, without a socket: every request's frame byte for byte, and
// the one validator's verdict on replies to each kind of request.

#include <gtest/gtest.h>

#include <functional>

#include "protocol/reply.h"
#include "protocol/request.h"

namespace rzl {
namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }
std::string hexText(const QByteArray& bytes) { return bytes.toHex(' ').toUpper().toStdString(); }

TEST(RequestCodec, EachRequestEncodesToItsFrame) {
    struct Row {
        const char* what;
        Request request;
        const char* frame;  // hex, as the module receives it
    };
    const QString sixty = QStringLiteral("/local/locate.cfg");
    const Row rows[] = {
        {"identify", Request::Identify(), "5A3577A5 21 0000"},
        {"poll", Request::Poll(), "5A3577A5 D8"},
        {"checksum query", Request::ChecksumQuery(0x0003FC00), "5A3577A5 25 0003FC00"},
        {"image activate", Request::ImageActivate(294), "5A3577A5 26 00000126"},
        {"reboot", Request::Reboot(), "5A3577A5 2D"},
        {"Wi-Fi mode AP", Request::WifiMode(true), "5A3577A5 30 02"},
        {"Wi-Fi mode Station", Request::WifiMode(false), "5A3577A5 30 00"},
        {"web key of five", Request::WebKey("ab\xE9" "de"), "5A3577A5 32 05 6162E96465"},
        {"reset to defaults", Request::ResetDefaults(1), "5A3577A5 5E 01"},
        {"counter clear DI7", Request::CounterClear(7), "5A3577A5 61 07"},
        {"Modbus notice", Request::ModbusNotice(), "5A3577A5 DC"},
        {"queued output switch", Request::Queued(kCmdSetOutput, 3, 1), "5A3577A5 D0 0301"},
        {"queued locate carries the slots over", Request::Queued(kCmdLocate, 3, 1), "5A3577A5 1D 0301"},
        {"queued counter read", Request::Queued(kCmdCounterRead, 0, 0), "5A3577A5 60 0000"},
        {"file header of abc", Request::FileHeader(kCmdFileHeader, kFileHeaderLength, 3, 294, sixty),
         "5A3577A5 5F 00000003 00000126 000000 11 2F6C6F63616C2F6C6F636174652E636667"
         "0000000000000000000000000000000000000000000000000000"},
        {"firmware header, other family", Request::FileHeader(kCmdFirmwareHeader, kFirmwareHeaderLength, 0, 0,
                                                              QStringLiteral("mcuimg.bin")),
         "5A3577A5 5A 00000000 00000000 000000 0A 6D6375696D672E62696E 00000000000000000000000000"},
        {"delete", Request::DeleteFile(QStringLiteral("/local/ap_key.cfg")),
         "5A3577A5 5D 0000000000000000000000 11 2F6C6F63616C2F61705F6B65792E636667 000000000000"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const QByteArray frame = hex(row.frame);
        EXPECT_EQ(hexText(row.request.encode()), hexText(frame));
        EXPECT_EQ(row.request.length(), frame.size());
        // What a frame holds is the request again: the exchange reads a builder's txFrame so.
        EXPECT_EQ(Request::FromFrame(reinterpret_cast<const std::uint8_t*>(frame.constData()), int(frame.size())),
                  row.request);
    }
    EXPECT_EQ(Request::Identify().encode({1, 2, 3, 4}), hex("01020304 21 0000")) << "the session's signature";
}

TEST(ReplyCodec, DecodesTheHeaderAndPayload) {
    const std::optional<Reply> reply = Reply::Decode(hex("5A3577A5 D8 06 0503 FFC4"));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->signature, kFrameSignature);
    EXPECT_EQ(reply->command, kCmdPoll);
    EXPECT_EQ(reply->status, 6);
    EXPECT_EQ(reply->payload, hex("0503FFC4"));
    EXPECT_FALSE(Reply::Decode(hex("5A3577A5 D8"))) << "five bytes are no header";
}

TEST(ReplyValidator, JudgesEveryReplyAgainstTheRequestItAnswers) {
    using G = Verdict::Garble;
    const QByteArray identify = hex("5A3577A5 21 06") + QByteArray(198 - 6, '\0');
    struct Row {
        const char* what;
        Request request;
        QByteArray reply;
        Verdict verdict;
        bool complete;  // whether the exchange stops reading there
    };
    const Row rows[] = {
        {"nothing", Request::Poll(), {}, Verdict::None(), false},
        {"whole identify", Request::Identify(), identify, Verdict::Accepted(), true},
        {"identify padded beyond its fields", Request::Identify(), identify + hex("0102"), Verdict::Accepted(), true},
        {"identify cut short", Request::Identify(), identify.left(120), Verdict::Garbled(G::Length), false},
        {"identify refused: the header is enough", Request::Identify(), hex("5A3577A5 21 15"), Verdict::Refused(21), true},
        {"wrong signature", Request::Poll(), hex("A5CA885A D8 06 0503 FFC4"), Verdict::Garbled(G::Signature), true},
        {"wrong signature, first byte only", Request::Poll(), hex("A5"), Verdict::Garbled(G::Signature), true},
        {"signature so far, no header yet", Request::Poll(), hex("5A3577"), Verdict::Garbled(G::Length), false},
        {"poll answered for another command", Request::Poll(), hex("5A3577A5 D0 06 0503 FFC4"),
         Verdict::Garbled(G::Command), true},
        {"refusal naming another command", Request::ResetDefaults(1), hex("5A3577A5 30 15"), Verdict::Garbled(G::Command),
         true},
        {"poll", Request::Poll(), hex("5A3577A5 D8 06 0503 FFC4"), Verdict::Accepted(), true},
        {"poll without its RSSI", Request::Poll(), hex("5A3577A5 D8 06 0503"), Verdict::Garbled(G::Length), false},
        {"output switch", Request::Queued(kCmdSetOutput, 3, 1), hex("5A3577A5 D0 06 040F"), Verdict::Accepted(), true},
        {"counters", Request::Queued(kCmdCounterRead, 0, 0), hex("5A3577A5 60 06") + QByteArray(32, '\0'),
         Verdict::Accepted(), true},
        {"counters short of DI7", Request::Queued(kCmdCounterRead, 0, 0), hex("5A3577A5 60 06") + QByteArray(28, '\0'),
         Verdict::Garbled(G::Length), false},
        {"checksum", Request::ChecksumQuery(294), hex("5A3577A5 25 06 00000126"), Verdict::Accepted(), true},
        {"checksum answered by another command", Request::ChecksumQuery(294), hex("5A3577A5 21 06"),
         Verdict::Garbled(G::Command), true},
        {"Wi-Fi mode", Request::WifiMode(true), hex("5A3577A5 30 06"), Verdict::Accepted(), true},
        {"Wi-Fi mode refused", Request::WifiMode(true), hex("5A3577A5 30 15"), Verdict::Refused(21), true},
        {"web key", Request::WebKey("abc"), hex("5A3577A5 32 06"), Verdict::Accepted(), true},
        {"reset", Request::ResetDefaults(1), hex("5A3577A5 5E 06"), Verdict::Accepted(), true},
        {"Modbus notice refused", Request::ModbusNotice(), hex("5A3577A5 DC 01"), Verdict::Refused(1), true},
        {"file header", Request::FileHeader(kCmdFileHeader, kFileHeaderLength, 3, 294, "/local/locate.cfg"),
         hex("5A3577A5 5F 06"), Verdict::Accepted(), true},
        {"file header refused", Request::FileHeader(kCmdFileHeader, kFileHeaderLength, 3, 294, "/local/locate.cfg"),
         hex("5A3577A5 5F 15"), Verdict::Refused(21), true},
        {"delete of a file not there", Request::DeleteFile("/local/sta_ip.cfg"), hex("5A3577A5 5D 15"),
         Verdict::Refused(21), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(Validate(row.request, row.reply), row.verdict) << VerdictText(Validate(row.request, row.reply)).toStdString();
        EXPECT_EQ(ReplyIsComplete(row.request.command, row.reply), row.complete);
    }
    EXPECT_EQ(Validate(Request::Poll(), hex("01020304 D8 06 0503 FFC4"), {1, 2, 3, 4}), Verdict::Accepted())
        << "the session's signature";
}

TEST(ReplyValidator, SaysWhatItFound) {
    EXPECT_EQ(VerdictText(Verdict::Refused(21)), "refused (status 21)");
    EXPECT_EQ(VerdictText(Verdict::Garbled(Verdict::Garble::Signature)), "garbled: another signature");
    EXPECT_EQ(VerdictText(Verdict::Garbled(Verdict::Garble::Command)), "garbled: another command in byte 4");
    EXPECT_EQ(VerdictText(Verdict::Garbled(Verdict::Garble::Length)), "garbled: too short for its command");
}

}  // namespace
}  // namespace rzl

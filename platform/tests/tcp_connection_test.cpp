// The TCP connection against the Linux rzl-sim on loopback (a normal one and one that splits
// its replies; their ports in RZL_SIM_PORT and RZL_SPLIT_SIM_PORT, set by the script that runs
// this program) and against the test's own peers: one that never accepts, a closed port.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "core/frame.h"
#include "platform/socket_calls.h"
#include "platform/tcp_connection.h"
#include "tests/support/loopback_listeners.h"

namespace rzl::platform {
namespace {

constexpr int kConnectTimeoutMs = 3000;

std::uint16_t simPort(const char* variable) {
    const char* text = std::getenv(variable);
    return text ? static_cast<std::uint16_t>(std::atoi(text)) : 0;
}

// The identify request as the program sends it: signature, command, two zero bytes.
std::string identifyRequest() {
    std::string frame(kFrameSignature.begin(), kFrameSignature.end());
    frame += static_cast<char>(kCmdIdentify);
    frame.append(2, '\0');
    return frame;
}

// Reads in 10 ms waits, as the exchanges do, until the reply is whole, the peer closes or 100
// waits have passed in silence.
std::string readReply(TcpConnection& connection, std::size_t length) {
    std::string reply;
    for (int check = 0; check < 100 && reply.size() < length;) {
        if (!connection.waitForData(10)) {
            ++check;
            continue;
        }
        char buffer[512];
        std::int64_t got = 0;
        if (!connection.read(buffer, sizeof buffer, got)) break;
        reply.append(buffer, static_cast<std::size_t>(got));
    }
    return reply;
}

struct Identified {
    std::string reply;
    int idleSlices = 0;
    std::string error;  // after the reply, when the module has closed the connection
};

Identified identify(std::uint16_t port) {
    Identified out;
    TcpConnection connection([&out] { ++out.idleSlices; });
    if (!connection.connect("127.0.0.1", port, kConnectTimeoutMs)) {
        out.error = connection.error();
        return out;
    }
    const std::string request = identifyRequest();
    EXPECT_TRUE(connection.write(request.data(), static_cast<std::int64_t>(request.size()))) << connection.error();
    out.reply = readReply(connection, identify::kReplyLength);
    char byte;
    std::int64_t got = 0;
    while (connection.waitForData(2000) && connection.read(&byte, 1, got) && got > 0) {}
    out.error = connection.error();
    return out;
}

void expectIdentifyReply(const std::string& reply) {
    ASSERT_EQ(reply.size(), static_cast<std::size_t>(identify::kReplyLength));
    EXPECT_EQ(reply.substr(0, 4), std::string(kFrameSignature.begin(), kFrameSignature.end()));
    EXPECT_EQ(static_cast<std::uint8_t>(reply[kCommandByte]), kCmdIdentify);
    EXPECT_EQ(static_cast<std::uint8_t>(reply[kStatusByte]), kStatusAccepted);
    EXPECT_EQ(static_cast<std::uint8_t>(reply[identify::kModel]), 176) << "rzl-sim's default model";
    // The address it listens on, least significant octet first.
    EXPECT_EQ(reply.substr(identify::kAddress, 4), std::string("\x01\x00\x00\x7f", 4));
}

TEST(TcpConnection, IdentifiesTheSimulator) {
    const std::uint16_t port = simPort("RZL_SIM_PORT");
    ASSERT_NE(port, 0) << "RZL_SIM_PORT: the port of a running rzl-sim";
    const Identified answer = identify(port);
    expectIdentifyReply(answer.reply);
    EXPECT_EQ(answer.error, "The remote host closed the connection");
}

// The reply comes in two pieces 50 ms apart: the slices between them pass in silence, let the
// program run, and the pieces are joined.
TEST(TcpConnection, JoinsASplitReply) {
    const std::uint16_t port = simPort("RZL_SPLIT_SIM_PORT");
    ASSERT_NE(port, 0) << "RZL_SPLIT_SIM_PORT: the port of a running rzl-sim --fault split";
    const Identified answer = identify(port);
    expectIdentifyReply(answer.reply);
    EXPECT_GT(answer.idleSlices, 0) << "the pause between the pieces lets the program run";
}

TEST(TcpConnection, PeerNeverAcceptingTimesOutAtTheConnectDeadline) {
    rzl::test::FullBacklogListener listener;
    ASSERT_TRUE(listener.start());
    const std::uint16_t port = listener.port();
    int idleSlices = 0;
    TcpConnection connection([&idleSlices] { ++idleSlices; });
    const auto start = std::chrono::steady_clock::now();

    EXPECT_FALSE(connection.connect("127.0.0.1", port, kConnectTimeoutMs));

    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(connection.error(), "Connection timed out after 3000 ms");
    EXPECT_GE(elapsed, kConnectTimeoutMs);
    EXPECT_LT(elapsed, kConnectTimeoutMs + 1500) << "ended by the deadline";
    EXPECT_GE(idleSlices, 100) << "the program runs while the connect waits";
    EXPECT_FALSE(connection.isOpen());
}

TEST(TcpConnection, RefusedConnectionSaysSoAtOnce) {
    const std::uint16_t port = rzl::test::closedLoopbackPort();
    ASSERT_NE(port, 0);
    TcpConnection connection(nullptr);
    const auto start = std::chrono::steady_clock::now();

    EXPECT_FALSE(connection.connect("127.0.0.1", port, kConnectTimeoutMs));

    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kConnectTimeoutMs))
        << "refused, not timed out";
    EXPECT_EQ(connection.error(), sockets::ErrorText(sockets::RefusedCode()));
    EXPECT_FALSE(connection.error().empty());
    EXPECT_EQ(connection.error().back() == '.', false) << "no closing full stop: " << connection.error();
    // What comes after the failure keeps its reason; a write says there is no connection.
    char byte;
    std::int64_t got = 1;
    EXPECT_TRUE(connection.waitForData(10)) << "read() reports it";
    EXPECT_FALSE(connection.read(&byte, 1, got));
    EXPECT_EQ(got, 0);
    EXPECT_EQ(connection.error(), sockets::ErrorText(sockets::RefusedCode()));
    EXPECT_FALSE(connection.write("x", 1));
    EXPECT_EQ(connection.error(), "Not connected");
}

TEST(TcpConnection, RefusesTextThatIsNotADottedAddressWithoutConnecting) {
    for (const char* text : {"", "127.0.0", "127.0.0.1.1", "256.0.0.1", "127.0.0.1 ", " 127.0.0.1", "127..0.1",
                             "1270.0.0.1", "a.b.c.d", "::1", "127.0.0.-1"}) {
        SCOPED_TRACE(text);
        TcpConnection connection(nullptr);
        EXPECT_FALSE(connection.connect(text, 13577, kConnectTimeoutMs));
        EXPECT_EQ(connection.error(), '"' + std::string(text) + "\" is not an IPv4 address");
    }
}

TEST(TcpConnection, WaitsUntilTheSimulatorHasTheBytes) {
    const std::uint16_t port = simPort("RZL_SIM_PORT");
    ASSERT_NE(port, 0) << "RZL_SIM_PORT: the port of a running rzl-sim";
    TcpConnection connection(nullptr);
    ASSERT_TRUE(connection.connect("127.0.0.1", port, kConnectTimeoutMs)) << connection.error();
    const std::string request = identifyRequest();
    const auto size = static_cast<std::int64_t>(request.size());
    ASSERT_TRUE(connection.write(request.data(), size)) << connection.error();
    std::int64_t last = -1;
    EXPECT_TRUE(connection.waitUntilAcknowledged(size, [&last](std::int64_t acknowledged) { last = acknowledged; }))
        << connection.error();
    EXPECT_EQ(last, size);
    EXPECT_EQ(connection.unacknowledged(), 0);
}

}  // namespace
}  // namespace rzl::platform

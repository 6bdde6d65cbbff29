// The turnstile socket's system calls: how a connection ends, sends the network cannot take at
// once, the bytes waiting and an attempt abandoned. Only loopback.
#include "peer.h"
#include "platform/tcpsocket.h"
#include "side.h"

#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <vector>

using platform::Readiness;
using platform::TcpSocket;
using platform::Transfer;

namespace {
constexpr std::uint32_t kLoopback = 0x7F000001;

// Opens the socket and connects it to a port of this host: 0 or the error that ended the
// attempt; kWouldBlock when it had not ended within the bound.
int connectTo(TcpSocket& socket, std::uint16_t port) {
    const platform::Endpoint to = platform::ipv4Endpoint(kLoopback, port);
    if (const int error = socket.open(to); error != 0) return error;
    const int error = socket.connect(to);
    if (error != winsock::kWouldBlock) return error;
    return socket.waitUntil(Readiness::Writable, peer::kBound) ? socket.pendingError() : error;
}

struct Ending {
    std::string bytes;
    // 0 for an orderly close, kWouldBlock when nothing ended within the bound.
    int error = winsock::kWouldBlock;
};

// Reads until the connection ends.
Ending readToTheEnd(TcpSocket& socket) {
    Ending ending;
    char buffer[256];
    while (socket.waitUntil(Readiness::Readable, peer::kBound)) {
        const Transfer read = socket.receive(buffer, sizeof buffer);
        if (read.error == winsock::kWouldBlock) continue;
        if (read.error != 0 || read.bytes == 0) {
            ending.error = read.error;
            break;
        }
        ending.bytes.append(buffer, static_cast<std::size_t>(read.bytes));
    }
    return ending;
}

// Sends a byte at a time until the system reports an error: the error, or kWouldBlock when none
// came within the bound.
int sendUntilAnError(TcpSocket& socket) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(peer::kBound);
    while (std::chrono::steady_clock::now() < deadline) {
        const Transfer sent = socket.send("x", 1);
        if (sent.error != 0 && sent.error != winsock::kWouldBlock) return sent.error;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return winsock::kWouldBlock;
}

// What the other end does once the connection is made.
enum class Other { NotListening, ClosesInOrder, Resets };
// What the socket under test does then.
enum class Then { Reads, Sends };

struct EndingCase {
    const char* name;
    Other other;
    Then then;
    // The error that ends the connection, 0 for an orderly close; the same on both sides.
    int error;
    // What Wine reports instead, where it differs from Windows.
    std::optional<int> wine;
};

const EndingCase kEndingCases[] = {
    {"connect refused", Other::NotListening, Then::Reads, winsock::kRefused, {}},
    // Wine reads a reset as an orderly close; only a send meets the reset there.
    {"reset by the listener", Other::Resets, Then::Reads, winsock::kConnectionReset, 0},
    {"orderly close", Other::ClosesInOrder, Then::Reads, 0, {}},
    {"send to a closed peer", Other::ClosesInOrder, Then::Sends, winsock::kConnectionReset, {}},
};
} // namespace

TEST(Socket, HowAConnectionEnds) {
    for (const EndingCase& c : kEndingCases) {
        SCOPED_TRACE(c.name);
        peer::Listener listener(c.other == Other::NotListening ? peer::kNotListening : 8);
        TcpSocket socket;
        int error = connectTo(socket, listener.port());
        if (c.other != Other::NotListening) {
            ASSERT_EQ(error, 0);
            std::unique_ptr<peer::Connection> other = listener.accept();
            ASSERT_TRUE(other);
            if (c.other == Other::Resets) {
                other->reset();
            } else {
                ASSERT_TRUE(other->sendAll("bye"));
                other.reset();
            }
            if (c.then == Then::Reads) {
                const Ending ending = readToTheEnd(socket);
                error = ending.error;
                if (c.other == Other::ClosesInOrder) {
                    EXPECT_EQ(ending.bytes, "bye");
                }
            } else {
                error = sendUntilAnError(socket);
            }
        }
        EXPECT_EQ(error, c.wine && side::underWine() ? *c.wine : c.error);
    }
}

// A socket connected to the other end.
class ConnectedSocket : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(connectTo(socket, listener.port()), 0);
        other = listener.accept();
        ASSERT_TRUE(other);
    }

    peer::Listener listener;
    TcpSocket socket;
    std::unique_ptr<peer::Connection> other;
};

// A controller that reads nothing for a while: the system takes what it can, says so, and
// takes the rest once the controller reads again.
TEST_F(ConnectedSocket, AWouldBlockSendCompletesLater) {
    std::string chunk(64 * 1024, '\0');
    for (std::size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<char>(i % 251);
    std::string taken;
    Transfer sent;
    // Far more than any loopback buffers hold.
    while (taken.size() < 256u * 1024 * 1024) {
        sent = socket.send(chunk.data(), static_cast<int>(chunk.size()));
        if (sent.error != 0) break;
        taken.append(chunk, 0, static_cast<std::size_t>(sent.bytes));
    }
    ASSERT_EQ(sent.error, winsock::kWouldBlock);
    ASSERT_FALSE(taken.empty());

    const std::string received = other->receive(taken.size());
    EXPECT_EQ(received.size(), taken.size());
    EXPECT_TRUE(received == taken) << "the bytes came in another order";
    ASSERT_TRUE(socket.waitUntil(Readiness::Writable, peer::kBound));
    sent = socket.send(chunk.data(), static_cast<int>(chunk.size()));
    ASSERT_EQ(sent.error, 0);
    ASSERT_GT(sent.bytes, 0);
    EXPECT_TRUE(other->receive(static_cast<std::size_t>(sent.bytes)) == chunk.substr(0, sent.bytes));
}

TEST_F(ConnectedSocket, BytesWaitingAfterAPartialRead) {
    EXPECT_EQ(socket.bytesWaiting(), 0);
    ASSERT_TRUE(other->sendAll("0123456789"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(peer::kBound);
    while (socket.bytesWaiting() < 10 && std::chrono::steady_clock::now() < deadline)
        socket.waitUntil(Readiness::Readable, 10);
    ASSERT_EQ(socket.bytesWaiting(), 10);

    char buffer[16] = {};
    Transfer read = socket.receive(buffer, 4);
    EXPECT_EQ(read.error, 0);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(read.bytes)), "0123");
    EXPECT_EQ(socket.bytesWaiting(), 6);
    read = socket.receive(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(read.bytes)), "456789");
    EXPECT_EQ(socket.bytesWaiting(), 0);
    read = socket.receive(buffer, sizeof buffer);
    EXPECT_EQ(read.error, winsock::kWouldBlock);
}

// A listener whose queue is full answers no new attempt (Linux, and Wine on it), so the attempt
// goes on until it is closed.
TEST(Socket, AConnectStillInProgressIsClosed) {
    peer::Listener full(0);
    std::vector<TcpSocket> queued(8);
    TcpSocket* waiting = nullptr;
    for (TcpSocket& socket : queued) {
        const platform::Endpoint to = platform::ipv4Endpoint(kLoopback, full.port());
        ASSERT_EQ(socket.open(to), 0);
        const int error = socket.connect(to);
        ASSERT_TRUE(error == 0 || error == winsock::kWouldBlock) << "error " << error;
        if (error == winsock::kWouldBlock && !socket.waitUntil(Readiness::Writable, 200)) {
            waiting = &socket;
            break;
        }
    }
    ASSERT_NE(waiting, nullptr) << "every attempt ended at once";
    EXPECT_EQ(waiting->pendingError(), winsock::kWouldBlock);
    EXPECT_EQ(waiting->close(), 0);
    EXPECT_FALSE(waiting->isOpen());
    EXPECT_EQ(waiting->close(), 0);
}

// Whatever the system reports is a Winsock number and never 0, so a handler never takes a
// failure for success.
TEST(Socket, ErrorNumbers) {
    const struct {
        const char* name;
        side::PerSide<int> system;
        int winsock;
    } cases[] = {
        {"refused", {ECONNREFUSED, 10061}, winsock::kRefused},
        {"no error number", {0, 0}, winsock::kNetworkDown},
        {"an error that is no socket's", {ENOENT, 2}, winsock::kNetworkDown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(winsock::fromSystemError(c.system.here()), c.winsock);
    }
}

#include "platform/random.h"
#include "platform/socket.h"
#include "platform/trust_store.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace vobu {
namespace {

// A loopback listener on a free port.
struct Listener {
    int socket = -1;
    Ipv4Endpoint endpoint;
    Listener() {
        socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(socket, 1);
        socklen_t size = sizeof address;
        getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size);
        endpoint.address = address.sin_addr.s_addr;
        endpoint.port = address.sin_port;
    }
    ~Listener() { ::close(socket); }
};

ConnectProgress waitForConnect(int socket) {
    for (int i = 0; i < 2000; ++i) {
        const ConnectProgress progress = checkConnectProgress(socket);
        if (progress != ConnectProgress::Pending) return progress;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return ConnectProgress::Pending;
}

// Receives until something other than would-block comes, for up to five
// seconds: on a loaded machine the peer's bytes or its close may come late.
long receiveWithin(int socket, uint8_t* buffer, size_t size) {
    long got = kSocketWouldBlock;
    for (int i = 0; i < 5000 && got == kSocketWouldBlock; ++i) {
        got = receiveFromSocket(socket, buffer, size);
        if (got == kSocketWouldBlock) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return got;
}

TEST(PlatformSocket, ResolvesNumericAddressesAndRefusesBadOnes) {
    Ipv4Endpoint endpoint;
    ASSERT_TRUE(resolveIpv4("127.0.0.1", "8080", endpoint));
    EXPECT_EQ(endpoint.address, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(endpoint.port, htons(8080));
    EXPECT_FALSE(resolveIpv4("127.0.0.1", "not-a-service", endpoint));
    EXPECT_FALSE(resolveIpv4("", "80", endpoint));
}

TEST(PlatformSocket, ConnectsSendsAndReceivesWithoutBlocking) {
    Listener listener;
    const int client = openTcpSocket();
    ASSERT_GE(client, 0);
    ASSERT_EQ(startConnect(client, listener.endpoint), ConnectStart::InProgress);
    setNoDelay(client);
    ASSERT_EQ(waitForConnect(client), ConnectProgress::Ready);
    EXPECT_EQ(pendingSocketError(client), 0);
    const int server = accept(listener.socket, nullptr, nullptr);
    ASSERT_GE(server, 0);

    uint8_t buffer[16];
    EXPECT_EQ(receiveFromSocket(client, buffer, sizeof buffer), kSocketWouldBlock);
    const uint8_t hello[] = {'h', 'i'};
    EXPECT_EQ(sendOnSocket(client, hello, 2), 2);
    EXPECT_EQ(::recv(server, buffer, sizeof buffer, 0), 2);
    ::send(server, "ok", 2, 0);
    EXPECT_EQ(receiveWithin(client, buffer, sizeof buffer), 2);

    ::close(server);
    EXPECT_EQ(receiveWithin(client, buffer, sizeof buffer), 0);
    closeSocket(client);
}

TEST(PlatformSocket, RefusedConnectShowsAsReadyWithConnectionRefused) {
    Ipv4Endpoint endpoint;
    {
        Listener gone;
        endpoint = gone.endpoint;
    }
    const int client = openTcpSocket();
    ASSERT_EQ(startConnect(client, endpoint), ConnectStart::InProgress);
    ASSERT_EQ(waitForConnect(client), ConnectProgress::Ready);
    EXPECT_EQ(pendingSocketError(client), ECONNREFUSED);
    closeSocket(client);
}

TEST(PlatformSocket, SendingToAResetPeerFailsInsteadOfRaisingSigpipe) {
    Listener listener;
    const int client = openTcpSocket();
    startConnect(client, listener.endpoint);
    ASSERT_EQ(waitForConnect(client), ConnectProgress::Ready);
    const int server = accept(listener.socket, nullptr, nullptr);
    linger reset{1, 0};
    setsockopt(server, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    ::close(server);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::vector<uint8_t> data(4096, 0x55);
    long result = 0;
    for (int i = 0; i < 50 && result >= 0; ++i) result = sendOnSocket(client, data.data(), data.size());
    EXPECT_EQ(result, kSocketFailed);
    closeSocket(client);
}

TEST(PlatformSocket, ClosedDescriptorFailsTheReadinessCheck) {
    const int client = openTcpSocket();
    closeSocket(client);
    EXPECT_EQ(checkConnectProgress(client), ConnectProgress::Failed);
}

TEST(PlatformRandom, FillsBuffersOfAnySize) {
    std::set<std::vector<uint8_t>> seen;
    for (size_t length : {size_t(1), size_t(4), size_t(16), size_t(1000)}) {
        std::vector<uint8_t> bytes(length, 0);
        ASSERT_TRUE(fillRandomBytes(bytes.data(), bytes.size()));
        seen.insert(bytes);
    }
    std::vector<uint8_t> a(32), b(32);
    fillRandomBytes(a.data(), a.size());
    fillRandomBytes(b.data(), b.size());
    EXPECT_NE(a, b);
    EXPECT_TRUE(fillRandomBytes(nullptr, 0));
}

TEST(PlatformTrustStore, SkipsBlocksThatDoNotParse) {
    std::string pem;
    if (!readSystemTrustBundle(pem)) GTEST_SKIP() << "no system bundle on this machine";
    mbedtls_x509_crt chain;
    mbedtls_x509_crt_init(&chain);
    const int plain = addTrustAnchors(chain, pem);
    mbedtls_x509_crt_free(&chain);
    EXPECT_GT(plain, 10);

    const std::string broken = "-----BEGIN CERTIFICATE-----\nbm90IGEgY2VydA==\n-----END CERTIFICATE-----\n";
    mbedtls_x509_crt_init(&chain);
    EXPECT_EQ(addTrustAnchors(chain, broken + pem + broken + "-----BEGIN CERTIFICATE-----\nunterminated"), plain);
    mbedtls_x509_crt_free(&chain);

    mbedtls_x509_crt_init(&chain);
    EXPECT_EQ(addTrustAnchors(chain, "no certificates at all"), 0);
    mbedtls_x509_crt_free(&chain);
}

}  // namespace
}  // namespace vobu

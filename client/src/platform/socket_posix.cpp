#include "platform/socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vobu {

namespace {

bool wouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

}  // namespace

bool resolveIpv4(const std::string& host, const std::string& port, Ipv4Endpoint& out) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* results = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &results) != 0 || results == nullptr) return false;
    const auto* address = reinterpret_cast<const sockaddr_in*>(results->ai_addr);
    out.address = address->sin_addr.s_addr;
    out.port = address->sin_port;
    freeaddrinfo(results);
    return true;
}

int openTcpSocket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP); }

ConnectStart startConnect(int socket, const Ipv4Endpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = endpoint.address;
    address.sin_port = endpoint.port;
    int result;
    do {
        result = ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result == 0 || errno == EINPROGRESS || errno == EALREADY) return ConnectStart::InProgress;
    return ConnectStart::Failed;
}

void setNoDelay(int socket) {
    int one = 1;
    (void)setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

ConnectProgress checkConnectProgress(int socket) {
    pollfd entry{socket, POLLOUT, 0};
    int result;
    do {
        result = ::poll(&entry, 1, 0);
    } while (result < 0 && errno == EINTR);
    if (result < 0 || (entry.revents & POLLNVAL)) return ConnectProgress::Failed;
    if (result == 0) return ConnectProgress::Pending;
    // A refused or reset connect shows as POLLERR/POLLHUP alongside POLLOUT;
    // either way the outcome is in SO_ERROR.
    return (entry.revents & (POLLOUT | POLLERR | POLLHUP)) ? ConnectProgress::Ready : ConnectProgress::Pending;
}

int pendingSocketError(int socket) {
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno != 0 ? errno : EIO;
    return error;
}

long sendOnSocket(int socket, const uint8_t* data, size_t length) {
    for (;;) {
        ssize_t sent = ::send(socket, data, length, MSG_NOSIGNAL);
        if (sent >= 0) return static_cast<long>(sent);
        if (errno == EINTR) continue;
        return wouldBlock(errno) ? kSocketWouldBlock : kSocketFailed;
    }
}

long receiveFromSocket(int socket, uint8_t* data, size_t length) {
    for (;;) {
        ssize_t received = ::recv(socket, data, length, 0);
        if (received >= 0) return static_cast<long>(received);
        if (errno == EINTR) continue;
        return wouldBlock(errno) ? kSocketWouldBlock : kSocketFailed;
    }
}

void shutdownSending(int socket) {
    if (socket >= 0) (void)::shutdown(socket, SHUT_WR);
}

void closeSocket(int socket) {
    if (socket >= 0) ::close(socket);
}

void waitForInput(const std::vector<int>& sockets, uint32_t timeoutMs) {
    std::vector<pollfd> entries;
    for (int socket : sockets) entries.push_back(pollfd{socket, POLLIN, 0});
    const int timeout = timeoutMs > INT_MAX ? INT_MAX : static_cast<int>(timeoutMs);
    // An interrupted wait just returns early: callers loop on their own deadline.
    (void)::poll(entries.data(), entries.size(), timeout);
}

}  // namespace vobu

#pragma once
// Non-blocking IPv4 TCP sockets: the few operations the server transport
// needs, each returning a plain status instead of errno juggling.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vobu {

// An IPv4 address and port, both in network byte order.
struct Ipv4Endpoint {
    uint32_t address = 0;
    uint16_t port = 0;
};

enum class ConnectStart { InProgress, Failed };
enum class ConnectProgress { Failed, Pending, Ready };

// Results of sendOnSocket / receiveFromSocket that are not byte counts.
inline constexpr long kSocketWouldBlock = -1;
inline constexpr long kSocketFailed = -2;

// Name lookup (IPv4 only, first result). False when the name or port
// does not resolve. Blocks the calling thread.
bool resolveIpv4(const std::string& host, const std::string& port, Ipv4Endpoint& out);

// A non-blocking, close-on-exec TCP socket; -1 on failure.
int openTcpSocket();

// Starts a connect; an immediate success also counts as InProgress, the
// next readiness check reports it.
ConnectStart startConnect(int socket, const Ipv4Endpoint& endpoint);

void setNoDelay(int socket);

// Zero-timeout readiness check of a connect in progress. Ready means the
// outcome is known: read it with pendingSocketError.
ConnectProgress checkConnectProgress(int socket);

// SO_ERROR of the socket (0 when the connect succeeded).
int pendingSocketError(int socket);

// One send without SIGPIPE: a byte count, kSocketWouldBlock or kSocketFailed.
long sendOnSocket(int socket, const uint8_t* data, size_t length);

// One receive: a byte count (0 when the peer closed), kSocketWouldBlock or
// kSocketFailed.
long receiveFromSocket(int socket, uint8_t* data, size_t length);

// Ends the sending side (the peer reads an orderly end after the bytes
// already written); receiving still works.
void shutdownSending(int socket);

void closeSocket(int socket);

// Waits until one of the sockets has input (or its peer ended or reset the
// connection), or timeoutMs passed; returns at once when there is input.
void waitForInput(const std::vector<int>& sockets, uint32_t timeoutMs);

}  // namespace vobu

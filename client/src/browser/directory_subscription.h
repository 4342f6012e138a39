#pragma once
// One saved server asked for its title and message of the day over its own
// connection, kept open once it has answered.

#include <memory>
#include <string>

#include "net/socket_transport.h"

namespace vobu {

struct DirectorySubscription {
    std::string url;
    std::unique_ptr<SocketTransport> transport;
    double startMs = 0;
    bool answered = false;
    // The connection ended or failed; the next poll step removes it.
    bool closed = false;
    // When the first valid reply arrived (performance-counter milliseconds).
    double answeredMs = 0;
};

// A saved server that answered and then closed its connection waits this
// long before it is asked again, doubling while it keeps doing so.
struct SubscriptionBackOff {
    static constexpr double kFirstDelayMs = 10000;
    static constexpr double kLongestDelayMs = 300000;

    double delayMs = 0;      // the delay last applied, 0 for none yet
    double notBeforeMs = 0;  // no new start before this time
};

}  // namespace vobu

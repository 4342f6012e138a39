#pragma once
// Server authorities, for every place that takes an address (the add
// dialog, the saved list, the directory, the connection), with the fault
// each of them must find. A port is 1 to 5 decimal digits of a value from 1
// to 65535; the name lookup would take more and wrap them into another port
// than is shown. A bracketed host is never dialled: the lookup is IPv4 only.

#include "net/server_authority.h"

namespace vobu::testing {

struct AuthorityCase {
    const char* authority;  // as typed, or between "ws://" and "/vobu"
    AuthorityFault fault;

    bool dialable() const { return fault == AuthorityFault::None; }
};

inline constexpr AuthorityFault kNone = AuthorityFault::None;
inline constexpr AuthorityFault kPort = AuthorityFault::BadPort;
inline constexpr AuthorityFault kBracket = AuthorityFault::BracketedHost;

inline constexpr AuthorityCase kAuthorityCases[] = {
    {"127.0.0.1:1", kNone},
    {"127.0.0.1:80", kNone},
    {"127.0.0.1:65535", kNone},
    {"127.0.0.1:080", kNone},    // leading zeros within five digits: port 80
    {"127.0.0.1:00080", kNone},  //
    {"host.test", kNone},        // no port written: the scheme's own
    {"127.0.0.1:0", kPort},
    {"127.0.0.1:00000", kPort},
    {"127.0.0.1:65536", kPort},   // would dial port 0
    {"127.0.0.1:73616", kPort},   // five digits that wrap to 8080
    {"127.0.0.1:99999", kPort},   //
    {"127.0.0.1:131071", kPort},  // 65535 + 65536
    {"127.0.0.1:000080", kPort},  // six digits, even with the value of 80
    {"127.0.0.1:", kPort},        // "host:" would dial port 0
    {"127.0.0.1:+80", kPort},
    {"127.0.0.1:-1", kPort},
    {"127.0.0.1: 80", kPort},
    {"127.0.0.1:8O", kPort},
    {"127.0.0.1:0x50", kPort},
    {"127.0.0.1:http", kPort},  // a service name, looked up on this machine only
    {"h:1:2", kPort},
    {"[::1]", kBracket},  // the lookup would be asked for "[" on port ":1]"
    {"[::1]:8080", kBracket},
    {"[1.2.3.4]:80", kBracket},  // brackets around an IPv4 host are refused too
    {"[", kBracket},
    {"]", kBracket},
    {"a]:1", kBracket},    // a bracket anywhere, not only first
    {"a:1[", kBracket},    // also in the port
    {"[::1]:", kBracket},  // the host is judged first: no port would help it
    {"[::1]:65536", kBracket},
};

}  // namespace vobu::testing

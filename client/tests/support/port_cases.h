#pragma once
// Server authorities with and without a port, for every place that takes an
// address (the add dialog, the saved list, the directory, the connection).
// A port is 1 to 5 decimal digits of a value from 1 to 65535; the name
// lookup would take more and wrap them into another port than is shown.

namespace vobu::testing {

struct PortCase {
    const char* authority;  // as typed, or between "ws://" and "/vobu"
    bool valid;
};

inline constexpr PortCase kPortCases[] = {
    {"127.0.0.1:1", true},
    {"127.0.0.1:80", true},
    {"127.0.0.1:65535", true},
    {"127.0.0.1:080", true},    // leading zeros within five digits: port 80
    {"127.0.0.1:00080", true},  //
    {"host.test", true},        // no port written: the scheme's own
    {"[::1]", true},            // a bracketed host keeps its colons
    {"[::1]:8080", true},
    {"127.0.0.1:0", false},
    {"127.0.0.1:00000", false},
    {"127.0.0.1:65536", false},   // would dial port 0
    {"127.0.0.1:73616", false},   // five digits that wrap to 8080
    {"127.0.0.1:99999", false},   //
    {"127.0.0.1:131071", false},  // 65535 + 65536
    {"127.0.0.1:000080", false},  // six digits, even with the value of 80
    {"127.0.0.1:", false},        // "host:" would dial port 0
    {"127.0.0.1:+80", false},
    {"127.0.0.1:-1", false},
    {"127.0.0.1: 80", false},
    {"127.0.0.1:8O", false},
    {"127.0.0.1:0x50", false},
    {"127.0.0.1:http", false},  // a service name, looked up on this machine only
    {"h:1:2", false},
    {"[::1]:", false},
    {"[::1]:65536", false},
};

}  // namespace vobu::testing

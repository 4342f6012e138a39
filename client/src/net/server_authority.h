#pragma once
// The authority of a server address (after its "://", up to the first "/"),
// read one way wherever an address is taken: the add dialog, the saved list,
// the directory's entries and the connection. An address that one of them
// keeps and another could never dial would be shown, saved and joined in
// vain.

#include <string>
#include <string_view>

namespace vobu {

// Why the connection could not dial an authority.
enum class AuthorityFault {
    None,
    // "[" or "]" anywhere: a bracketed (IPv6) host. The name lookup asks
    // for IPv4 only, and the host would be cut at the first ":" inside the
    // brackets.
    BracketedHost,
    // A port written that is not 1 to 5 decimal digits of a value from 1 to
    // 65535 ("080" is port 80; "host:" has none). The name lookup would take
    // more digits and wrap them, dial port 0 for none, or look a service
    // name up on this machine: the server dialled would not be the one the
    // address shows.
    BadPort,
};

struct ServerAuthority {
    std::string text;  // the whole authority as written (the "Host" header)
    std::string host;  // up to its first ":", all of it without one
    std::string port;  // after that ":"; empty when none is written
    AuthorityFault fault = AuthorityFault::None;

    bool dialable() const { return fault == AuthorityFault::None; }
};

// The authority of `address`: after its first "://", or from its start
// when it has none; up to the first "/" after that, or to its end.
ServerAuthority readServerAuthority(std::string_view address);

// The fault in words, for a log line ("" for none).
const char* describeAuthorityFault(AuthorityFault fault);

}  // namespace vobu

#pragma once
// The port of a server address, judged alike wherever an address is taken:
// the add dialog, the saved list, the directory's entries and the connection.
// Here because the saved list is the lowest layer that reads addresses.

#include <string_view>

namespace vobu {

// 1 to 5 decimal digits of a value from 1 to 65535 ("080" is port 80). The
// name lookup would take more digits and wrap them, or a service name of this
// machine, and so dial another port than the address shows.
bool isPortNumber(std::string_view text);

// The port written in an address's authority (after its "://", up to the
// first "/") is a port number; an address that writes none passes, its
// scheme chooses. The port follows the authority's first ":", or with a
// bracketed host ("[::1]:8080") the first ":" after the "]".
bool hasValidPort(std::string_view address);

}  // namespace vobu

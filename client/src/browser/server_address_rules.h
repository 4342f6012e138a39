#pragma once
// The add-server dialog's forgiving address form: "host:port" and web
// addresses become complete WebSocket addresses.

#include <string>

namespace vobu {

inline constexpr size_t kMaxTypedAddressBytes = 500;

// Trims, checks and completes a typed address. Returns the message of the
// first rule it breaks ("Enter an address", "Address is too long",
// "Address has spaces", "Use ws:// or wss://", "Enter a host and port",
// "Invalid address"), or an empty text with the address in `out`.
std::string completeServerAddress(const std::string& typed, std::string& out);

}  // namespace vobu

#pragma once
// The code a failure ends a game with.

#include <string>

namespace vobu {

// The text itself when it is a code: at most 64 bytes, starting "ERR_",
// only "A"-"Z", "0"-"9" and "_". Anything else (the JSON library's
// messages, readers' sentences, longer texts) is "ERR_BAD_SERVER_MESSAGE".
std::string failureCode(const std::string& text);
bool isErrorCode(const std::string& text);

}  // namespace vobu

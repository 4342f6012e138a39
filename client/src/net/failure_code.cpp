#include "net/failure_code.h"

#include <algorithm>

namespace vobu {

bool isErrorCode(const std::string& text) {
    if (text.size() > 64 || text.compare(0, 4, "ERR_") != 0) return false;
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; });
}

std::string failureCode(const std::string& text) { return isErrorCode(text) ? text : "ERR_BAD_SERVER_MESSAGE"; }

}  // namespace vobu

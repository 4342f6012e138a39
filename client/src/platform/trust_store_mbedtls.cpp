#include "platform/trust_store.h"

#include <fstream>
#include <sstream>

namespace vobu {

namespace {

constexpr const char* kBeginMarker = "-----BEGIN CERTIFICATE-----";
constexpr const char* kEndMarker = "-----END CERTIFICATE-----";

}  // namespace

bool readSystemTrustBundle(std::string& pem) {
    std::ifstream file(kSystemTrustBundlePath, std::ios::binary);
    if (!file) return false;
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) return false;
    pem = text.str();
    return true;
}

int addTrustAnchors(mbedtls_x509_crt& chain, const std::string& pem) {
    // Each block is parsed on its own, so one broken certificate cannot hide
    // the ones after it.
    int added = 0;
    size_t searchFrom = 0;
    const std::string endMarker = kEndMarker;
    for (;;) {
        size_t begin = pem.find(kBeginMarker, searchFrom);
        if (begin == std::string::npos) break;
        size_t end = pem.find(endMarker, begin);
        if (end == std::string::npos) break;
        end += endMarker.size();
        std::string block = pem.substr(begin, end - begin);
        block += '\n';
        if (mbedtls_x509_crt_parse(&chain, reinterpret_cast<const unsigned char*>(block.c_str()), block.size() + 1) ==
            0) {
            ++added;
        }
        searchFrom = end;
    }
    return added;
}

}  // namespace vobu

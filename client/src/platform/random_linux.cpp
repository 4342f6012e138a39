#include "platform/random.h"

#include <cerrno>
#include <sys/random.h>

namespace vobu {

bool fillRandomBytes(uint8_t* data, size_t length) {
    size_t filled = 0;
    while (filled < length) {
        ssize_t got = getrandom(data + filled, length - filled, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        filled += static_cast<size_t>(got);
    }
    return true;
}

}  // namespace vobu

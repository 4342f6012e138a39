// A file whose header claims 60000 x 60000 pixels (14.4 GB decoded) must be
// refused from its header, before any large allocation. This executable
// replaces malloc with a wrapper that notes the largest single request, so
// the test sees what the decoder and libspng ask for. It cannot run under
// the sanitizers, which replace malloc themselves.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "editor/png_files.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void __libc_free(void* pointer);
}

namespace {

std::atomic<size_t> largestRequest{0};

void note(size_t size) {
    size_t seen = largestRequest.load(std::memory_order_relaxed);
    while (size > seen && !largestRequest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {}
}

}  // namespace

extern "C" {
void* malloc(size_t size) {
    note(size);
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    note(size != 0 && count > SIZE_MAX / size ? SIZE_MAX : count * size);
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) {
    note(size);
    return __libc_realloc(pointer, size);
}
void free(void* pointer) { __libc_free(pointer); }
}

namespace vobu {
namespace {

std::string fixture(const char* name) {
    return std::string(VOBU_SOURCE_DIR) + "/client/tests/editor/fixtures/png/" + name;
}

size_t largestDuringRead(const char* name, bool& read) {
    const ImageFileCalls calls = systemImageFileCalls();
    largestRequest = 0;
    RgbaImage image;
    read = readImageFile(fixture(name), image, calls);
    return largestRequest.load();
}

TEST(PngAllocation, HugeHeaderIsRefusedBeforeAnyLargeAllocation) {
    bool read = true;
    const size_t largest = largestDuringRead("huge_header_60000.png", read);
    EXPECT_FALSE(read);
    EXPECT_LT(largest, size_t(1) << 20) << "a 60000-pixel row alone is 240 KB; the image 14.4 GB";
}

TEST(PngAllocation, TheWrapperSeesTheDecodersAllocations) {
    bool read = false;
    // 5000 x 10 is refused too, by its width.
    EXPECT_LT(largestDuringRead("wide_5000x10.png", read), size_t(1) << 20);
    EXPECT_FALSE(read);
    // A 64 x 64 image needs its 16 KiB of pixels: the wrapper must notice.
    EXPECT_GE(largestDuringRead("rgba_64x64.png", read), size_t(64 * 64 * 4));
    EXPECT_TRUE(read);
}

}  // namespace
}  // namespace vobu

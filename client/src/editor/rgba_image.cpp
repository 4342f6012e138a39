#include "editor/rgba_image.h"

namespace vobu {

bool isValidImage(const RgbaImage& image) {
    if (image.width < 1 || image.width > kMaxImageSide || image.height < 1 || image.height > kMaxImageSide) {
        return false;
    }
    return image.pixels.size() == static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4;
}

}  // namespace vobu

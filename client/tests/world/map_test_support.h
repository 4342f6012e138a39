#pragma once
// Helpers shared by the map reader tests: error capture and comparisons that
// show a Scene part did not change.

#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "world/scene.h"

namespace vobu::maptest {

// The text of the std::runtime_error the call throws, or "no error".
inline std::string errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no error";
}

inline bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline bool sameTriangles(const std::vector<WalkTriangle>& a, const std::vector<WalkTriangle>& b) {
    if (a.size() != b.size()) return false;
    return a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(WalkTriangle)) == 0;
}

inline bool sameMaterials(const std::vector<RenderMaterial>& a, const std::vector<RenderMaterial>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].number != b[i].number || a[i].vertices != b[i].vertices || a[i].indices != b[i].indices) return false;
    return true;
}

inline bool sameTextures(const std::vector<MaterialTexture>& a, const std::vector<MaterialTexture>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].revision != b[i].revision || a[i].width != b[i].width || a[i].height != b[i].height ||
            a[i].hasTransparency != b[i].hasTransparency || a[i].rgba != b[i].rgba)
            return false;
    return true;
}

}  // namespace vobu::maptest

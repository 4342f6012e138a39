// The OpenGL backend of Graphics on a real context (Mesa llvmpipe under
// Xvfb): each case draws and reads the pixels back. Without a display the
// cases skip, unless VOBU_REQUIRE_DISPLAY is set (the Xvfb run sets it).
#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#include "ui/graphics.h"

namespace vobu {
namespace {

constexpr int kSize = 64;

using Rgba = std::array<int, 4>;

class GraphicsGlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
        if (SDL_Init(SDL_INIT_VIDEO) != 0) return;
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
        SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
        window_ = SDL_CreateWindow("graphics_gl_test", 0, 0, kSize, kSize, SDL_WINDOW_OPENGL);
        if (window_) context_ = SDL_GL_CreateContext(window_);
    }
    static void TearDownTestSuite() {
        if (context_) SDL_GL_DeleteContext(context_);
        if (window_) SDL_DestroyWindow(window_);
        context_ = nullptr;
        window_ = nullptr;
        SDL_Quit();
    }

    void SetUp() override {
        if (!context_) {
            if (std::getenv("VOBU_REQUIRE_DISPLAY")) FAIL() << "no OpenGL context: " << SDL_GetError();
            GTEST_SKIP() << "no display";
        }
        graphics.initialize(createOpenGlBackend());
        graphics.beginFrame(kSize, kSize);
    }
    void TearDown() override {
        graphics.clearScissor();
        graphics.shutdown();
    }

    // Pixel (x, y) with y counted from the top, as the picture is seen.
    Rgba pixel(int x, int y) {
        unsigned char p[4] = {};
        glReadPixels(x, kSize - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2], p[3]};
    }

    static void expectNear(Rgba got, Rgba want, const char* what, int tolerance = 2) {
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(got[i], want[i], tolerance) << what << " channel " << i;
        }
    }

    // A rectangle in clip space, counter-clockwise in window coordinates.
    static std::vector<Vertex> rect(float left, float top, float right, float bottom, float z, Color c, float u0 = 0,
                                    float u1 = 1) {
        auto at = [&](float x, float y, float u, float v) {
            Vertex vertex;
            vertex.x = x;
            vertex.y = y;
            vertex.z = z;
            vertex.r = c.r;
            vertex.g = c.g;
            vertex.b = c.b;
            vertex.u = u;
            vertex.v = v;
            return vertex;
        };
        return {at(left, top, u0, 0), at(left, bottom, u0, 1),  at(right, bottom, u1, 1),
                at(left, top, u0, 0), at(right, bottom, u1, 1), at(right, top, u1, 0)};
    }
    static std::vector<Vertex> screen(Color c, float z = 0) { return rect(-1, 1, 1, -1, z, c); }

    void overlay(const std::vector<Vertex>& v, uint32_t texture = 0, float alpha = 1) {
        graphics.drawTriangles(v, texture, false, true, false, false, alpha, false);
    }
    void solid(const std::vector<Vertex>& v, uint32_t texture = 0) {
        graphics.drawTriangles(v, texture, false, false, false, false, 1, false);
    }

    static std::vector<uint8_t> texels(std::initializer_list<Rgba> colors) {
        std::vector<uint8_t> out;
        for (const Rgba& c : colors) {
            for (int channel : c) out.push_back(uint8_t(channel));
        }
        return out;
    }

    static inline SDL_Window* window_ = nullptr;
    static inline SDL_GLContext context_ = nullptr;
    Graphics graphics;
};

const Color kRed{1, 0, 0};
const Color kGreen{0, 1, 0};
const Color kBlue{0, 0, 1};
const Color kWhite{1, 1, 1};

TEST_F(GraphicsGlTest, BeginFrameClearsToOpaqueBlack) {
    overlay(screen(kWhite));
    graphics.beginFrame(kSize, kSize);
    expectNear(pixel(10, 10), {0, 0, 0, 255}, "cleared");
}

TEST_F(GraphicsGlTest, NearestAndLinearFilteringFollowTheTexture) {
    const std::vector<uint8_t> redBlue = texels({{255, 0, 0, 255}, {0, 0, 255, 255}});
    const uint32_t nearest = graphics.setTexture(2, 1, redBlue, 0, false, false);
    const uint32_t linear = graphics.setTexture(2, 1, redBlue, 0, true, false);
    overlay(rect(-1, 1, 1, 0, 0, kWhite), nearest);
    overlay(rect(-1, 0, 1, -1, 0, kWhite), linear);
    expectNear(pixel(5, 10), {255, 0, 0, 255}, "nearest left");
    expectNear(pixel(31, 10), {255, 0, 0, 255}, "nearest just left of the middle");
    expectNear(pixel(32, 10), {0, 0, 255, 255}, "nearest just right of the middle");
    const Rgba middle = pixel(32, 50);
    EXPECT_GT(middle[0], 60) << "linear blends at the middle";
    EXPECT_GT(middle[2], 60) << "linear blends at the middle";
}

TEST_F(GraphicsGlTest, RepeatAndClampWrapping) {
    const std::vector<uint8_t> redBlue = texels({{255, 0, 0, 255}, {0, 0, 255, 255}});
    const uint32_t repeat = graphics.setTexture(2, 1, redBlue, 0, false, true);
    const uint32_t clamp = graphics.setTexture(2, 1, redBlue, 0, false, false);
    overlay(rect(-1, 1, 1, 0, 0, kWhite, 0, 2), repeat);
    overlay(rect(-1, 0, 1, -1, 0, kWhite, 0, 2), clamp);
    // Across two copies: red, blue, red, blue with repeat; red then blue to the end with clamp.
    expectNear(pixel(40, 10), {255, 0, 0, 255}, "repeat third quarter");
    expectNear(pixel(40, 50), {0, 0, 255, 255}, "clamp third quarter");
}

TEST_F(GraphicsGlTest, VertexColorModulatesTheTexture) {
    const uint32_t white = graphics.setTexture(1, 1, texels({{255, 255, 255, 255}}), 0, false, false);
    overlay(screen(Color{1, 0.5f, 0}), white);
    expectNear(pixel(20, 20), {255, 128, 0, 255}, "modulated");
}

TEST_F(GraphicsGlTest, OverlayBlendsWithTheDrawAlpha) {
    overlay(screen(kWhite));
    overlay(screen(kRed), 0, 0.5f);
    expectNear(pixel(20, 20), {255, 128, 128, 255}, "half red over white");
}

TEST_F(GraphicsGlTest, InvertTurnsWhatLiesBeneathAround) {
    overlay(rect(-1, 1, 0, -1, 0, kWhite));  // left half white, right half black
    graphics.drawTriangles(screen(kWhite), 0, false, true, true, false, 1, false);
    expectNear(pixel(10, 30), {0, 0, 0, 255}, "white inverted");
    expectNear(pixel(50, 30), {255, 255, 255, 255}, "black inverted");
    // The colour mask is restored afterwards.
    overlay(screen(kGreen));
    expectNear(pixel(10, 30), {0, 255, 0, 255}, "after invert");
}

TEST_F(GraphicsGlTest, AlphaTestDropsTexelsBelowHalf) {
    const uint32_t texture = graphics.setTexture(2, 1, texels({{255, 0, 0, 100}, {0, 0, 255, 200}}), 0, false, false);
    graphics.drawTriangles(screen(kWhite), texture, false, false, false, false, 1, true);
    expectNear(pixel(10, 30), {0, 0, 0, 255}, "alpha 100 dropped");
    expectNear(pixel(50, 30), {0, 0, 255, 255}, "alpha 200 kept, not blended");
}

TEST_F(GraphicsGlTest, CullingDropsClockwiseTriangles) {
    std::vector<Vertex> clockwise = screen(kRed);
    std::swap(clockwise[1], clockwise[2]);
    std::swap(clockwise[4], clockwise[5]);
    graphics.drawTriangles(clockwise, 0, true, false, false, false, 1, false);
    expectNear(pixel(30, 30), {0, 0, 0, 255}, "culled");
    graphics.drawTriangles(screen(kGreen), 0, true, false, false, false, 1, false);
    expectNear(pixel(30, 30), {0, 255, 0, 255}, "counter-clockwise kept");
    graphics.drawTriangles(clockwise, 0, false, false, false, false, 1, false);
    expectNear(pixel(30, 30), {255, 0, 0, 255}, "no culling");
}

TEST_F(GraphicsGlTest, DepthTestAndTranslucentDrawsThatWriteNoDepth) {
    solid(screen(kRed, 0.0f));
    solid(screen(kGreen, 0.5f));
    expectNear(pixel(30, 30), {255, 0, 0, 255}, "farther solid hidden");
    solid(screen(kBlue, 0.0f));
    expectNear(pixel(30, 30), {0, 0, 255, 255}, "equal depth passes");
    graphics.drawTriangles(screen(kWhite, -0.5f), 0, false, false, false, true, 1, false);
    expectNear(pixel(30, 30), {255, 255, 255, 255}, "translucent in front");
    solid(screen(kGreen, -0.2f));
    expectNear(pixel(30, 30), {0, 255, 0, 255}, "translucent wrote no depth");
    overlay(screen(kRed, 0.9f));
    expectNear(pixel(30, 30), {255, 0, 0, 255}, "overlay ignores depth");
}

TEST_F(GraphicsGlTest, ScissorConfinesDrawsUntilCleared) {
    graphics.setScissor(0, 0, 32, kSize);
    overlay(screen(kRed));
    expectNear(pixel(10, 30), {255, 0, 0, 255}, "inside the scissor");
    expectNear(pixel(50, 30), {0, 0, 0, 255}, "outside the scissor");
    overlay(screen(kGreen));
    expectNear(pixel(50, 30), {0, 0, 0, 255}, "scissor lasts over draws");
    graphics.clearScissor();
    overlay(screen(kBlue));
    expectNear(pixel(50, 30), {0, 0, 255, 255}, "scissor cleared");
}

TEST_F(GraphicsGlTest, EachHandleKeepsItsImageAndChangesShowAtTheNextDraw) {
    const uint32_t a = graphics.setTexture(1, 1, texels({{255, 0, 0, 255}}), 0, false, false);
    const uint32_t b = graphics.setTexture(1, 1, texels({{0, 255, 0, 255}}), 0, false, false);
    overlay(rect(-1, 1, 0, -1, 0, kWhite), a);
    overlay(rect(0, 1, 1, -1, 0, kWhite), b);
    overlay(rect(-1, 1, -0.5f, -1, 0, kWhite), a);
    expectNear(pixel(5, 30), {255, 0, 0, 255}, "a after b");
    expectNear(pixel(50, 30), {0, 255, 0, 255}, "b");
    graphics.setTexture(1, 1, texels({{0, 0, 255, 255}}), a, false, false);  // same size: in place
    overlay(rect(-1, 1, 0, -1, 0, kWhite), a);
    expectNear(pixel(5, 30), {0, 0, 255, 255}, "a changed in place");
    graphics.setTexture(2, 1, texels({{255, 255, 0, 255}, {0, 255, 255, 255}}), a, false, false);
    overlay(rect(-1, 1, 0, -1, 0, kWhite), a);
    expectNear(pixel(5, 30), {255, 255, 0, 255}, "a with a new size, left");
    expectNear(pixel(25, 30), {0, 255, 255, 255}, "a with a new size, right");
    EXPECT_EQ(graphics.uploadCounters().uploads, 4u);
}

TEST_F(GraphicsGlTest, ATextureThatGrowsAndShrinksBackBeforeTheNextDrawShowsItsLastImage) {
    while (glGetError() != GL_NO_ERROR) {}
    const uint32_t h = graphics.setTexture(1, 1, texels({{255, 0, 0, 255}}), 0, false, false);
    overlay(screen(kWhite), h);
    expectNear(pixel(30, 30), {255, 0, 0, 255}, "red drawn");
    graphics.setTexture(1, 2, texels({{0, 255, 0, 255}, {0, 255, 0, 255}}), h, false, false);
    graphics.setTexture(1, 1, texels({{0, 0, 255, 255}}), h, false, false);
    overlay(screen(kWhite), h);
    expectNear(pixel(30, 30), {0, 0, 255, 255}, "the last image, blue");
    // A later change of the same size goes into the image specified anew.
    graphics.setTexture(1, 1, texels({{255, 255, 0, 255}}), h, false, false);
    overlay(screen(kWhite), h);
    expectNear(pixel(30, 30), {255, 255, 0, 255}, "changed after the resize");
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "OpenGL refused an upload";
}

TEST_F(GraphicsGlTest, AChangedBandOfRowsLandsAtItsRowsAndLeavesTheOthers) {
    // Eight rows of two texels, stretched over the picture: row r covers
    // picture rows r * kSize / 8 on.
    std::vector<uint8_t> image;
    for (int row = 0; row < 8; ++row) {
        for (int x = 0; x < 2; ++x) image.insert(image.end(), {uint8_t(row * 30), 0, 0, 255});
    }
    const uint32_t h = graphics.setTexture(2, 8, image, 0, false, false);
    overlay(screen(kWhite), h);
    for (int row : {5, 6}) {
        for (int x = 0; x < 2; ++x) image[size_t(row * 2 + x) * 4 + 1] = 200;
    }
    graphics.setTexture(2, 8, image, h, false, false);
    overlay(screen(kWhite), h);
    EXPECT_EQ(graphics.uploadCounters().bytes, 2u * 8u * 4u + 2u * 2u * 4u);
    for (int row = 0; row < 8; ++row) {
        const int y = row * kSize / 8 + kSize / 16;
        const int green = row == 5 || row == 6 ? 200 : 0;
        expectNear(pixel(kSize / 2, y), {row * 30, green, 0, 255}, "texel row");
    }
}

TEST_F(GraphicsGlTest, DeletedObjectsAreNotReusedWrongly) {
    const uint32_t a = graphics.setTexture(1, 1, texels({{255, 0, 0, 255}}), 0, false, false);
    overlay(screen(kWhite), a);
    graphics.deleteTexture(a);
    const uint32_t b = graphics.setTexture(1, 1, texels({{0, 255, 0, 255}}), 0, false, false);
    overlay(screen(kWhite), b);
    expectNear(pixel(30, 30), {0, 255, 0, 255}, "new texture after a delete");
    overlay(screen(kBlue), 0);
    expectNear(pixel(30, 30), {0, 0, 255, 255}, "untextured after textured");
}

// The vertex-array path cuts long draws into runs that need clipping and runs
// that do not; the picture must be exactly what drawing every triangle one by
// one in order gives. Overlapping triangles without depth make the order
// visible (few enough that early ones still show), and some of them reach
// far past the edges of the view.
TEST_F(GraphicsGlTest, CutDrawsGiveThePictureOfDrawingEveryTriangleInOrder) {
    std::vector<Vertex> triangles;
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return float(seed >> 8) / float(1u << 24);
    };
    for (int i = 0; i < 300; ++i) {
        // One triangle in a hundred crosses an edge of the view; the others
        // stay inside, so the list has long runs that need no clipping.
        const float reach = i % 100 == 7 ? 3.0f : 0.7f;
        const float cx = (next() * 2 - 1) * reach;
        const float cy = (next() * 2 - 1) * reach;
        const Color color{next(), next(), next()};
        for (int corner = 0; corner < 3; ++corner) {
            Vertex v;
            v.x = cx + (next() - 0.5f) * 0.5f;
            v.y = cy + (next() - 0.5f) * 0.5f;
            v.z = next() * 0.5f;
            v.r = color.r;
            v.g = color.g;
            v.b = color.b;
            triangles.push_back(v);
        }
    }
    auto picture = [] {
        std::vector<unsigned char> pixels(kSize * kSize * 4);
        glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    };

    overlay(triangles);
    const std::vector<unsigned char> cut = picture();

    graphics.shutdown();
    graphics.initialize(createOpenGlBackend(false));
    graphics.beginFrame(kSize, kSize);
    for (size_t i = 0; i < triangles.size(); i += 3) {
        overlay(std::vector<Vertex>(triangles.begin() + long(i), triangles.begin() + long(i) + 3));
    }
    const std::vector<unsigned char> oneByOne = picture();

    EXPECT_EQ(cut, oneByOne);
}

}  // namespace
}  // namespace vobu

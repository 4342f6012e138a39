// The only file of the client that calls OpenGL: fixed-function 1.1, one
// texture object per Graphics handle, triangles fed from vertex arrays.
#include "ui/graphics.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstddef>

namespace vobu {

namespace {

class OpenGlBackend final : public GraphicsBackend {
public:
    explicit OpenGlBackend(bool vertexArrays) : vertexArrays_(vertexArrays) {}

    void beginFrame(int width, int height) override {
        glViewport(0, 0, width, height);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        // The clear must reach every channel and the depth buffer whatever
        // the last draw left; the state of the draws is then sent afresh.
        glDepthMask(GL_TRUE);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        alphaMasked_ = false;
        stateKnown_ = false;
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        arraysEnabled_ = false;
    }

    uint32_t createTextureObject() override {
        GLuint name = 0;
        glGenTextures(1, &name);
        return name;
    }

    void deleteTextureObject(uint32_t object) override {
        GLuint name = object;
        glDeleteTextures(1, &name);
    }

    void bindTextureObject(uint32_t object) override { glBindTexture(GL_TEXTURE_2D, object); }

    void uploadTexture(const Texture& texture) override {
        setSampling(texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, texture.width, texture.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     texture.pixels.data());
    }

    void updateTextureRows(const Texture& texture, RowBand band) override {
        setSampling(texture);
        if (band.empty()) return;
        const size_t rowBytes = size_t(texture.width) * 4u;
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, band.first, texture.width, band.rows(), GL_RGBA, GL_UNSIGNED_BYTE,
                        texture.pixels.data() + size_t(band.first) * rowBytes);
    }

    void applyState(const DrawState& state) override {
        // Every GL state call makes the driver validate its pipeline again on
        // the next draw (llvmpipe does that on the calling thread), so only
        // what differs from the previous draw is sent.
        if (!stateKnown_) {
            // The comparison functions never change; they are set once per
            // frame together with a full copy of the state.
            glAlphaFunc(GL_GEQUAL, 0.5f);
            glDepthFunc(GL_LEQUAL);
            glCullFace(GL_BACK);
            glFrontFace(GL_CCW);
            setCapability(GL_ALPHA_TEST, state.alphaTest);
            setCapability(GL_DEPTH_TEST, state.depthTest);
            glDepthMask(state.depthWrite ? GL_TRUE : GL_FALSE);
            applyBlend(state.blend);
            setCapability(GL_CULL_FACE, state.cull);
            setCapability(GL_TEXTURE_2D, state.textured);
            glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, state.writeAlpha ? GL_TRUE : GL_FALSE);
            alphaMasked_ = !state.writeAlpha;
            applied_ = state;
            stateKnown_ = true;
        } else {
            if (state.alphaTest != applied_.alphaTest) setCapability(GL_ALPHA_TEST, state.alphaTest);
            if (state.depthTest != applied_.depthTest) setCapability(GL_DEPTH_TEST, state.depthTest);
            if (state.depthWrite != applied_.depthWrite) glDepthMask(state.depthWrite ? GL_TRUE : GL_FALSE);
            if (state.blend != applied_.blend) applyBlend(state.blend);
            if (state.cull != applied_.cull) setCapability(GL_CULL_FACE, state.cull);
            if (state.textured != applied_.textured) setCapability(GL_TEXTURE_2D, state.textured);
            applied_ = state;
        }
        maskAlpha_ = !state.writeAlpha;
    }

    void drawTriangles(const Vertex* vertices, size_t count, float alpha) override {
        if (count == 0) {
            return;
        }
        if (maskAlpha_ != alphaMasked_) {
            glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, maskAlpha_ ? GL_FALSE : GL_TRUE);
            alphaMasked_ = maskAlpha_;
        }
        if (vertexArrays_) {
            drawArrays(vertices, count, alpha);
        } else {
            drawImmediate(vertices, count, alpha);
        }
    }

    void setScissor(int x, int y, int width, int height) override {
        glEnable(GL_SCISSOR_TEST);
        glScissor(x, y, width, height);
    }

    void clearScissor() override { glDisable(GL_SCISSOR_TEST); }

private:
    static void setSampling(const Texture& texture) {
        const GLint filter = texture.linear ? GL_LINEAR : GL_NEAREST;
        const GLint wrap = texture.repeat ? GL_REPEAT : GL_CLAMP;
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    }

    void drawArrays(const Vertex* vertices, size_t count, float alpha) {
        const GLsizei stride = sizeof(Vertex);
        if (!arraysEnabled_) {
            // All three arrays are used by every draw, so they stay enabled.
            glEnableClientState(GL_VERTEX_ARRAY);
            glEnableClientState(GL_COLOR_ARRAY);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            arraysEnabled_ = true;
        }
        glVertexPointer(4, GL_FLOAT, stride, &vertices[0].x);
        glTexCoordPointer(2, GL_FLOAT, stride, &vertices[0].u);
        if (alpha == 1.0f) {
            // Three colour components leave alpha at 1: the vertices are used as they are.
            glColorPointer(3, GL_FLOAT, stride, &vertices[0].r);
        } else {
            colors_.resize(count * 4);
            for (size_t i = 0; i < count; ++i) {
                colors_[i * 4 + 0] = vertices[i].r;
                colors_[i * 4 + 1] = vertices[i].g;
                colors_[i * 4 + 2] = vertices[i].b;
                colors_[i * 4 + 3] = alpha;
            }
            glColorPointer(4, GL_FLOAT, 0, colors_.data());
        }
        // A driver that finds one triangle to clip in a call may send the
        // whole call through its slow clipping path (llvmpipe does, at a cost
        // that grows with the size of the call). The list is therefore cut,
        // in order, into runs that need clipping and long runs that do not:
        // every triangle is still drawn once, in its place, and clipped the
        // same way, so the picture stays the same.
        size_t first = 0;
        const size_t triangles = count / 3;
        size_t t = 0;
        while (t < triangles) {
            size_t end = t;
            while (end < triangles && !needsClipping(vertices + end * 3)) ++end;
            if (end - t >= kShortestUnclippedRun) {
                if (t * 3 > first) drawRange(first, t * 3);
                drawRange(t * 3, end * 3);
                first = end * 3;
            }
            t = end;
            while (t < triangles && needsClipping(vertices + t * 3)) ++t;
        }
        drawRange(first, count);  // the pending rest, short unclipped runs included
    }

    // A run of triangles without clipping shorter than this stays in the call
    // around it: a call of its own would cost more than it saves.
    static constexpr size_t kShortestUnclippedRun = 64;

    // Whether a triangle reaches beyond a plane of the view volume. Only the
    // cost depends on it: the driver clips whatever needs it in any call.
    static bool needsClipping(const Vertex* triangle) {
        for (int k = 0; k < 3; ++k) {
            const Vertex& v = triangle[k];
            // Written so that a NaN counts as outside.
            const bool inside =
                v.w > 0.0f && v.x >= -v.w && v.x <= v.w && v.y >= -v.w && v.y <= v.w && v.z >= -v.w && v.z <= v.w;
            if (!inside) return true;
        }
        return false;
    }

    static void drawRange(size_t first, size_t end) {
        while (first < end) {
            // Batches of whole triangles that fit a GLsizei.
            const size_t batch = std::min<size_t>(end - first, size_t(3) << 28);
            glDrawArrays(GL_TRIANGLES, GLint(first), GLsizei(batch));
            first += batch;
        }
    }

    static void setCapability(GLenum capability, bool on) {
        if (on) {
            glEnable(capability);
        } else {
            glDisable(capability);
        }
    }

    static void applyBlend(DrawState::Blend blend) {
        switch (blend) {
            case DrawState::Blend::None:
                glDisable(GL_BLEND);
                break;
            case DrawState::Blend::Alpha:
                glEnable(GL_BLEND);
                glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
                break;
            case DrawState::Blend::Invert:
                glEnable(GL_BLEND);
                glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ZERO);
                break;
        }
    }

    static void drawImmediate(const Vertex* vertices, size_t count, float alpha) {
        glBegin(GL_TRIANGLES);
        for (size_t i = 0; i < count; ++i) {
            const Vertex& v = vertices[i];
            glColor4f(v.r, v.g, v.b, alpha);
            glTexCoord2f(v.u, v.v);
            glVertex4f(v.x, v.y, v.z, v.w);
        }
        glEnd();
    }

    bool vertexArrays_;
    bool maskAlpha_ = false;      // the coming draws leave the alpha channel alone
    bool alphaMasked_ = false;    // what glColorMask currently says
    bool stateKnown_ = false;     // applied_ and alphaMasked_ mirror the GL state
    bool arraysEnabled_ = false;  // the three client arrays are on
    DrawState applied_;
    std::vector<float> colors_;
};

}  // namespace

std::unique_ptr<GraphicsBackend> createOpenGlBackend(bool vertexArrays) {
    return std::make_unique<OpenGlBackend>(vertexArrays);
}

}  // namespace vobu

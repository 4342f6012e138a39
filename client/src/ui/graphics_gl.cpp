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
        glDepthMask(GL_TRUE);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
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

    void uploadTexture(Texture const& texture) override {
        setSampling(texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, texture.width, texture.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     texture.pixels.data());
    }

    void updateTexture(Texture const& texture) override {
        setSampling(texture);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, texture.width, texture.height, GL_RGBA, GL_UNSIGNED_BYTE,
                        texture.pixels.data());
    }

    void applyState(DrawState const& state) override {
        if (state.alphaTest) {
            glEnable(GL_ALPHA_TEST);
            glAlphaFunc(GL_GEQUAL, 0.5f);
        } else {
            glDisable(GL_ALPHA_TEST);
        }
        if (state.depthTest) {
            glEnable(GL_DEPTH_TEST);
            glDepthFunc(GL_LEQUAL);
        } else {
            glDisable(GL_DEPTH_TEST);
        }
        glDepthMask(state.depthWrite ? GL_TRUE : GL_FALSE);
        switch (state.blend) {
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
        if (state.cull) {
            glEnable(GL_CULL_FACE);
            glCullFace(GL_BACK);
            glFrontFace(GL_CCW);
        } else {
            glDisable(GL_CULL_FACE);
        }
        if (state.textured) {
            glEnable(GL_TEXTURE_2D);
        } else {
            glDisable(GL_TEXTURE_2D);
        }
        maskAlpha_ = !state.writeAlpha;
    }

    void drawTriangles(Vertex const* vertices, size_t count, float alpha) override {
        if (count == 0) {
            return;
        }
        if (maskAlpha_) {
            glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
        }
        if (vertexArrays_) {
            drawArrays(vertices, count, alpha);
        } else {
            drawImmediate(vertices, count, alpha);
        }
        if (maskAlpha_) {
            glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        }
    }

    void setScissor(int x, int y, int width, int height) override {
        glEnable(GL_SCISSOR_TEST);
        glScissor(x, y, width, height);
    }

    void clearScissor() override { glDisable(GL_SCISSOR_TEST); }

private:
    static void setSampling(Texture const& texture) {
        GLint const filter = texture.linear ? GL_LINEAR : GL_NEAREST;
        GLint const wrap = texture.repeat ? GL_REPEAT : GL_CLAMP;
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    }

    void drawArrays(Vertex const* vertices, size_t count, float alpha) {
        GLsizei const stride = sizeof(Vertex);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glVertexPointer(4, GL_FLOAT, stride, &vertices[0].x);
        glTexCoordPointer(2, GL_FLOAT, stride, &vertices[0].u);
        if (alpha == 1.0f) {
            // Three colour components leave alpha at 1: the vertices are used as they are.
            glColorPointer(3, GL_FLOAT, stride, &vertices[0].r);
        } else {
            colours_.resize(count * 4);
            for (size_t i = 0; i < count; ++i) {
                colours_[i * 4 + 0] = vertices[i].r;
                colours_[i * 4 + 1] = vertices[i].g;
                colours_[i * 4 + 2] = vertices[i].b;
                colours_[i * 4 + 3] = alpha;
            }
            glColorPointer(4, GL_FLOAT, 0, colours_.data());
        }
        for (size_t first = 0; first < count;) {
            // Batches of whole triangles that fit a GLsizei.
            size_t const batch = std::min<size_t>(count - first, size_t(3) << 28);
            glDrawArrays(GL_TRIANGLES, GLint(first), GLsizei(batch));
            first += batch;
        }
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
    }

    static void drawImmediate(Vertex const* vertices, size_t count, float alpha) {
        glBegin(GL_TRIANGLES);
        for (size_t i = 0; i < count; ++i) {
            Vertex const& v = vertices[i];
            glColor4f(v.r, v.g, v.b, alpha);
            glTexCoord2f(v.u, v.v);
            glVertex4f(v.x, v.y, v.z, v.w);
        }
        glEnd();
    }

    bool vertexArrays_;
    bool maskAlpha_ = false;
    std::vector<float> colours_;
};

}  // namespace

std::unique_ptr<GraphicsBackend> createOpenGlBackend(bool vertexArrays) {
    return std::make_unique<OpenGlBackend>(vertexArrays);
}

}  // namespace vobu

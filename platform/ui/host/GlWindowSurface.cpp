#include "platform/ui/host/GlWindowSurface.h"

#include <cmath>

#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLShaderProgram>

#include "platform/gpu/gl/GlPresentation.h"
#include "platform/log/Log.h"
#include "platform/ui/host/UIRenderer.h"
#include "platform/ui/view/DrawableComposition.h"
#include "platform/ui/window/UIWindow.h"

namespace hx {

namespace {

// One quad per draw, its corners made from the vertex index: no vertex buffers. The rectangle
// is in clip space (left, top, right, bottom); texture row 0 is the picture's top row.
constexpr const char* kVertexShader = R"(#version 300 es
uniform highp vec4 rect;
out highp vec2 uv;
void main() {
    vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
    uv = corner;
    gl_Position = vec4(mix(rect.x, rect.z, corner.x), mix(rect.y, rect.w, corner.y), 0.0, 1.0);
}
)";

// A drawable is shown opaque, as the GPU view's content is; the window's picture holds its
// bytes as B, G, R, A in memory (premultiplied), uploaded as they are and swapped here.
constexpr const char* kFragmentShader = R"(#version 300 es
precision highp float;
uniform sampler2D picture;
uniform bool swapRedBlue;
uniform bool opaque;
in highp vec2 uv;
out vec4 colour;
void main() {
    vec4 c = texture(picture, uv);
    if (swapRedBlue) c = c.bgra;
    if (opaque) c.a = 1.0;
    colour = c;
}
)";

}  // namespace

GlWindowSurface::GlWindowSurface(std::shared_ptr<UIWindow> window, std::function<double()> zoom,
                                 std::function<void()> painted, QWidget* parent)
    : QOpenGLWidget(parent),
      window_(std::move(window)),
      zoom_(std::move(zoom)),
      painted_(std::move(painted)) {
    // The host widget underneath takes the mouse and the keys.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

GlWindowSurface::~GlWindowSurface() {
    if (!context()) return;
    makeCurrent();
    release();
    doneCurrent();
}

bool GlWindowSurface::available() {
    QOpenGLContext* share = QOpenGLContext::globalShareContext();
    return share && share->isValid() && gpu::gl::presentationContext().context != nullptr;
}

void GlWindowSurface::initializeGL() {
    // A new context (the widget moved to another window, say) starts from nothing.
    release();
    program_ = std::make_unique<QOpenGLShaderProgram>();
    if (!program_->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) ||
        !program_->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader) ||
        !program_->link()) {
        hxLog("window: the GL compositor does not build: %s", qPrintable(program_->log()));
        program_.reset();
        return;
    }
    QOpenGLExtraFunctions* gl = context()->extraFunctions();
    gl->glGenTextures(1, &pictureTexture_);
    const auto sampler = [&](GLenum filter) {
        GLuint name = 0;
        gl->glGenSamplers(1, &name);
        gl->glSamplerParameteri(name, GL_TEXTURE_MIN_FILTER, GLint(filter));
        gl->glSamplerParameteri(name, GL_TEXTURE_MAG_FILTER, GLint(filter));
        gl->glSamplerParameteri(name, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        gl->glSamplerParameteri(name, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        return name;
    };
    // Drawables are scaled like the read-back picture (smoothly); the window's picture is
    // drawn at its own size.
    linearSampler_ = sampler(GL_LINEAR);
    nearestSampler_ = sampler(GL_NEAREST);
}

void GlWindowSurface::release() {
    QOpenGLContext* current = QOpenGLContext::currentContext();
    if (current) {
        QOpenGLExtraFunctions* gl = current->extraFunctions();
        if (fence_) gl->glDeleteSync(static_cast<GLsync>(fence_));
        if (pictureTexture_) gl->glDeleteTextures(1, &pictureTexture_);
        if (linearSampler_) gl->glDeleteSamplers(1, &linearSampler_);
        if (nearestSampler_) gl->glDeleteSamplers(1, &nearestSampler_);
    }
    fence_ = nullptr;
    pictureTexture_ = linearSampler_ = nearestSampler_ = 0;
    pictureWidth_ = pictureHeight_ = 0;
    program_.reset();
    inFlight_.clear();
}

void GlWindowSurface::retireLastFrame() {
    if (!fence_) return;
    QOpenGLExtraFunctions* gl = context()->extraFunctions();
    // A frame ago, so normally long done; the wait is bounded so a stuck GPU cannot hang the
    // window, and holds on to the drawables if it ran out.
    const GLenum state =
        gl->glClientWaitSync(static_cast<GLsync>(fence_), GL_SYNC_FLUSH_COMMANDS_BIT, 100'000'000);
    if (state == GL_TIMEOUT_EXPIRED || state == GL_WAIT_FAILED) return;
    gl->glDeleteSync(static_cast<GLsync>(fence_));
    fence_ = nullptr;
    inFlight_.clear();
}

void GlWindowSurface::paintGL() {
    QOpenGLExtraFunctions* gl = context()->extraFunctions();
    retireLastFrame();
    const double ratio = devicePixelRatioF();
    DrawableComposition composition(
        [](const gpu::Texture& texture) { return gpu::gl::presentableTextureName(texture) != 0; });
    // Without a compositor the window is still shown, every GPU view read back.
    QImage picture =
        UIRenderer::renderWindow(*window_, zoom_() * ratio, program_ ? &composition : nullptr);
    const int width = static_cast<int>(std::lround(this->width() * ratio));
    const int height = static_cast<int>(std::lround(this->height() * ratio));
    gl->glViewport(0, 0, width, height);
    gl->glDisable(GL_BLEND);
    gl->glDisable(GL_DEPTH_TEST);
    gl->glDisable(GL_SCISSOR_TEST);
    gl->glDisable(GL_STENCIL_TEST);
    gl->glDisable(GL_CULL_FACE);
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    if (!program_) {
        painted_();
        return;
    }
    program_->bind();
    program_->setUniformValue("picture", 0);
    gl->glActiveTexture(GL_TEXTURE0);
    // Pixels (top left at the origin) to clip space.
    const auto drawQuad = [&](double left, double top, double right, double bottom) {
        program_->setUniformValue("rect", static_cast<float>(2 * left / width - 1),
                                  static_cast<float>(1 - 2 * top / height),
                                  static_cast<float>(2 * right / width - 1),
                                  static_cast<float>(1 - 2 * bottom / height));
        gl->glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    };

    // The drawables first, from the GPU layer's own textures: no copy on the way.
    program_->setUniformValue("swapRedBlue", false);
    program_->setUniformValue("opaque", true);
    gl->glBindSampler(0, linearSampler_);
    for (const DrawableComposition::Layer& layer : composition.layers()) {
        const GLuint name = gpu::gl::presentableTextureName(*layer.texture);
        if (!name) continue;
        gl->glBindTexture(GL_TEXTURE_2D, name);
        drawQuad(layer.rect.minX(), layer.rect.minY(), layer.rect.maxX(), layer.rect.maxY());
        inFlight_.push_back(layer.texture);
    }

    // Then the rest of the window over them, premultiplied.
    gl->glBindTexture(GL_TEXTURE_2D, pictureTexture_);
    gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(picture.bytesPerLine() / 4));
    if (picture.width() != pictureWidth_ || picture.height() != pictureHeight_) {
        gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, picture.width(), picture.height(), 0, GL_RGBA,
                         GL_UNSIGNED_BYTE, picture.constBits());
        pictureWidth_ = picture.width();
        pictureHeight_ = picture.height();
    } else {
        gl->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, picture.width(), picture.height(), GL_RGBA,
                            GL_UNSIGNED_BYTE, picture.constBits());
    }
    gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    gl->glBindSampler(0, nearestSampler_);
    program_->setUniformValue("swapRedBlue", true);
    program_->setUniformValue("opaque", false);
    gl->glEnable(GL_BLEND);
    gl->glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    drawQuad(0, 0, picture.width(), picture.height());
    gl->glDisable(GL_BLEND);
    gl->glBindSampler(0, 0);
    gl->glBindTexture(GL_TEXTURE_2D, 0);
    program_->release();
    if (!inFlight_.empty()) {
        // Fences signal in order: the new one covers whatever an unfinished older one did.
        if (fence_) gl->glDeleteSync(static_cast<GLsync>(fence_));
        fence_ = gl->glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    }
    painted_();
}

}  // namespace hx

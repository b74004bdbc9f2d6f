#include "platform/gpu/gl/GlResources.h"

#include <cstring>

#include "platform/log/Log.h"

namespace hx::gpu::gl {

namespace {

constexpr size_t kMaxTextureSide = 1 << 15;

GLenum internalFormat(PixelFormat format) {
    return format == PixelFormat::R8Unorm ? GL_R8 : GL_RGBA8;
}

GLenum externalFormat(PixelFormat format) {
    return format == PixelFormat::R8Unorm ? GL_RED : GL_RGBA;
}

}  // namespace

// ---- textures

std::shared_ptr<GlTexture> GlTexture::make(GlContextRef context, const TextureDescriptor& d) {
    const size_t height = d.textureType == TextureType::Type1D ? 1 : d.height;
    if (!context || bytesPerPixel(d.pixelFormat) == 0 || d.width == 0 || height == 0 ||
        d.width > kMaxTextureSide || height > kMaxTextureSide)
        return nullptr;
    std::shared_ptr<GlTexture> texture(
        new GlTexture(std::move(context), d.textureType, d.pixelFormat, d.width, height, d.usage));
    if (!texture->allocate()) return nullptr;
    return texture;
}

std::shared_ptr<GlTexture> GlTexture::overPixelBuffer(GlContextRef context, PixelBufferRef buffer,
                                                      PixelFormat format, size_t width,
                                                      size_t height) {
    if (!context || !buffer || bytesPerPixel(format) != 4 || width == 0 || height == 0 ||
        width > buffer->width() || height > buffer->height() || buffer->bytesPerRow() % 4 != 0)
        return nullptr;
    std::shared_ptr<GlTexture> texture(
        new GlTexture(std::move(context), TextureType::Type2D, format, width, height,
                      TextureUsageShaderRead | TextureUsageShaderWrite | TextureUsageRenderTarget));
    texture->pixelBuffer_ = std::move(buffer);
    if (!texture->allocate()) return nullptr;
    return texture;
}

bool GlTexture::allocate() {
    bool made = false;
    context_->run([&] {
        GLint maxSide = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
        if (width_ > size_t(maxSide) || height_ > size_t(maxSide)) return;
        while (glGetError() != GL_NO_ERROR) {
        }
        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        glTexStorage2D(GL_TEXTURE_2D, 1, internalFormat(format_), GLsizei(width_),
                       GLsizei(height_));
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        if (format_ == PixelFormat::BGRA8Unorm) {
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_R, GL_BLUE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_B, GL_RED);
        }
        glBindTexture(GL_TEXTURE_2D, 0);
        if (glGetError() != GL_NO_ERROR) {
            hxLog("GPU: GL could not make a %zux%zu %s texture", width_, height_,
                  pixelFormatName(format_));
            return;
        }
        // New textures start out zero, as on every backend.
        if (framebuffer() == 0) return;
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        made = glGetError() == GL_NO_ERROR;
    });
    return made;
}

GlTexture::~GlTexture() {
    if (texture_ == 0 && framebuffer_ == 0) return;
    context_->post([texture = texture_, framebuffer = framebuffer_] {
        if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
        if (texture) glDeleteTextures(1, &texture);
    });
}

GLuint GlTexture::framebuffer() {
    if (framebuffer_ == 0) {
        glGenFramebuffers(1, &framebuffer_);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            glBindFramebuffer(GL_FRAMEBUFFER, 0);
            glDeleteFramebuffers(1, &framebuffer_);
            framebuffer_ = 0;
            return 0;
        }
    }
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return framebuffer_;
}

bool GlTexture::regionInside(const Region& r) const {
    return r.size.width > 0 && r.size.height > 0 && r.origin.x < width_ &&
           r.size.width <= width_ - r.origin.x && r.origin.y < height_ &&
           r.size.height <= height_ - r.origin.y && r.origin.z == 0 && r.size.depth == 1;
}

void GlTexture::upload(const Region& region, const uint8_t* bytes, size_t bytesPerRow) {
    const size_t bpp = bytesPerPixel(format_);
    const size_t rowBytes = region.size.width * bpp;
    std::vector<uint8_t> packed;
    if (bytesPerRow % bpp != 0) {
        // GL counts row lengths in texels; an odd stride is repacked first.
        packed.resize(rowBytes * region.size.height);
        for (size_t y = 0; y < region.size.height; ++y)
            std::memcpy(packed.data() + y * rowBytes, bytes + y * bytesPerRow, rowBytes);
        bytes = packed.data();
        bytesPerRow = rowBytes;
    }
    const size_t span = (region.size.height - 1) * bytesPerRow + rowBytes;
    GLuint staging = 0;
    glGenBuffers(1, &staging);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, staging);
    glBufferData(GL_PIXEL_UNPACK_BUFFER, GLsizeiptr(span), bytes, GL_STREAM_DRAW);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(bytesPerRow / bpp));
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexSubImage2D(GL_TEXTURE_2D, 0, GLint(region.origin.x), GLint(region.origin.y),
                    GLsizei(region.size.width), GLsizei(region.size.height),
                    externalFormat(format_), GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glDeleteBuffers(1, &staging);
}

void GlTexture::read(uint8_t* bytes, size_t bytesPerRow, const Region& region) {
    if (framebuffer() == 0) return;
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    const GLint x = GLint(region.origin.x), y = GLint(region.origin.y);
    const GLsizei w = GLsizei(region.size.width), h = GLsizei(region.size.height);
    if (format_ == PixelFormat::R8Unorm) {
        // One-channel reads are optional in OpenGL ES; RGBA always works.
        std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4);
        glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        for (size_t row = 0; row < size_t(h); ++row)
            for (size_t i = 0; i < size_t(w); ++i)
                bytes[row * bytesPerRow + i] = rgba[(row * size_t(w) + i) * 4];
    } else if (bytesPerRow % 4 == 0) {
        glPixelStorei(GL_PACK_ROW_LENGTH, GLint(bytesPerRow / 4));
        glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, bytes);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    } else {
        std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4);
        glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        for (size_t row = 0; row < size_t(h); ++row)
            std::memcpy(bytes + row * bytesPerRow, rgba.data() + row * size_t(w) * 4,
                        size_t(w) * 4);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void GlTexture::replaceRegion(const Region& region, size_t mipmapLevel, const void* bytes,
                              size_t bytesPerRow) {
    if (!bytes || mipmapLevel != 0 || !regionInside(region)) return;
    const size_t bpp = bytesPerPixel(format_);
    const size_t rowBytes = region.size.width * bpp;
    if (bytesPerRow == 0 || type_ == TextureType::Type1D) bytesPerRow = rowBytes;
    if (bytesPerRow < rowBytes) return;
    const auto* source = static_cast<const uint8_t*>(bytes);
    if (pixelBuffer_) {
        // The pixel buffer's memory holds the texels; the next pass that reads them uploads.
        uint8_t* base = pixelBuffer_->baseAddress();
        const size_t stride = pixelBuffer_->bytesPerRow();
        for (size_t y = 0; y < region.size.height; ++y)
            std::memcpy(base + (region.origin.y + y) * stride + region.origin.x * bpp,
                        source + y * bytesPerRow, rowBytes);
        return;
    }
    context_->run([&] { upload(region, source, bytesPerRow); });
}

void GlTexture::getBytes(void* bytes, size_t bytesPerRow, const Region& region,
                         size_t mipmapLevel) const {
    if (!bytes || mipmapLevel != 0 || !regionInside(region)) return;
    const size_t bpp = bytesPerPixel(format_);
    const size_t rowBytes = region.size.width * bpp;
    if (bytesPerRow == 0) bytesPerRow = rowBytes;
    if (bytesPerRow < rowBytes) return;
    auto* out = static_cast<uint8_t*>(bytes);
    if (pixelBuffer_) {
        const uint8_t* base = pixelBuffer_->baseAddress();
        const size_t stride = pixelBuffer_->bytesPerRow();
        for (size_t y = 0; y < region.size.height; ++y)
            std::memcpy(out + y * bytesPerRow,
                        base + (region.origin.y + y) * stride + region.origin.x * bpp, rowBytes);
        return;
    }
    auto* self = const_cast<GlTexture*>(this);
    context_->run([&] { self->read(out, bytesPerRow, region); });
}

void GlTexture::uploadFromPixelBuffer() {
    if (!pixelBuffer_) return;
    upload(Region::make2D(0, 0, width_, height_), pixelBuffer_->baseAddress(),
           pixelBuffer_->bytesPerRow());
}

void GlTexture::readBackToPixelBuffer() {
    if (!pixelBuffer_) return;
    read(pixelBuffer_->baseAddress(), pixelBuffer_->bytesPerRow(),
         Region::make2D(0, 0, width_, height_));
}

// ---- buffers

GlBuffer::GlBuffer(GlContextRef context, const void* bytes, size_t length)
    : context_(std::move(context)),
      bytes_(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + length) {}

GlBuffer::~GlBuffer() {
    if (buffer_ == 0) return;
    context_->post([buffer = buffer_] { glDeleteBuffers(1, &buffer); });
}

GLuint GlBuffer::name() {
    if (buffer_ == 0) {
        std::vector<uint8_t> padded((bytes_.size() + 15) / 16 * 16, 0);
        std::memcpy(padded.data(), bytes_.data(), bytes_.size());
        glGenBuffers(1, &buffer_);
        glBindBuffer(GL_UNIFORM_BUFFER, buffer_);
        glBufferData(GL_UNIFORM_BUFFER, GLsizeiptr(padded.size()), padded.data(), GL_STATIC_DRAW);
        glBindBuffer(GL_UNIFORM_BUFFER, 0);
    }
    return buffer_;
}

}  // namespace hx::gpu::gl

#include "platform/gpu/gl/GlDevice.h"

#include <algorithm>
#include <cstring>

#include "platform/gpu/ShaderLibraryRegistry.h"
#include "platform/log/Log.h"

namespace hx::gpu::gl {

namespace {

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

std::string shaderLog(GLuint shader) {
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string text(size_t(std::max(length, 1)), '\0');
    glGetShaderInfoLog(shader, GLsizei(text.size()), nullptr, text.data());
    text.resize(std::strlen(text.c_str()));
    return text;
}

std::string programLog(GLuint program) {
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string text(size_t(std::max(length, 1)), '\0');
    glGetProgramInfoLog(program, GLsizei(text.size()), nullptr, text.data());
    text.resize(std::strlen(text.c_str()));
    return text;
}

GLuint compile(GLenum stage, const GlFunction& function, std::string* error) {
    const std::string source =
        completeSource({function.name(), function.functionType(), function.source()});
    const char* text = source.c_str();
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (!compiled) {
        setError(error, "\"" + function.name() + "\" does not compile: " + shaderLog(shader));
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

}  // namespace

std::shared_ptr<GlDevice> GlDevice::create(std::string* error) {
    GlContextRef context = GlContext::create(error);
    if (!context) return nullptr;
    return std::shared_ptr<GlDevice>(new GlDevice(std::move(context)));
}

GlDevice::~GlDevice() {
    if (programs_.empty()) return;
    std::vector<GLuint> names;
    for (const auto& [key, program] : programs_) names.push_back(program->program);
    context_->post([names] {
        for (GLuint name : names) glDeleteProgram(name);
    });
}

std::string GlDevice::name() const {
    return "OpenGL ES (" + context_->info().renderer + ")";
}

LibraryRef GlDevice::newDefaultLibrary() {
    return registeredShaderLibrary(kBackendName);
}

CommandQueueRef GlDevice::newCommandQueue() {
    return std::make_shared<GlCommandQueue>(context_);
}

std::shared_ptr<const GlProgram> GlDevice::program(const GlFunction& vertex,
                                                   const GlFunction& fragment, std::string* error) {
    const auto key = std::make_pair(vertex.name(), fragment.name());
    if (auto it = programs_.find(key); it != programs_.end()) return it->second;
    GLuint vertexShader = compile(GL_VERTEX_SHADER, vertex, error);
    if (!vertexShader) return nullptr;
    GLuint fragmentShader = compile(GL_FRAGMENT_SHADER, fragment, error);
    if (!fragmentShader) {
        glDeleteShader(vertexShader);
        return nullptr;
    }
    auto made = std::make_shared<GlProgram>();
    made->program = glCreateProgram();
    glAttachShader(made->program, vertexShader);
    glAttachShader(made->program, fragmentShader);
    glLinkProgram(made->program);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    GLint linked = GL_FALSE;
    glGetProgramiv(made->program, GL_LINK_STATUS, &linked);
    if (!linked) {
        setError(error, "\"" + vertex.name() + "\" and \"" + fragment.name() +
                            "\" do not link: " + programLog(made->program));
        glDeleteProgram(made->program);
        return nullptr;
    }
    made->swapTarget = glGetUniformLocation(made->program, "hx_swapTarget");
    made->targetSize = glGetUniformLocation(made->program, "hx_targetSize");
    made->textures = glGetUniformLocation(made->program, "hx_textures");
    made->vertexBuffers = glGetUniformLocation(made->program, "hx_vertexBuffers");
    made->fragmentBuffers = glGetUniformLocation(made->program, "hx_fragmentBuffers");
    programs_.emplace(key, made);
    return made;
}

RenderPipelineStateRef GlDevice::newRenderPipelineStateWithDescriptor(
    const RenderPipelineDescriptor& d, std::string* error) {
    auto vertex = std::dynamic_pointer_cast<GlFunction>(d.vertexFunction);
    auto fragment = std::dynamic_pointer_cast<GlFunction>(d.fragmentFunction);
    const std::string pipeline = "pipeline \"" + d.label + "\": ";
    if (!vertex) {
        setError(error, pipeline + "no vertex function");
        return nullptr;
    }
    if (vertex->functionType() != FunctionType::Vertex) {
        setError(error, pipeline + "\"" + vertex->name() + "\" is not a vertex function");
        return nullptr;
    }
    if (!fragment) {
        setError(error, pipeline + "no fragment function");
        return nullptr;
    }
    if (fragment->functionType() != FunctionType::Fragment) {
        setError(error, pipeline + "\"" + fragment->name() + "\" is not a fragment function");
        return nullptr;
    }
    const PixelFormat format = d.colorAttachments[0].pixelFormat;
    if (format != PixelFormat::BGRA8Unorm && format != PixelFormat::RGBA8Unorm) {
        setError(error, pipeline + "colour attachment 0 format " + pixelFormatName(format) +
                            " is not renderable");
        return nullptr;
    }
    if (d.rasterSampleCount != 1) {
        setError(error, pipeline + "only a sample count of 1 is supported");
        return nullptr;
    }
    std::shared_ptr<const GlProgram> linked;
    std::string why;
    context_->run([&] { linked = program(*vertex, *fragment, &why); });
    if (!linked) {
        hxLog("GPU: %s%s", pipeline.c_str(), why.c_str());
        setError(error, pipeline + why);
        return nullptr;
    }
    return std::make_shared<GlRenderPipelineState>(d.label, std::move(linked), format);
}

TextureRef GlDevice::newTextureWithDescriptor(const TextureDescriptor& descriptor) {
    return GlTexture::make(context_, descriptor);
}

BufferRef GlDevice::newBufferWithBytes(const void* bytes, size_t length, ResourceOptions) {
    if (!bytes || length == 0) return nullptr;
    try {
        return std::make_shared<GlBuffer>(context_, bytes, length);
    } catch (const std::bad_alloc&) {
        hxLog("GPU: out of memory for a buffer of %zu bytes", length);
        return nullptr;
    }
}

TextureRef GlDevice::newTextureOverPixelBuffer(std::shared_ptr<PixelBuffer> buffer,
                                               PixelFormat format, size_t width, size_t height,
                                               size_t plane) {
    if (plane != 0) return nullptr;
    return GlTexture::overPixelBuffer(context_, std::move(buffer), format, width, height);
}

}  // namespace hx::gpu::gl

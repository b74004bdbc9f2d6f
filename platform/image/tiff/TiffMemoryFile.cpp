#include "platform/image/tiff/TiffMemoryFile.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace hx::image::tiff {
namespace {

// No single allocation libtiff makes for a legitimate file comes near this; a crafted file that
// claims gigabyte strips is refused instead of exhausting memory.
constexpr tmsize_t kMaxSingleAllocation = tmsize_t{1} << 30;

TiffMemoryFile::Stream* streamOf(thandle_t handle) {
    return static_cast<TiffMemoryFile::Stream*>(handle);
}

size_t streamSize(const TiffMemoryFile::Stream& stream) {
    return stream.output != nullptr ? stream.output->size() : stream.inputSize;
}

const uint8_t* streamBytes(const TiffMemoryFile::Stream& stream) {
    return stream.output != nullptr ? stream.output->data() : stream.input;
}

tmsize_t readBytes(thandle_t handle, void* buffer, tmsize_t count) {
    TiffMemoryFile::Stream& stream = *streamOf(handle);
    const size_t size = streamSize(stream);
    if (count <= 0 || stream.position >= size) return 0;
    const size_t available = size - static_cast<size_t>(stream.position);
    const size_t length = std::min(available, static_cast<size_t>(count));
    std::memcpy(buffer, streamBytes(stream) + stream.position, length);
    stream.position += length;
    return static_cast<tmsize_t>(length);
}

tmsize_t writeBytes(thandle_t handle, void* buffer, tmsize_t count) {
    TiffMemoryFile::Stream& stream = *streamOf(handle);
    if (stream.output == nullptr || count < 0) return -1;
    std::vector<uint8_t>& output = *stream.output;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    const size_t length = static_cast<size_t>(count);
    try {
        if (stream.position > output.size()) output.resize(stream.position);
        const size_t position = static_cast<size_t>(stream.position);
        const size_t overwritten = std::min(length, output.size() - position);
        std::memcpy(output.data() + position, bytes, overwritten);
        output.insert(output.end(), bytes + overwritten, bytes + length);
    } catch (...) {
        return -1;
    }
    stream.position += length;
    return count;
}

toff_t seekTo(thandle_t handle, toff_t offset, int whence) {
    TiffMemoryFile::Stream& stream = *streamOf(handle);
    int64_t base = 0;
    if (whence == SEEK_CUR) base = static_cast<int64_t>(stream.position);
    if (whence == SEEK_END) base = static_cast<int64_t>(streamSize(stream));
    const int64_t target = base + static_cast<int64_t>(offset);
    if (target < 0 || target > (int64_t{1} << 40)) return static_cast<toff_t>(-1);
    stream.position = static_cast<uint64_t>(target);
    return stream.position;
}

int closeNothing(thandle_t) {
    return 0;
}

toff_t sizeOf(thandle_t handle) {
    return streamSize(*streamOf(handle));
}

// Letting libtiff read a file's strips in place spares it copying them. It never writes to a
// mapped file.
int mapInput(thandle_t handle, void** base, toff_t* size) {
    const TiffMemoryFile::Stream& stream = *streamOf(handle);
    if (stream.input == nullptr) return 0;
    *base = const_cast<uint8_t*>(stream.input);
    *size = stream.inputSize;
    return 1;
}

void unmapNothing(thandle_t, void*, toff_t) {}

int handleError(TIFF*, void* userData, const char* module, const char* format, va_list arguments) {
    static_cast<TiffMemoryFile*>(userData)->recordError(module, format, arguments);
    return 1;
}

int ignoreWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

TIFF* openClient(const char* mode, TiffMemoryFile::Stream* stream, TiffMemoryFile* owner) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, handleError, owner);
    TIFFOpenOptionsSetWarningHandlerExtR(options, ignoreWarning, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxSingleAllocation);
    TIFF* tiff = TIFFClientOpenExt("memory", mode, stream, readBytes, writeBytes, seekTo,
                                   closeNothing, sizeOf, mapInput, unmapNothing, options);
    TIFFOpenOptionsFree(options);
    return tiff;
}

}  // namespace

TiffMemoryFile::TiffMemoryFile(const uint8_t* data, size_t size) {
    stream_.input = data;
    stream_.inputSize = data != nullptr ? size : 0;
    tiff_ = openClient("r", &stream_, this);
}

TiffMemoryFile::TiffMemoryFile(std::vector<uint8_t>& output) {
    output.clear();
    stream_.output = &output;
    tiff_ = openClient("w", &stream_, this);
}

TiffMemoryFile::~TiffMemoryFile() {
    close();
}

bool TiffMemoryFile::close() {
    if (tiff_ != nullptr) {
        TIFFClose(tiff_);
        tiff_ = nullptr;
    }
    return errorCount_ == 0;
}

void TiffMemoryFile::recordError(const char* module, const char* format, va_list arguments) {
    if (errorCount_++ > 0) return;  // later errors are usually consequences of the first
    size_t used = 0;
    if (module != nullptr && module[0] != '\0') {
        const int written = std::snprintf(firstError_, sizeof firstError_, "%s: ", module);
        used = std::min(sizeof firstError_ / 2, size_t(std::max(written, 0)));
    }
    std::vsnprintf(firstError_ + used, sizeof firstError_ - used, format, arguments);
}

std::string TiffMemoryFile::errorText(const char* fallback) const {
    return errorCount_ > 0 ? std::string(firstError_) : std::string(fallback);
}

}  // namespace hx::image::tiff

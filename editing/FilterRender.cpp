#include "editing/FilterRender.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <vector>

#include "editing/FilterRows.h"
#include "platform/image/PixelConversion.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/vimage/vImage.h"

namespace hx::editing {

namespace {

using namespace hx::vimage;

// A picture being worked on: tightly packed rows in memory of its own, uninitialised until
// written.
struct Plane {
    image::PixelMemory memory;
    vImage_Buffer buffer{};
    size_t bytesPerPixel = 0;

    static Plane make(size_t width, size_t height, size_t bytesPerPixel) {
        Plane plane;
        plane.memory = image::PixelMemory::allocate(width * height * bytesPerPixel);
        plane.buffer = {plane.memory.data(), height, width, width * bytesPerPixel};
        plane.bytesPerPixel = bytesPerPixel;
        return plane;
    }
    explicit operator bool() const { return bool(memory); }
    uint8_t* row(size_t y) const {
        return static_cast<uint8_t*>(buffer.data) + y * buffer.rowBytes;
    }
};

bool fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

bool check(vImage_Error result, const char* operation, std::string* error) {
    if (result == kvImageNoError) return true;
    return fail(error, std::string(operation) + ": " + vImageErrorDescription(result));
}

// Runs body(y) for every row, in bands on the global pool.
void forEachRow(size_t rows, const std::function<void(size_t)>& body) {
    const size_t bands = std::max<size_t>(1, std::min<size_t>(rows / 64, 8));
    DispatchQueue::concurrentPerform(bands, [&](size_t band) {
        for (size_t y = rows * band / bands; y < rows * (band + 1) / bands; ++y) body(y);
    });
}

// Row 0: the source's pixels in a plane of our own: grey stays grey, colour becomes BGRA.
Plane copySource(const image::Image& source, bool grey) {
    const size_t w = size_t(source.width()), h = size_t(source.height());
    Plane plane = Plane::make(w, h, grey ? 1 : 4);
    if (!plane) return plane;
    forEachRow(h, [&](size_t y) {
        const uint8_t* in = source.row(int(y));
        if (grey) {
            std::memcpy(plane.row(y), in, w);
        } else {
            image::convertPixels(source.pixelFormat(), in, image::PixelFormat::BGRA8, plane.row(y),
                                 w);
        }
    });
    return plane;
}

const uint8_t* opaqueTable() {
    static const std::array<uint8_t, 256> table = [] {
        std::array<uint8_t, 256> t;
        t.fill(255);
        return t;
    }();
    return table.data();
}

// Rows at a time of a colour source put in BGRA order before the mix: small enough to stay in
// the cache between the conversion and the matrix.
constexpr size_t kChunkRows = 16;

vImage_Buffer sourceRows(const image::Image& source, size_t first, size_t count) {
    return {const_cast<uint8_t*>(source.row(int(first))), count, size_t(source.width()),
            source.bytesPerRow()};
}

// Step 3: the source through the film's mix and tone table, as one grey plane.
//
// A colour source is put in BGRA memory order (so that the mix's channel 0 is blue) a few rows
// at a time and multiplied by the film's matrix. The matrix gives the three colour outputs the
// same weights, and the lookup then sets channel 3 to 255 whatever it held, so the
// four-channel sequence would carry one grey value in three bytes: one grey plane holds the same
// bytes at a quarter of the work. A grey source goes through the tone table alone.
Plane filmGrey(const image::Image& source, bool grey, const FilterRow& film, std::string* error) {
    const size_t w = size_t(source.width()), h = size_t(source.height());
    Plane plane = Plane::make(w, h, 1);
    if (!plane) {
        fail(error, "out of memory for the grey picture");
        return plane;
    }
    const uint8_t* tone = film.toneTable->data();
    if (grey) {
        const vImage_Buffer in = sourceRows(source, 0, h);
        if (!check(vImageTableLookUp_Planar8(&in, &plane.buffer, tone, kvImageNoFlags),
                   "table lookup", error))
            plane = Plane();
        return plane;
    }
    const int16_t column[4] = {film.weights[0], film.weights[1], film.weights[2], 0};
    const bool bgra = source.pixelFormat() == image::PixelFormat::BGRA8;
    const size_t chunks = (h + kChunkRows - 1) / kChunkRows;
    const size_t bands = std::max<size_t>(1, std::min<size_t>(chunks, 8));
    std::atomic<vImage_Error> failure{kvImageNoError};
    DispatchQueue::concurrentPerform(bands, [&](size_t band) {
        std::vector<uint8_t> scratch(bgra ? 0 : w * 4 * kChunkRows);
        for (size_t chunk = chunks * band / bands; chunk < chunks * (band + 1) / bands; ++chunk) {
            const size_t first = chunk * kChunkRows, count = std::min(kChunkRows, h - first);
            vImage_Buffer in = sourceRows(source, first, count);
            if (!bgra) {
                for (size_t y = 0; y < count; ++y)
                    image::convertPixels(source.pixelFormat(), source.row(int(first + y)),
                                         image::PixelFormat::BGRA8, scratch.data() + y * w * 4, w);
                in = {scratch.data(), count, w, w * 4};
            }
            vImage_Buffer out = {plane.row(first), count, w, w};
            vImage_Error e = vImageMatrixMultiply_ARGB8888ToPlanar8(&in, &out, column, kMixDivisor,
                                                                    nullptr, 0, kvImageDoNotTile);
            if (e == kvImageNoError)
                e = vImageTableLookUp_Planar8(&out, &out, tone, kvImageDoNotTile);
            if (e != kvImageNoError) failure = e;
        }
    });
    if (!check(failure, "grey mix", error)) plane = Plane();
    return plane;
}

// Step 4: the film's kernel on the grey plane, if it has one.
bool applyKernel(Plane& plane, const FilterRow& film, bool preview, std::string* error) {
    vImage_Buffer* b = &plane.buffer;
    const int16_t* kernel = nullptr;
    uint32_t side = 0;
    int32_t divisor = 1;
    if (film.sharpen) {
        kernel = kSharpenKernel.data(), side = 5, divisor = kSharpenDivisor;
    } else if (film.soften && preview) {
        kernel = kPreviewSoftenKernel.data(), side = 5, divisor = kPreviewSoftenDivisor;
    } else if (film.soften) {
        kernel = kSoftenKernel.data(), side = 9, divisor = kSoftenDivisor;
    }
    if (!kernel) return true;
    Plane out = Plane::make(b->width, b->height, 1);
    if (!out) return fail(error, "out of memory for the convolution");
    if (!check(vImageConvolve_Planar8(b, &out.buffer, nullptr, 0, 0, kernel, side, side, divisor, 0,
                                      kvImageEdgeExtend),
               "convolution", error))
        return false;
    plane = std::move(out);
    return true;
}

vImage_Error rotate(const Plane& from, const Plane& to, uint8_t quarterTurns) {
    return from.bytesPerPixel == 1
               ? vImageRotate90_Planar8(&from.buffer, &to.buffer, quarterTurns, 0, kvImageNoFlags)
               : vImageRotate90_ARGB8888(&from.buffer, &to.buffer, quarterTurns, nullptr,
                                         kvImageNoFlags);
}

vImage_Error reflect(const Plane& from, const Plane& to, bool leftRight) {
    if (from.bytesPerPixel == 1)
        return leftRight ? vImageHorizontalReflect_Planar8(&from.buffer, &to.buffer, 0)
                         : vImageVerticalReflect_Planar8(&from.buffer, &to.buffer, 0);
    return leftRight ? vImageHorizontalReflect_ARGB8888(&from.buffer, &to.buffer, 0)
                     : vImageVerticalReflect_ARGB8888(&from.buffer, &to.buffer, 0);
}

// Step 5: the plane turned upright for `orientation`.
bool turnUpright(Plane& plane, int32_t orientation, std::string* error) {
    if (orientation < 2 || orientation > 8) return true;
    const size_t w = plane.buffer.width, h = plane.buffer.height, n = plane.bytesPerPixel;
    const bool swap = orientation >= 5;
    Plane out = Plane::make(swap ? h : w, swap ? w : h, n);
    if (!out) return fail(error, "out of memory for turning the picture upright");
    // Orientations 5 and 7 reflect left-right first, into a plane of the source's size.
    if (orientation == 5 || orientation == 7) {
        Plane reflected = Plane::make(w, h, n);
        if (!reflected) return fail(error, "out of memory for turning the picture upright");
        if (!check(reflect(plane, reflected, true), "reflection", error)) return false;
        plane = std::move(reflected);
    }
    vImage_Error result = kvImageNoError;
    switch (orientation) {
        case 2:
            result = reflect(plane, out, true);
            break;
        case 3:
            result = rotate(plane, out, kRotate180DegreesClockwise);
            break;
        // Left-right reflection then a half turn is the top-bottom reflection, done in one pass.
        case 4:
            result = reflect(plane, out, false);
            break;
        case 5:
            result = rotate(plane, out, kRotate90DegreesCounterClockwise);
            break;
        case 6:
            result = rotate(plane, out, kRotate90DegreesClockwise);
            break;
        case 7:
            result = rotate(plane, out, kRotate90DegreesClockwise);
            break;
        default:
            result = rotate(plane, out, kRotate90DegreesCounterClockwise);
            break;
    }
    if (!check(result, "rotation", error)) return false;
    plane = std::move(out);
    return true;
}

// Step 6: a grey plane spread to four bytes per pixel, the grey in the three colour bytes.
Plane expandGrey(const Plane& grey) {
    const size_t w = grey.buffer.width, h = grey.buffer.height;
    Plane out = Plane::make(w, h, 4);
    if (!out) return out;
    forEachRow(h, [&](size_t y) {
        const uint8_t* in = grey.row(y);
        uint8_t* o = out.row(y);
        for (size_t x = 0; x < w; ++x) {
            const uint32_t g = in[x];
            const uint32_t pixel = g | g << 8 | g << 16 | 0xFF000000u;
            std::memcpy(o + 4 * x, &pixel, 4);
        }
    });
    return out;
}

}  // namespace

image::ImageRef renderFilter(const image::Image& source, int32_t row, bool preview,
                             int32_t orientation, std::string* error) {
    // The picture's real pixel format says whether it is grey, not the length of its rows.
    const bool grey = source.pixelFormat() == image::PixelFormat::Grey8;
    Plane plane;
    if (row >= 1 && row < kFilterRowCount) {
        const FilterRow film = filterRow(row);
        plane = filmGrey(source, grey, film, error);
        if (!plane || !applyKernel(plane, film, preview, error)) return nullptr;
    } else {
        plane = copySource(source, grey);
        if (!plane) return fail(error, "out of memory for a copy of the picture"), nullptr;
    }
    if (!turnUpright(plane, orientation, error)) return nullptr;
    if (plane.bytesPerPixel == 1) {
        plane = expandGrey(plane);
        if (!plane) return fail(error, "out of memory for the result"), nullptr;
    } else if (source.hasAlpha()) {
        // The fourth byte is not part of the picture: a source's alpha must not make it
        // translucent.
        vImage_Buffer* b = &plane.buffer;
        if (!check(vImageTableLookUp_ARGB8888(b, b, nullptr, nullptr, nullptr, opaqueTable(),
                                              kvImageNoFlags),
                   "table lookup", error))
            return nullptr;
    }
    const size_t w = plane.buffer.width, h = plane.buffer.height;
    auto result = image::Image::adopt(image::PixelFormat::BGRA8, int(w), int(h),
                                      std::move(plane.memory), w * 4);
    if (!result) fail(error, "the result could not be made into an image");
    return result;
}

}  // namespace hx::editing

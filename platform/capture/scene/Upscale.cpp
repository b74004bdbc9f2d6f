#include "platform/capture/scene/Upscale.h"

#include <algorithm>

#include "platform/image/Resample.h"
#include "platform/runloop/DispatchQueue.h"

namespace hx::capture::scene {

namespace {

constexpr size_t kRowsPerBand = 16;

}  // namespace

void upscale(const gpu::PixelBuffer& source, gpu::PixelBuffer& target) {
    const size_t height = target.height();
    const image::Resampler resampler(int(source.width()), int(source.height()), int(target.width()),
                                     int(height), 4);
    const size_t bands = (height + kRowsPerBand - 1) / kRowsPerBand;
    DispatchQueue::concurrentPerform(bands, [&](size_t band) {
        const size_t end = std::min(height, (band + 1) * kRowsPerBand);
        resampler.run(source.baseAddress(), source.bytesPerRow(), target.baseAddress(),
                      target.bytesPerRow(), int(band * kRowsPerBand), int(end));
    });
}

}  // namespace hx::capture::scene

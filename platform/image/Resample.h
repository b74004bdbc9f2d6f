#pragma once

// The one resampler for pictures of 8-bit interleaved samples: thumbnails of every format and the
// simulated camera's enlargement of defocused frames all come out of it, so a picture shrunk to
// the same size is the same whichever file it came from.
//
// Each axis is resampled on its own. Shrinking makes each new pixel the exact average of the
// area it covers; enlarging interpolates linearly between pixel centres, edges held. Weights are
// fixed point and sum to exactly one, so a constant picture stays exactly constant.
//
// Threads: a Resampler never changes once made; any number of threads may run it at once, each
// on its own rows of the target.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/image/Image.h"

namespace hx::image {

class Resampler {
  public:
    // Resampling from sourceWidth × sourceHeight to targetWidth × targetHeight, each at least 1,
    // with `components` (1 to 4) bytes per pixel. Throws std::bad_alloc when memory runs out.
    Resampler(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight, int components);

    // Writes target rows [firstRow, endRow). Rows are `sourceRowBytes` and `targetRowBytes`
    // apart. Throws std::bad_alloc when memory runs out.
    void run(const uint8_t* source, size_t sourceRowBytes, uint8_t* target, size_t targetRowBytes,
             int firstRow, int endRow) const;
    void run(const uint8_t* source, size_t sourceRowBytes, uint8_t* target,
             size_t targetRowBytes) const {
        run(source, sourceRowBytes, target, targetRowBytes, 0, targetHeight_);
    }

    // For each target pixel along one axis: the first source pixel it reads and the weights of
    // the source pixels from there on, in 2.14 fixed point summing to exactly 1 << 14.
    struct AxisWeights {
        std::vector<int> first;
        std::vector<size_t> offset;  // into weights; one more entry than target pixels
        std::vector<uint16_t> weights;
    };
    static constexpr int kWeightBits = 14;
    static AxisWeights axisWeights(int source, int target);

  private:
    int sourceWidth_, sourceHeight_, targetWidth_, targetHeight_, components_;
    AxisWeights columns_, rows_;
};

// `image` resampled to width × height. Grey8, RGB8 and BGRA8 keep their format; RGBA8 becomes
// premultiplied BGRA8 first, so that transparent pixels lend no colour to their neighbours.
// `image` itself when it already has that size. Null, with a message in `error`, for a bad size
// or when memory runs out.
ImageRef resampleImage(const ImageRef& image, int width, int height, std::string* error);

// A decoded picture shrunk to exactly fitWithin(originalWidth, originalHeight, maxPixelSize):
// decoders that already decoded at a reduced size pass the size of the stored picture.
ImageRef scaleToFit(const ImageRef& image, int originalWidth, int originalHeight, int maxPixelSize,
                    std::string* error);

}  // namespace hx::image

#pragma once
// The editing extension's films: grid row 0 is no film, rows 1 to 9 are the monochrome films
// 0 to 8. Tone tables and whether a film sharpens or softens come from the camera's film table;
// the grey mix is the extension's own, an integer matrix in 8.8 fixed point over the four bytes
// of a BGRA pixel in memory order (channel 0 is blue).

#include <array>
#include <cstdint>

#include "core/film/ToneTables.h"

namespace hx::editing {

constexpr int32_t kFilterRowCount = 10;

struct FilterRow {
    const film::ToneTable* toneTable;
    // Weights of channels 0, 1 and 2 (blue, green, red), divided by kMixDivisor.
    std::array<int16_t, 3> weights;
    bool sharpen;
    bool soften;
};

constexpr int32_t kMixDivisor = 256;

// The row's film; `row` must be 1 to 9.
FilterRow filterRow(int32_t row);

// 5 x 5 sharpen (divisor 1): a 3 x 3 Laplacian sharpen inside a 5 x 5 frame.
extern const std::array<int16_t, 25> kSharpenKernel;
constexpr int32_t kSharpenDivisor = 1;
// 5 x 5 softening of the preview. Its divisor is not the kernel's sum (672), and meant so.
extern const std::array<int16_t, 25> kPreviewSoftenKernel;
constexpr int32_t kPreviewSoftenDivisor = 674;
// 9 x 9 softening of the full-size render. Its divisor is not the kernel's sum (142853).
extern const std::array<int16_t, 81> kSoftenKernel;
constexpr int32_t kSoftenDivisor = 142857;

}  // namespace hx::editing

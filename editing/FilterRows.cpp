#include "editing/FilterRows.h"

#include "core/film/FilmTable.h"

namespace hx::editing {

namespace {

// Rows 1 to 9; the weights of blue, green and red, in that order.
constexpr std::array<std::array<int16_t, 3>, 9> kWeights = {{
    {20, 155, 78},
    {20, 155, 78},
    {-55, 129, 180},
    {-55, 104, 206},
    {-234, 410, 180},
    {20, 155, 78},
    {-55, 129, 180},
    {20, 155, 78},
    {20, 155, 78},
}};

constexpr std::array<int16_t, 81> softenKernel() {
    constexpr int16_t rows[5][9] = {{0, 0, 1, 5, 8, 5, 1, 0, 0},
                                    {0, 3, 34, 153, 253, 153, 34, 3, 0},
                                    {1, 34, 416, 1866, 3077, 1866, 416, 34, 1},
                                    {5, 153, 1866, 8364, 13790, 8364, 1866, 153, 5},
                                    {8, 253, 3077, 13790, 22737, 13790, 3077, 253, 8}};
    std::array<int16_t, 81> k{};
    // Rows 6 to 9 mirror rows 4 to 1.
    for (int j = 0; j < 9; ++j)
        for (int i = 0; i < 9; ++i) k[size_t(j * 9 + i)] = rows[j < 5 ? j : 8 - j][i];
    return k;
}

}  // namespace

const std::array<int16_t, 25> kSharpenKernel = {
    0, 0,  0,  0,  0,  //
    0, 0,  -1, 0,  0,  //
    0, -1, 5,  -1, 0,  //
    0, 0,  -1, 0,  0,  //
    0, 0,  0,  0,  0,
};

const std::array<int16_t, 25> kPreviewSoftenKernel = {
    2,  9,  15,  9,  2,   //
    9,  40, 66,  40, 9,   //
    15, 66, 108, 66, 15,  //
    9,  40, 66,  40, 9,   //
    2,  9,  15,  9,  2,
};

const std::array<int16_t, 81> kSoftenKernel = softenKernel();

FilterRow filterRow(int32_t row) {
    const film::FilmParameters& film = film::filmParameters(row - 1);
    return {film.toneTable, kWeights[size_t(row - 1)], film.sharpen, film.soften};
}

}  // namespace hx::editing

#pragma once
// Reading and adding the item properties of a HEIF file's primary image straight from its boxes
// (ISO base media file format: 'meta' > 'pitm', 'iloc', 'iprp' > 'ipco', 'ipma'). libheif's
// interface neither reports the transform properties nor writes them faithfully, so these few
// boxes are handled here. Every read is bounds-checked; malformed files give an error, never a
// read outside the buffer.
//
// Threads: plain functions without shared state.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/image/heic/HeifOrientation.h"

namespace hx::image::heif {

struct PrimaryItemProperties {
    uint32_t itemId = 0;
    // The 'ispe' size: the picture as coded, before any transform (though libheif 1.15 writes the
    // turned size when it adds the transforms itself).
    std::optional<uint32_t> width, height;
    // A 'clap' crop is listed.
    bool hasCleanAperture = false;
    // 'irot' and 'imir' in the order they are to be applied.
    std::vector<TransformStep> transforms;
};

std::optional<PrimaryItemProperties> readPrimaryItemProperties(const uint8_t* file, size_t size,
                                                               std::string* error);

// Appends 'irot' / 'imir' properties for `steps` to the file's property container, associates
// them with the primary item (marked essential, after its other properties), and moves every
// item location that lies behind the grown 'meta' box. The file is unchanged on failure.
bool addTransformProperties(std::vector<uint8_t>& file, const std::vector<TransformStep>& steps,
                            std::string* error);

}  // namespace hx::image::heif

#pragma once
// Encodes a rendered photo with its metadata into the bytes the library stores. No photo is lost
// to an encoder: HEIC without an HEVC encoder on this machine is written as JPEG, and any
// encode that fails is tried again as JPEG.
//
// Threads: any thread; the encoder probe runs once per process.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/capture/PhotoMetadata.h"
#include "platform/image/Image.h"
#include "platform/image/PropertyDictionary.h"

namespace hx::app {

inline constexpr double kPhotoQuality = 0.9;

struct EncodedPhoto {
    std::shared_ptr<const std::vector<uint8_t>> bytes;  // null when nothing could be encoded
    PhotoFormat format = PhotoFormat::JPEG;             // what the bytes are
};

// Whether an HEVC encoder is installed: probed by encoding a tiny picture the first time it is
// asked, then kept.
bool hevcEncoderAvailable();
// Replaces the probe's answer (nothing: probe again as usual).
void overrideHevcEncoderProbe(std::optional<bool> available);

// The picture in `wanted` with `metadata`, or in JPEG when that cannot be had. The bytes are
// never empty: null when not even JPEG could be written.
EncodedPhoto encodePhoto(const image::ImageRef& picture, const image::PropertyDictionary& metadata,
                         PhotoFormat wanted);

// Called with every photo encodePhoto() returns, on its thread; for tests that look at what the
// camera would store. An empty function removes it.
void setEncodedPhotoObserver(std::function<void(const EncodedPhoto&)> observer);

}  // namespace hx::app

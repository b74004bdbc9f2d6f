#pragma once
// How an image request is served, and what comes back with the picture.

#include <cstdint>
#include <optional>

#include "platform/photos/library/PhotosError.h"

namespace hx::photos {

// Every mode delivers one picture of the quality asked for: decoding at the target size is fast
// enough that no quick, degraded picture is sent first.
enum class ImageRequestOptionsDeliveryMode : int {
    Opportunistic = 0,
    HighQualityFormat = 1,
    FastFormat = 2,
};

// Pictures are always shrunk to exactly fit in (or cover) the target; none of these modes
// delivers one larger than asked for.
enum class ImageRequestOptionsResizeMode : int { None = 0, Fast = 1, Exact = 2 };

enum class ImageRequestOptionsVersion : int {
    Current = 0,     // the edit, when the asset has one
    Unadjusted = 1,  // the original
    Original = 2,
};

struct ImageRequestOptions {
    ImageRequestOptionsDeliveryMode deliveryMode = ImageRequestOptionsDeliveryMode::Opportunistic;
    ImageRequestOptionsResizeMode resizeMode = ImageRequestOptionsResizeMode::Fast;
    ImageRequestOptionsVersion version = ImageRequestOptionsVersion::Current;
    // The handler runs inside the request call, on the caller's thread.
    bool synchronous = false;
    // Every picture is local; kept for callers that set it.
    bool networkAccessAllowed = false;
    // The picture is kept in the manager's memory cache for the next request of the same size.
    // Off for pictures asked for once (a new photo's thumbnail shown on a button), so that they
    // do not push out the pictures a grid will ask for again.
    bool keepsResultInCache = true;
};

using ImageRequestID = int32_t;
inline constexpr ImageRequestID PHInvalidImageRequestID = 0;

struct ImageResultInfo {
    ImageRequestID requestID = PHInvalidImageRequestID;
    bool isDegraded = false;
    bool isCancelled = false;
    bool isInCloud = false;
    // Exif orientation (1 to 8) of the delivered picture, whose pixels are as stored: display
    // it turned this way.
    int orientation = 1;
    // Why there is no picture.
    std::optional<PhotosError> error;
};

}  // namespace hx::photos

#pragma once
// Small pictures of a library's photos kept on disk, so that a grid of thumbnails never decodes
// whole photos, not even the first time it opens after a start: one JPEG of at most
// kThumbnailLongSide pixels a side per asset version (enough for a 76-point cell filled at
// scale 3 by a 3:2 photo), pixels as stored (display them with the
// version's orientation). They live in the cache folder (<cache>/halidex/thumbnails/, a folder
// per library), named after the asset, its revision and whether it is the edit, so an edited or
// reverted photo gets a new one and a stale file is never read for it. A file that is missing or
// cannot be read is made again from the photo; losing the folder loses nothing else.
//
// Threads: every function may be called from any thread; files are written atomically, so
// readers see a whole thumbnail or none.

#include <string>

#include "platform/image/Image.h"
#include "platform/photos/store/StoreRecords.h"

namespace hx::photos {

inline constexpr int kThumbnailLongSide = 384;

// Where the thumbnail of the asset's version (the edit when `rendered`) is kept for the library
// in `libraryFolder`.
std::string thumbnailPath(const std::string& libraryFolder, const AssetRecord& asset,
                          bool rendered);

// The stored thumbnail; null when there is none or it cannot be read.
image::ImageRef readThumbnail(const std::string& path);

// Makes the thumbnail from the photo's file and stores it; the picture made, or null when the
// photo cannot be read. A failed write is logged and still returns the picture.
image::ImageRef makeThumbnail(const std::string& photoPath, const std::string& path);

}  // namespace hx::photos

#pragma once
// The readable names new originals get in the camera folder, for a save and for a move alike.
//
// Threads: any thread.

#include <functional>
#include <string>

namespace hx::photos {

// The name an imported file keeps when it is a plain file name; empty otherwise.
std::string keptName(const std::string& originalFilename);

// The n-th name to try for a new original: the imported file's own name, then numbered
// ("IMG_1.jpg", "IMG_2.jpg"); or HLDX_YYYYMMDD_HHMMSS_NNN.ext from the capture date (local time).
// `extension` comes without its dot; an empty one adds none.
std::function<std::string(int)> originalNamesFor(const std::string& kept, double date,
                                                 const std::string& extension);

}  // namespace hx::photos

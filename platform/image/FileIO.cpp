#include "platform/image/FileIO.h"

#include "platform/paths/FileAccess.h"

namespace hx::image {

bool readFileContents(const std::string& path, std::vector<uint8_t>& contents, std::string* error,
                      size_t maxBytes) {
    paths::ReadFailure failure;
    if (paths::readWholeFile(path, contents, &failure, maxBytes)) return true;
    if (error) *error = std::move(failure.message);
    return false;
}

bool writeFileAtomically(const std::string& path, const uint8_t* bytes, size_t size,
                         std::string* error) {
    return paths::writeFileAtomically(path, bytes, size, error);
}

}  // namespace hx::image

#pragma once
// The errors the photo library reports to completions and result handlers.

#include <string>

namespace hx::photos {

enum class PhotosErrorCode : int {
    Internal = -1,           // the disk or the database failed
    InvalidResource = 3303,  // data that is not a picture the library stores, a missing file
    IdentifierNotFound = 3201,
    AccessRestricted = 3310,
    AccessUserDenied = 3311,
    NotInChangeBlock = 3300,  // a change request made outside performChanges
    LibraryUnavailable = 3114,
};

struct PhotosError {
    PhotosErrorCode code = PhotosErrorCode::Internal;
    std::string localizedDescription;

    // "<description> (code N)", for log lines.
    std::string description() const {
        return localizedDescription + " (code " + std::to_string(int(code)) + ")";
    }
};

}  // namespace hx::photos

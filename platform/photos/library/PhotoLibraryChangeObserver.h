#pragma once

namespace hx::photos {

class Change;

// Told about every change committed to the library, by this process or another: one call per
// committed change transaction, on the library's queue (PhotoLibrary::registerChangeObserver).
class PhotoLibraryChangeObserver {
  public:
    virtual ~PhotoLibraryChangeObserver() = default;
    virtual void photoLibraryDidChange(const Change& change) = 0;
};

}  // namespace hx::photos

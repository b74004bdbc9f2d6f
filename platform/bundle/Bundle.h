#pragma once
// The program's resources (images, lookup images, interface files, strings), found by name.

#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/image/Image.h"

namespace hx {

// Thread-safe. Resources are looked up by file name anywhere below the resource folder:
// $HALIDEX_RESOURCES if set, else the installed share/halidex/resources next to the program,
// else the source tree's resources/ folder.
class Bundle {
  public:
    static Bundle& main();
    explicit Bundle(std::string resourceDirectory);

    const std::string& resourcePath() const { return root_; }
    // Full path of the resource, or nothing when no file of that name exists.
    std::optional<std::string> pathForResource(const std::string& name) const;
    // The decoded image, cached after the first request; null when missing or unreadable.
    image::ImageRef imageNamed(const std::string& name);

  private:
    void indexFiles() const;

    std::string root_;
    mutable std::mutex mutex_;
    mutable bool indexed_ = false;
    mutable std::map<std::string, std::string> files_;
    std::map<std::string, image::ImageRef> images_;
};

}  // namespace hx

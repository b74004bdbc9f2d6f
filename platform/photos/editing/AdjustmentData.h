#pragma once
// What an editor records about an edit so that it can be reopened: who made it (a format
// identifier, usually the editor's reverse-DNS name, and a version) and bytes only that editor
// understands. The library stores it with the rendered picture.
//
// Threads: immutable.

#include <cstdint>
#include <string>
#include <vector>

namespace hx::photos {

class AdjustmentData {
  public:
    AdjustmentData(std::string formatIdentifier, std::string formatVersion,
                   std::vector<uint8_t> data)
        : formatIdentifier_(std::move(formatIdentifier)),
          formatVersion_(std::move(formatVersion)),
          data_(std::move(data)) {}

    const std::string& formatIdentifier() const { return formatIdentifier_; }
    const std::string& formatVersion() const { return formatVersion_; }
    const std::vector<uint8_t>& data() const { return data_; }

  private:
    std::string formatIdentifier_;
    std::string formatVersion_;
    std::vector<uint8_t> data_;
};

}  // namespace hx::photos

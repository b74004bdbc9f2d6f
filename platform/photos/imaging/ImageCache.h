#pragma once
// Decoded pictures kept in memory, least recently used first out once their bytes pass a
// budget. A picture larger than a quarter of the budget is not kept at all, so one full-size
// request cannot flush every thumbnail.
//
// Threads: every member may be called from any thread.

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/image/Image.h"

namespace hx::photos {

class ImageCache {
  public:
    explicit ImageCache(size_t byteBudget) : budget_(byteBudget) {}
    ImageCache(const ImageCache&) = delete;
    ImageCache& operator=(const ImageCache&) = delete;

    // Null when absent; counts a hit or a miss.
    image::ImageRef find(const std::string& key);
    void insert(const std::string& key, image::ImageRef image);
    void remove(const std::string& key);
    // Every entry whose key starts with `prefix`.
    void removeWithPrefix(const std::string& prefix);
    void removeAll();

    struct Statistics {
        uint64_t hits = 0;
        uint64_t misses = 0;
        size_t entries = 0;
        size_t bytes = 0;
    };
    Statistics statistics() const;

  private:
    using Entry = std::pair<std::string, image::ImageRef>;
    void eraseLocked(std::list<Entry>::iterator entry);

    mutable std::mutex mutex_;
    size_t budget_;
    size_t bytes_ = 0;
    uint64_t hits_ = 0;
    uint64_t misses_ = 0;
    std::list<Entry> entries_;  // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> byKey_;
};

}  // namespace hx::photos

#include "platform/photos/imaging/ImageCache.h"

namespace hx::photos {
namespace {

size_t bytesOf(const image::Image& image) {
    return image.bytesPerRow() * size_t(image.height());
}

}  // namespace

image::ImageRef ImageCache::find(const std::string& key) {
    std::lock_guard lock(mutex_);
    auto found = byKey_.find(key);
    if (found == byKey_.end()) {
        ++misses_;
        return nullptr;
    }
    ++hits_;
    entries_.splice(entries_.begin(), entries_, found->second);
    return found->second->second;
}

void ImageCache::insert(const std::string& key, image::ImageRef image) {
    if (!image) return;
    size_t size = bytesOf(*image);
    std::lock_guard lock(mutex_);
    if (auto found = byKey_.find(key); found != byKey_.end()) eraseLocked(found->second);
    if (size > budget_ / 4) return;
    entries_.emplace_front(key, std::move(image));
    byKey_[key] = entries_.begin();
    bytes_ += size;
    while (bytes_ > budget_ && !entries_.empty()) eraseLocked(std::prev(entries_.end()));
}

void ImageCache::remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    if (auto found = byKey_.find(key); found != byKey_.end()) eraseLocked(found->second);
}

void ImageCache::removeWithPrefix(const std::string& prefix) {
    std::lock_guard lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end();) {
        auto next = std::next(it);
        if (it->first.compare(0, prefix.size(), prefix) == 0) eraseLocked(it);
        it = next;
    }
}

void ImageCache::removeAll() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    byKey_.clear();
    bytes_ = 0;
}

ImageCache::Statistics ImageCache::statistics() const {
    std::lock_guard lock(mutex_);
    return {hits_, misses_, entries_.size(), bytes_};
}

void ImageCache::eraseLocked(std::list<Entry>::iterator entry) {
    bytes_ -= bytesOf(*entry->second);
    byKey_.erase(entry->first);
    entries_.erase(entry);
}

}  // namespace hx::photos

// Placeholder until saving lands.
#include "app/camera/hxViewController.h"

namespace hx::app {
void hxViewController::searchPhotoGroups() {}
void hxViewController::saveCapturedPhoto(std::shared_ptr<const std::vector<uint8_t>>, bool) {}
void hxViewController::saveImage(const void*, const image::ImageRef&,
                                 const image::PropertyDictionary&) {}
}  // namespace hx::app

#pragma once

// A scene made of the pictures of a folder (JPEG, PNG, TIFF or HEIC, in name order), each
// shown for a few seconds in turn, upright as its orientation says. A picture fills the field
// of whatever lens looks at it, cropped to the field's shape; zoom crops it further.
//
// Threads: pictures are decoded when first shown and kept under a lock; any number of threads
// may paint the scene at once.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/capture/scene/Scene.h"
#include "platform/image/Image.h"

namespace hx::capture::scene {

class ImageFolderScene : public Scene {
  public:
    // Null, with the reason in error, when the folder cannot be read or holds no picture that
    // decodes.
    static std::shared_ptr<const ImageFolderScene> load(const std::string& folder,
                                                        double secondsPerPicture = 3.0,
                                                        std::string* error = nullptr);

    void renderSpan(const SceneSpan& span, uint8_t* bgra) const override;
    bool fillsLensField() const override { return true; }
    size_t pictureCount() const { return paths_.size(); }

  private:
    struct Picture {
        image::ImageRef pixels;  // BGRA8 as stored
        int orientation = 1;
        double displayWidth = 0, displayHeight = 0;
    };

    ImageFolderScene(std::vector<std::string> paths, double secondsPerPicture)
        : paths_(std::move(paths)), secondsPerPicture_(secondsPerPicture) {}
    static std::shared_ptr<const Picture> decode(const std::string& path);
    std::shared_ptr<const Picture> pictureAt(double time) const;

    std::vector<std::string> paths_;
    double secondsPerPicture_;
    mutable std::mutex mutex_;
    mutable size_t cachedIndex_ = SIZE_MAX;
    mutable std::shared_ptr<const Picture> cached_;
};

}  // namespace hx::capture::scene

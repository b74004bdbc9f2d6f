#pragma once

// A scene made of the pictures of a folder (JPEG, PNG, TIFF or HEIC, in name order), each
// shown for a few seconds in turn, upright as its orientation says. A picture fills the field
// of whatever lens looks at it, cropped to the field's shape; zoom crops it further.
//
// Every picture is decoded once at load (a JPEG at a fraction of its size) and those that cannot
// be read are left out with one log line each. The picture on show is decoded in full when its
// turn comes; one that fails then (changed on disk since) is dropped for good, with one log line,
// and the next one is shown; when none is left the built-in outdoor scene is shown. A picture is
// never decoded again after it failed.
//
// Threads: the picture on show is kept under a lock; any number of threads may paint the scene
// at once.

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
    // decodes within the decode limit.
    static std::shared_ptr<const ImageFolderScene> load(const std::string& folder,
                                                        double secondsPerPicture = 3.0,
                                                        std::string* error = nullptr);

    void renderSpan(const SceneSpan& span, uint8_t* bgra) const override;
    bool fillsLensField() const override { return true; }
    // The pictures that decoded at load.
    size_t pictureCount() const { return paths_.size(); }
    // Those of them still shown: less when one could not be decoded again when its turn came.
    size_t readablePictureCount() const;

  private:
    struct Picture {
        image::ImageRef pixels;  // BGRA8 as stored
        int orientation = 1;
        double displayWidth = 0, displayHeight = 0;
    };

    ImageFolderScene(std::vector<std::string> paths, double secondsPerPicture)
        : paths_(std::move(paths)), secondsPerPicture_(secondsPerPicture), shown_(paths_.size()) {
        for (size_t i = 0; i < shown_.size(); ++i) shown_[i] = i;
    }
    static std::shared_ptr<const Picture> decode(const std::string& path);
    // Null when no picture is left.
    std::shared_ptr<const Picture> pictureAt(double time) const;

    std::vector<std::string> paths_;
    double secondsPerPicture_;
    mutable std::mutex mutex_;
    mutable std::vector<size_t> shown_;  // indices into paths_ of the pictures still shown
    mutable size_t cachedIndex_ = SIZE_MAX;
    mutable std::shared_ptr<const Picture> cached_;
    mutable std::shared_ptr<const Scene> fallback_;
};

}  // namespace hx::capture::scene

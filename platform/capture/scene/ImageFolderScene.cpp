#include "platform/capture/scene/ImageFolderScene.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>

#include "platform/capture/scene/BuiltInScenes.h"
#include "platform/image/PixelConversion.h"
#include "platform/image/io/ImageSource.h"
#include "platform/log/Log.h"

namespace hx::capture::scene {

namespace {

namespace fs = std::filesystem;

// The long side of the decode that proves a picture readable at load: small enough that a JPEG
// is decoded at an eighth of its size, while every byte of its image data is still read.
constexpr int kCheckSide = 64;

bool isPictureFile(const fs::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* known : {".jpg", ".jpeg", ".png", ".tif", ".tiff", ".heic", ".heif"})
        if (extension == known) return true;
    return false;
}

// Where a displayed point lies in the stored picture, for each Exif orientation.
struct Mapping {
    double xx, xy, x0;  // stored x = xx * dx + xy * dy + x0
    double yx, yy, y0;
};

Mapping mappingFor(int orientation, double width, double height) {
    switch (orientation) {
        case 2:
            return {-1, 0, width, 0, 1, 0};
        case 3:
            return {-1, 0, width, 0, -1, height};
        case 4:
            return {1, 0, 0, 0, -1, height};
        case 5:
            return {0, 1, 0, 1, 0, 0};
        case 6:
            return {0, 1, 0, -1, 0, height};
        case 7:
            return {0, -1, width, -1, 0, height};
        case 8:
            return {0, -1, width, 1, 0, 0};
        default:
            return {1, 0, 0, 0, 1, 0};
    }
}

}  // namespace

std::shared_ptr<const ImageFolderScene> ImageFolderScene::load(const std::string& folder,
                                                               double secondsPerPicture,
                                                               std::string* error) {
    auto fail = [&](const std::string& message) -> std::shared_ptr<const ImageFolderScene> {
        if (error) *error = message;
        return nullptr;
    };
    std::error_code ec;
    std::vector<std::string> paths;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec) && isPictureFile(it->path())) paths.push_back(it->path());
    if (ec) return fail("cannot read the folder " + folder + ": " + ec.message());
    std::sort(paths.begin(), paths.end());
    // Keep the pictures whose pixels decode; say which do not, once.
    std::vector<std::string> readable;
    for (const std::string& path : paths) {
        auto source = image::ImageSource::createWithURL(path);
        if (source && source->createThumbnailAtIndex(0, kCheckSide))
            readable.push_back(path);
        else
            hxLog("camera scene: cannot read the picture %s; leaving it out", path.c_str());
    }
    if (readable.empty()) return fail("no picture in " + folder + " could be read");
    return std::shared_ptr<const ImageFolderScene>(
        new ImageFolderScene(std::move(readable), std::max(secondsPerPicture, 0.1)));
}

std::shared_ptr<const ImageFolderScene::Picture> ImageFolderScene::decode(const std::string& path) {
    auto source = image::ImageSource::createWithURL(path);
    if (!source || source->count() == 0) return nullptr;
    auto pixels = image::convert(source->createImageAtIndex(0), image::PixelFormat::BGRA8);
    if (!pixels) return nullptr;
    auto picture = std::make_shared<Picture>();
    picture->pixels = std::move(pixels);
    picture->orientation = static_cast<int>(
        source->copyPropertiesAtIndex(0).integer(image::kCGImagePropertyOrientation).value_or(1));
    const bool turned = picture->orientation >= 5 && picture->orientation <= 8;
    picture->displayWidth = turned ? picture->pixels->height() : picture->pixels->width();
    picture->displayHeight = turned ? picture->pixels->width() : picture->pixels->height();
    return picture;
}

size_t ImageFolderScene::readablePictureCount() const {
    std::lock_guard lock(mutex_);
    return shown_.size();
}

std::shared_ptr<const ImageFolderScene::Picture> ImageFolderScene::pictureAt(double time) const {
    std::lock_guard lock(mutex_);
    while (!shown_.empty()) {
        const double slot = std::floor(time / secondsPerPicture_);
        const double count = static_cast<double>(shown_.size());
        const size_t place = std::min(static_cast<size_t>(slot - std::floor(slot / count) * count),
                                      shown_.size() - 1);
        const size_t index = shown_[place];
        if (index == cachedIndex_ && cached_) return cached_;
        if (auto picture = decode(paths_[index])) {
            cached_ = std::move(picture);
            cachedIndex_ = index;
            return cached_;
        }
        // Changed on disk since it was loaded: drop it and show the next one.
        hxLog("camera scene: cannot read the picture %s any more; leaving it out",
              paths_[index].c_str());
        shown_.erase(shown_.begin() + static_cast<std::ptrdiff_t>(place));
    }
    return nullptr;
}

void ImageFolderScene::renderSpan(const SceneSpan& span, uint8_t* bgra) const {
    auto picture = pictureAt(span.time);
    if (!picture) {
        std::shared_ptr<const Scene> fallback;
        {
            std::lock_guard lock(mutex_);
            if (!fallback_) fallback_ = makeOutdoorScene();
            fallback = fallback_;
        }
        fallback->renderSpan(span, bgra);
        return;
    }
    // The picture covers the lens field (3 wide by 4 high, centred), cropping what sticks out.
    const double scale = std::max(0.75 / picture->displayWidth, 1.0 / picture->displayHeight);
    const image::Image& pixels = *picture->pixels;
    const Mapping m = mappingFor(picture->orientation, pixels.width(), pixels.height());
    const int maxX = pixels.width() - 1, maxY = pixels.height() - 1;
    for (int i = 0; i < span.count; ++i) {
        const double dx = (span.x + i * span.stepX) / scale + picture->displayWidth / 2;
        const double dy = (span.y + i * span.stepY) / scale + picture->displayHeight / 2;
        const double sx = std::clamp(m.xx * dx + m.xy * dy + m.x0 - 0.5, 0.0, double(maxX));
        const double sy = std::clamp(m.yx * dx + m.yy * dy + m.y0 - 0.5, 0.0, double(maxY));
        const int x0 = static_cast<int>(sx), y0 = static_cast<int>(sy);
        const int x1 = std::min(x0 + 1, maxX), y1 = std::min(y0 + 1, maxY);
        const float fx = static_cast<float>(sx - x0), fy = static_cast<float>(sy - y0);
        const uint8_t* top = pixels.row(y0);
        const uint8_t* bottom = pixels.row(y1);
        uint8_t* out = bgra + 4 * i;
        for (int c = 0; c < 3; ++c) {
            const float upper = top[4 * x0 + c] + (top[4 * x1 + c] - top[4 * x0 + c]) * fx;
            const float lower = bottom[4 * x0 + c] + (bottom[4 * x1 + c] - bottom[4 * x0 + c]) * fx;
            out[c] = static_cast<uint8_t>(upper + (lower - upper) * fy + 0.5f);
        }
        out[3] = 255;
    }
}

}  // namespace hx::capture::scene

#include "platform/ui/drawing/UIImage.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

#include <QImage>
#include <QPainter>
#include <QTransform>

#include "platform/bundle/Bundle.h"
#include "platform/image/png/PngCodec.h"
#include "platform/log/Log.h"
#include "platform/ui/drawing/CGContext.h"
#include "platform/ui/window/UIScreen.h"

namespace hx {

UIImageOrientation UIImageOrientationFromExif(int64_t exif) {
    switch (exif) {
        case 2:
            return UIImageOrientation::UpMirrored;
        case 3:
            return UIImageOrientation::Down;
        case 4:
            return UIImageOrientation::DownMirrored;
        case 5:
            return UIImageOrientation::LeftMirrored;
        case 6:
            return UIImageOrientation::Right;
        case 7:
            return UIImageOrientation::RightMirrored;
        case 8:
            return UIImageOrientation::Left;
        default:
            return UIImageOrientation::Up;
    }
}

struct UIImage::Cache {
    std::once_flag once;
    QImage image;
};

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The file names to try for a resource name, best first for the screen's scale.
std::vector<std::string> candidateNames(const std::string& name) {
    std::string stem = endsWith(name, ".png") ? name.substr(0, name.size() - 4) : name;
    std::vector<std::string> names;
    if (stem != name) names.push_back(name);
    double scale = UIScreen::mainScreen().scale();
    std::vector<std::string> byScale = {stem + "@3x.png", stem + "@2x.png", stem + ".png"};
    if (scale < 3) std::swap(byScale[0], byScale[1]);
    if (scale < 2) std::rotate(byScale.begin(), byScale.begin() + 2, byScale.end());
    for (auto& candidate : byScale) {
        if (std::find(names.begin(), names.end(), candidate) == names.end()) {
            names.push_back(candidate);
        }
    }
    if (stem == name) names.push_back(name);
    return names;
}

double scaleOfFileName(const std::string& path) {
    if (path.find("@3x.") != std::string::npos) return 3;
    if (path.find("@2x.") != std::string::npos) return 2;
    return 1;
}

QImage toQImage(const image::Image& image) {
    const int w = image.width();
    const int h = image.height();
    const auto stride = static_cast<qsizetype>(image.bytesPerRow());
    QImage::Format format = QImage::Format_Invalid;
    switch (image.pixelFormat()) {
        case image::PixelFormat::Grey8:
            format = QImage::Format_Grayscale8;
            break;
        case image::PixelFormat::RGB8:
            format = QImage::Format_RGB888;
            break;
        case image::PixelFormat::BGRA8:
            format = QImage::Format_ARGB32_Premultiplied;
            break;
        case image::PixelFormat::RGBA8:
            format = QImage::Format_RGBA8888;
            break;
    }
    if (format == QImage::Format_Invalid) return {};
    // Wraps the pixels, then converts: the conversion makes a copy of Qt's own.
    QImage view(image.data(), w, h, stride, format);
    return view.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage upright(QImage image, UIImageOrientation orientation) {
    using O = UIImageOrientation;
    bool mirrored = orientation == O::UpMirrored || orientation == O::DownMirrored ||
                    orientation == O::LeftMirrored || orientation == O::RightMirrored;
    if (mirrored) image = image.mirrored(true, false);
    int degrees = 0;
    switch (orientation) {
        case O::Down:
        case O::DownMirrored:
            degrees = 180;
            break;
        case O::Left:
        case O::LeftMirrored:
            degrees = -90;
            break;
        case O::Right:
        case O::RightMirrored:
            degrees = 90;
            break;
        default:
            break;
    }
    if (degrees == 0) return image;
    return image.transformed(QTransform().rotate(degrees));
}

std::mutex namedMutex;
std::map<std::string, UIImageRef>& namedImages() {
    static std::map<std::string, UIImageRef> images;
    return images;
}

}  // namespace

UIImage::UIImage(image::ImageRef image, double scale, UIImageOrientation orientation)
    : image_(std::move(image)),
      scale_(scale > 0 ? scale : 1),
      orientation_(orientation),
      cache_(std::make_unique<Cache>()) {}

UIImage::~UIImage() = default;

UIImageRef UIImage::imageNamed(const std::string& name) {
    if (name.empty()) return nullptr;
    {
        std::lock_guard lock(namedMutex);
        auto it = namedImages().find(name);
        if (it != namedImages().end()) return it->second;
    }
    Bundle& bundle = Bundle::main();
    for (const std::string& candidate : candidateNames(name)) {
        if (!bundle.pathForResource(candidate)) continue;
        image::ImageRef pixels = bundle.imageNamed(candidate);
        if (!pixels) continue;
        auto image = std::make_shared<const UIImage>(pixels, scaleOfFileName(candidate),
                                                     UIImageOrientation::Up);
        std::lock_guard lock(namedMutex);
        namedImages()[name] = image;
        return image;
    }
    hxLog("Image \"%s\" not found in the resources", name.c_str());
    return nullptr;
}

UIImageRef UIImage::imageWithContentsOfFile(const std::string& path) {
    std::string error;
    image::ImageRef pixels = image::readPng(path, &error);
    if (!pixels) {
        hxLog("Image file \"%s\" cannot be read: %s", path.c_str(), error.c_str());
        return nullptr;
    }
    return std::make_shared<const UIImage>(pixels, scaleOfFileName(path), UIImageOrientation::Up);
}

UIImageRef UIImage::imageWithCGImage(image::ImageRef cgImage, double scale,
                                     UIImageOrientation orientation) {
    if (!cgImage) return nullptr;
    return std::make_shared<const UIImage>(std::move(cgImage), scale, orientation);
}

CGSize UIImage::size() const {
    if (!image_) return CGSizeZero;
    double w = image_->width() / scale_;
    double h = image_->height() / scale_;
    switch (orientation_) {
        case UIImageOrientation::Left:
        case UIImageOrientation::Right:
        case UIImageOrientation::LeftMirrored:
        case UIImageOrientation::RightMirrored:
            return {h, w};
        default:
            return {w, h};
    }
}

const QImage& UIImage::qimage() const {
    std::call_once(cache_->once, [this] {
        if (image_) cache_->image = upright(toQImage(*image_), orientation_);
    });
    return cache_->image;
}

void UIImage::drawInRect(const CGRect& rect) const {
    drawInRect(rect, 1);
}

void UIImage::drawInRect(const CGRect& rect, double alpha) const {
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (!context) return;
    QPainter& painter = context->painter();
    double opacity = painter.opacity();
    painter.setOpacity(opacity * alpha);
    CGContextDrawImage(context, rect, *this);
    painter.setOpacity(opacity);
}

}  // namespace hx

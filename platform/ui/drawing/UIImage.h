#pragma once
// An image with a scale (pixels per point) and an orientation, as the views show it.
//
// imageNamed() looks the name up in the program's resources (hx::Bundle::main()): the name as
// given, then with "@3x", "@2x" before ".png", then with ".png" appended. "back-568h.png" and
// "grid_off" both work. A "@2x" file has scale 2, a "@3x" file scale 3.
//
// Threads: immutable once made; any thread may read it. imageNamed() may be called from any
// thread (the bundle and the cache are locked).

#include <cstdint>
#include <memory>
#include <string>

#include "platform/geometry/Geometry.h"
#include "platform/image/Image.h"

class QImage;

namespace hx {

enum class UIImageOrientation {
    Up = 0,
    Down = 1,
    Left = 2,   // turned 90 degrees anticlockwise
    Right = 3,  // turned 90 degrees clockwise
    UpMirrored = 4,
    DownMirrored = 5,
    LeftMirrored = 6,
    RightMirrored = 7,
};

// The orientation of an Exif orientation value: 1 up, 2 up mirrored, 3 down, 4 down mirrored,
// 5 left mirrored, 6 right, 7 right mirrored, 8 left; anything else up.
UIImageOrientation UIImageOrientationFromExif(int64_t exif);

class UIImage;
using UIImageRef = std::shared_ptr<const UIImage>;

class UIImage {
  public:
    // Null when no resource of that name exists or it cannot be decoded.
    static UIImageRef imageNamed(const std::string& name);
    // A PNG file; null when it is missing or unreadable.
    static UIImageRef imageWithContentsOfFile(const std::string& path);
    // Null for a null image.
    static UIImageRef imageWithCGImage(image::ImageRef cgImage, double scale = 1,
                                       UIImageOrientation orientation = UIImageOrientation::Up);

    // The pixels, as stored (not turned by the orientation).
    const image::ImageRef& CGImage() const { return image_; }
    double scale() const { return scale_; }
    UIImageOrientation imageOrientation() const { return orientation_; }
    // Size in points, after the orientation: pixel size / scale, sides swapped for left and
    // right orientations.
    CGSize size() const;

    // Draws into the current graphics context (UIGraphicsGetCurrentContext()), stretched to
    // the rectangle. Does nothing without a context.
    void drawInRect(const CGRect& rect) const;
    void drawInRect(const CGRect& rect, double alpha) const;

    // The pixels turned upright by the orientation, as a premultiplied ARGB Qt image; made
    // once and kept.
    const QImage& qimage() const;

    UIImage(image::ImageRef image, double scale, UIImageOrientation orientation);
    ~UIImage();
    UIImage(const UIImage&) = delete;
    UIImage& operator=(const UIImage&) = delete;

  private:
    image::ImageRef image_;
    double scale_;
    UIImageOrientation orientation_;
    struct Cache;
    std::unique_ptr<Cache> cache_;
};

}  // namespace hx

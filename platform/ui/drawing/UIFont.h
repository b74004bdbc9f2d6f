#pragma once
// A font by family, size in points and weight. The system font is DejaVu Sans, named
// explicitly so that text renders the same on every machine. A value type.

#include <string>

#include "platform/geometry/Geometry.h"

class QFont;

namespace hx {

class UIFont {
  public:
    UIFont() = default;
    static UIFont systemFontOfSize(double size);
    static UIFont boldSystemFontOfSize(double size);
    // Any installed family; unknown names fall back to the system font when drawn.
    static UIFont fontWithName(const std::string& name, double size);

    const std::string& familyName() const { return family_; }
    double pointSize() const { return pointSize_; }
    bool isBold() const { return bold_; }
    UIFont fontWithSize(double size) const;

    // The size of one line of this text in points: advance width and line height.
    CGSize sizeOfText(const std::string& text) const;
    double lineHeight() const;

    // The Qt font at this size in points scaled by `scale` (pixels per point). Needs a Qt
    // application (ensureQtApplication()).
    QFont qfont(double scale = 1) const;

    friend bool operator==(const UIFont&, const UIFont&) = default;

  private:
    UIFont(std::string family, double size, bool bold);
    std::string family_ = "DejaVu Sans";
    double pointSize_ = 17;
    bool bold_ = false;
};

}  // namespace hx

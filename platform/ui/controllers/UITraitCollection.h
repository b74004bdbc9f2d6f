#pragma once
// The traits a view controller lays itself out for: horizontal and vertical size classes, the
// display scale and the idiom, as they follow from the device profile and the window scene's
// interface orientation. Phones are compact wide and regular tall in portrait, compact both ways
// in landscape (regular wide for the large phones, 414 points and more across); tablets are
// regular both ways.
//
// Threads: a value type; current() reads main-thread state.

#include "platform/device/DeviceProfile.h"
#include "platform/ui/window/UIWindowScene.h"

namespace hx {

enum class UIUserInterfaceSizeClass { Unspecified = 0, Compact = 1, Regular = 2 };

class UITraitCollection {
  public:
    UITraitCollection() = default;
    UITraitCollection(UIUserInterfaceSizeClass horizontal, UIUserInterfaceSizeClass vertical,
                      double displayScale, UserInterfaceIdiom idiom)
        : horizontal_(horizontal), vertical_(vertical), scale_(displayScale), idiom_(idiom) {}

    // The traits of the current device profile in the scene's orientation now.
    static UITraitCollection current();
    // The traits of the current device profile in that orientation.
    static UITraitCollection forOrientation(UIInterfaceOrientation orientation);

    UIUserInterfaceSizeClass horizontalSizeClass() const { return horizontal_; }
    UIUserInterfaceSizeClass verticalSizeClass() const { return vertical_; }
    double displayScale() const { return scale_; }
    UserInterfaceIdiom userInterfaceIdiom() const { return idiom_; }

    friend bool operator==(const UITraitCollection&, const UITraitCollection&) = default;

  private:
    UIUserInterfaceSizeClass horizontal_ = UIUserInterfaceSizeClass::Unspecified;
    UIUserInterfaceSizeClass vertical_ = UIUserInterfaceSizeClass::Unspecified;
    double scale_ = 1;
    UserInterfaceIdiom idiom_ = UserInterfaceIdiom::Phone;
};

}  // namespace hx

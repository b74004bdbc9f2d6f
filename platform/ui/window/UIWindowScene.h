#pragma once
// The scene the windows live in: its interface orientation and its windows.
//
// Threads: main thread only.

#include <functional>
#include <memory>
#include <vector>

namespace hx {

class UIWindow;

enum class UIInterfaceOrientation {
    Unknown = 0,
    Portrait = 1,
    PortraitUpsideDown = 2,
    LandscapeRight = 3,  // home side on the right
    LandscapeLeft = 4,
};

inline bool UIInterfaceOrientationIsPortrait(UIInterfaceOrientation o) {
    return o == UIInterfaceOrientation::Portrait || o == UIInterfaceOrientation::PortraitUpsideDown;
}
inline bool UIInterfaceOrientationIsLandscape(UIInterfaceOrientation o) {
    return o == UIInterfaceOrientation::LandscapeLeft ||
           o == UIInterfaceOrientation::LandscapeRight;
}

// Masks of supported orientations; combine with |.
using UIInterfaceOrientationMask = unsigned;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskPortrait = 1u << 1;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskPortraitUpsideDown = 1u << 2;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskLandscapeRight = 1u << 3;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskLandscapeLeft = 1u << 4;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskLandscape =
    UIInterfaceOrientationMaskLandscapeLeft | UIInterfaceOrientationMaskLandscapeRight;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskAll =
    UIInterfaceOrientationMaskPortrait | UIInterfaceOrientationMaskPortraitUpsideDown |
    UIInterfaceOrientationMaskLandscape;
inline constexpr UIInterfaceOrientationMask UIInterfaceOrientationMaskAllButUpsideDown =
    UIInterfaceOrientationMaskPortrait | UIInterfaceOrientationMaskLandscape;

inline UIInterfaceOrientationMask maskForOrientation(UIInterfaceOrientation o) {
    return o == UIInterfaceOrientation::Unknown ? 0u : 1u << static_cast<unsigned>(o);
}

class UIWindowScene {
  public:
    static UIWindowScene& mainScene();

    UIInterfaceOrientation interfaceOrientation() const { return orientation_; }
    // Set by the host (or a test). Observers run after the change, in the order added.
    void setInterfaceOrientation(UIInterfaceOrientation orientation);
    using OrientationObserver =
        std::function<void(UIInterfaceOrientation from, UIInterfaceOrientation to)>;
    // Returns a token for removeOrientationObserver().
    int addOrientationObserver(OrientationObserver observer);
    void removeOrientationObserver(int token);

    // The windows of the scene, oldest first (windows register themselves while they live).
    std::vector<std::shared_ptr<UIWindow>> windows() const;
    // The key window, or null.
    std::shared_ptr<UIWindow> keyWindow() const;

    // For UIWindow.
    void registerWindow(const std::weak_ptr<UIWindow>& window);
    void unregisterWindow(const UIWindow* window);
    void setKeyWindow(const std::weak_ptr<UIWindow>& window) { keyWindow_ = window; }

  private:
    UIInterfaceOrientation orientation_ = UIInterfaceOrientation::Portrait;
    std::vector<std::weak_ptr<UIWindow>> windows_;
    std::weak_ptr<UIWindow> keyWindow_;
    std::vector<std::pair<int, OrientationObserver>> observers_;
    int nextToken_ = 1;
};

}  // namespace hx

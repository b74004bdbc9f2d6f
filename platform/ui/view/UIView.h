#pragma once
// A rectangle on the screen: the base of every view. Geometry, appearance, the view tree,
// point conversion, hit-testing, custom drawing and the entry points of animations.
//
// Geometry: bounds (own coordinates), centre (in the superview) and transform (about the
// centre) define the view; frame is derived as the box around the transformed bounds. Setting
// the frame of a turned view keeps the transform and gives the bounds the size that the
// transform turns into the frame (a view turned by +90 degrees swaps the frame's sides).
//
// Memory: views are held by std::shared_ptr. A view owns its subviews and its gesture
// recognisers; superview and window are weak.
//
// Animatable properties (frame, bounds, centre, transform, alpha, background colour) take
// their new value at once; inside an animation block the change is also recorded so that the
// presentation (what the renderer draws) moves to it over the animation's time.
//
// Threads: main thread only.

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/geometry/AffineTransform.h"
#include "platform/geometry/Geometry.h"
#include "platform/ui/drawing/UIColor.h"
#include "platform/ui/view/CALayer.h"
#include "platform/ui/view/UIResponder.h"

namespace hx {

class UIWindow;
class UIGestureRecognizer;
class CGContext;

enum class UIViewContentMode {
    ScaleToFill = 0,
    ScaleAspectFit = 1,
    ScaleAspectFill = 2,
    Redraw = 3,
    Center = 4,
    Top = 5,
    Bottom = 6,
    Left = 7,
    Right = 8,
    TopLeft = 9,
    TopRight = 10,
    BottomLeft = 11,
    BottomRight = 12,
};

// Animation options; combine with |.
using UIViewAnimationOptions = unsigned;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionAllowUserInteraction = 1u << 1;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionBeginFromCurrentState = 1u << 2;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveEaseInOut = 0u << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveEaseIn = 1u << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveEaseOut = 2u << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveLinear = 3u << 16;

// The values the renderer draws: the model values, or where an animation has them now.
struct UIViewPresentation {
    CGRect bounds;
    CGPoint center;
    CGAffineTransform transform;
    double alpha = 1;
    UIColor backgroundColor;
};

class UIView : public UIResponder, public std::enable_shared_from_this<UIView> {
  public:
    explicit UIView(const CGRect& frame = CGRectZero);
    ~UIView() override;
    UIView(const UIView&) = delete;
    UIView& operator=(const UIView&) = delete;

    static std::shared_ptr<UIView> make(const CGRect& frame = CGRectZero) {
        return std::make_shared<UIView>(frame);
    }

    // Geometry.
    CGRect frame() const;
    void setFrame(const CGRect& frame);
    CGRect bounds() const { return bounds_; }
    void setBounds(const CGRect& bounds);
    CGPoint center() const { return center_; }
    void setCenter(const CGPoint& center);
    CGAffineTransform transform() const { return transform_; }
    void setTransform(const CGAffineTransform& transform);

    // Appearance.
    double alpha() const { return alpha_; }
    void setAlpha(double alpha);
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    // Clear (nothing drawn) by default.
    UIColor backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const UIColor& color);
    // The nearest tint set on this view or an ancestor; system blue when none.
    UIColor tintColor() const;
    void setTintColor(std::optional<UIColor> color);
    bool clipsToBounds() const { return layer_.masksToBounds(); }
    void setClipsToBounds(bool clips) { layer_.setMasksToBounds(clips); }
    CALayer& layer() { return layer_; }
    const CALayer& layer() const { return layer_; }
    double contentScaleFactor() const { return layer_.contentsScale(); }
    void setContentScaleFactor(double scale) { layer_.setContentsScale(scale); }
    UIViewContentMode contentMode() const { return contentMode_; }
    virtual void setContentMode(UIViewContentMode mode);
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    // Touch handling.
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
    bool isMultipleTouchEnabled() const { return multipleTouchEnabled_; }
    void setMultipleTouchEnabled(bool enabled) { multipleTouchEnabled_ = enabled; }
    bool isExclusiveTouch() const { return exclusiveTouch_; }
    void setExclusiveTouch(bool exclusive) { exclusiveTouch_ = exclusive; }

    // The view tree.
    std::shared_ptr<UIView> superview() const { return superview_.lock(); }
    const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
    // The window at the root of this view's tree; null when not in one.
    virtual std::shared_ptr<UIWindow> window() const;
    // Adds on top of the other subviews; a view in another superview moves here.
    void addSubview(const std::shared_ptr<UIView>& view);
    void insertSubview(const std::shared_ptr<UIView>& view, std::size_t index);
    void insertSubviewBelowSubview(const std::shared_ptr<UIView>& view,
                                   const std::shared_ptr<UIView>& sibling);
    void insertSubviewAboveSubview(const std::shared_ptr<UIView>& view,
                                   const std::shared_ptr<UIView>& sibling);
    void removeFromSuperview();
    void bringSubviewToFront(const std::shared_ptr<UIView>& view);
    void sendSubviewToBack(const std::shared_ptr<UIView>& view);
    bool isDescendantOfView(const UIView* view) const;
    // This view or the first descendant (depth first) with the tag; null when none.
    std::shared_ptr<UIView> viewWithTag(int tag);

    // Called after the superview or window changed.
    virtual void didMoveToSuperview() {}
    virtual void didMoveToWindow() {}
    virtual void willMoveToSuperview(UIView* newSuperview) {}

    // Layout: layoutSubviews() runs before the next render after setNeedsLayout(), and on
    // layoutIfNeeded().
    void setNeedsLayout() { needsLayout_ = true; }
    void layoutIfNeeded();
    virtual void layoutSubviews() {}
    // The size that suits the content; the current bounds size by default.
    virtual CGSize sizeThatFits(const CGSize& size) const;
    void sizeToFit();

    // Safe-area insets: the window's insets where they overlap this view.
    UIEdgeInsets safeAreaInsets() const;

    // Point conversion between this view's bounds and another view's (the window's coordinates
    // when `view` is null). Views must share a window or a root.
    CGPoint convertPointToView(const CGPoint& point, const UIView* view) const;
    CGPoint convertPointFromView(const CGPoint& point, const UIView* view) const;
    CGRect convertRectToView(const CGRect& rect, const UIView* view) const;
    CGRect convertRectFromView(const CGRect& rect, const UIView* view) const;

    // Hit-testing: the deepest visible, interactive view under the point (in this view's
    // bounds), front-most first. Hidden views, views with alpha below 0.01 and views with user
    // interaction off take no touches, and neither do their subviews.
    virtual std::shared_ptr<UIView> hitTest(const CGPoint& point, const UIEvent* event);
    virtual bool pointInside(const CGPoint& point, const UIEvent* event) const;

    // Gesture recognisers, owned by the view.
    void addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    void removeGestureRecognizer(const UIGestureRecognizer* recognizer);
    const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const {
        return recognizers_;
    }

    // Custom drawing: drawRect() draws the view's content in bounds coordinates into
    // UIGraphicsGetCurrentContext(); the result is kept until setNeedsDisplay().
    void setNeedsDisplay();
    bool needsDisplay() const { return needsDisplay_; }
    virtual void drawRect(const CGRect& rect);

    // The next responder: the owning responder when set (a view controller), else the superview.
    UIResponder* nextResponder() const override;
    // Non-owning; the view controller whose root view this is clears it before it goes.
    void setOwningResponder(UIResponder* responder) { owningResponder_ = responder; }
    UIResponder* owningResponder() const { return owningResponder_; }

    // Animations: `animations` runs at once; the changes it makes to animatable properties
    // move the presentation over `duration` seconds of the run loop's clock, starting after
    // `delay`. `completion` runs on the main queue when they end (finished = true) or are
    // replaced by a later animation of the same property (finished = false).
    static void animateWithDuration(double duration, std::function<void()> animations);
    static void animateWithDuration(double duration, std::function<void()> animations,
                                    std::function<void(bool finished)> completion);
    static void animateWithDuration(double duration, double delay, UIViewAnimationOptions options,
                                    std::function<void()> animations,
                                    std::function<void(bool finished)> completion);
    // Changes made in `actions` take effect without animation, even inside an animation block.
    static void performWithoutAnimation(const std::function<void()>& actions);
    static bool areAnimationsEnabled();
    static void setAnimationsEnabled(bool enabled);

    // What the renderer draws now, animations applied.
    UIViewPresentation presentation() const;
    bool hasRunningAnimations() const;
    // Stops this view's animations: it shows its model values at once. Their completions
    // report finished = false.
    void removeAllAnimations();

    // For the renderer and the animation engine: the content drawn by drawRect(), cached.
    struct DrawingCache;
    DrawingCache& drawingCache();
    struct AnimationState;
    AnimationState& animationState();

  protected:
    // Draws the view's own content after its background, in bounds coordinates. The default
    // runs drawRect() through the cache; controls override it to draw themselves.
    virtual void drawContent(CGContext& context);
    friend class UIRenderer;

  private:
    void notifyMovedToWindow();
    CGAffineTransform transformToSuperview() const;
    CGAffineTransform transformToAncestor(const UIView* ancestor) const;
    const UIView* root() const;

    CGRect bounds_;
    CGPoint center_;
    CGAffineTransform transform_;
    double alpha_ = 1;
    bool hidden_ = false;
    bool opaque_ = true;
    UIColor backgroundColor_;
    std::optional<UIColor> tintColor_;
    UIViewContentMode contentMode_ = UIViewContentMode::ScaleToFill;
    int tag_ = 0;
    bool userInteractionEnabled_ = true;
    bool multipleTouchEnabled_ = false;
    bool exclusiveTouch_ = false;
    bool needsLayout_ = true;
    bool needsDisplay_ = true;
    CALayer layer_;
    std::weak_ptr<UIView> superview_;
    std::vector<std::shared_ptr<UIView>> subviews_;
    std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers_;
    UIResponder* owningResponder_ = nullptr;
    std::unique_ptr<DrawingCache> drawingCache_;
    std::unique_ptr<AnimationState> animationState_;
};

using UIViewRef = std::shared_ptr<UIView>;

}  // namespace hx

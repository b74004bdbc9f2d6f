#include "platform/ui/view/UIView.h"

#include <algorithm>
#include <cmath>

#include <QPainter>

#include "platform/log/Log.h"
#include "platform/runloop/Clock.h"
#include "platform/ui/animation/ViewAnimation.h"
#include "platform/ui/drawing/CGContext.h"
#include "platform/ui/events/UIGestureRecognizer.h"
#include "platform/ui/view/ViewDrawing.h"
#include "platform/ui/window/UIWindow.h"

namespace hx {

namespace drawing {
namespace {
thread_local bool defaultDrawRectCalled = false;
}
void noteDefaultDrawRect() {
    defaultDrawRectCalled = true;
}
bool takeDefaultDrawRectNote() {
    bool called = defaultDrawRectCalled;
    defaultDrawRectCalled = false;
    return called;
}
}  // namespace drawing

UIView::UIView(const CGRect& frame) : layer_(*this) {
    CGRect f = frame.standardized();
    bounds_ = {CGPointZero, f.size};
    center_ = {f.midX(), f.midY()};
}

UIView::~UIView() {
    animation::viewStoppedAnimating(this);
    for (auto& recognizer : recognizers_) recognizer->attachToView(nullptr);
    for (auto& subview : subviews_) subview->superview_.reset();
}

// Geometry ---------------------------------------------------------------------------------

CGRect UIView::frame() const {
    CGRect local{{-bounds_.size.width / 2, -bounds_.size.height / 2}, bounds_.size};
    CGRect box = transform_.isIdentity() ? local : transform_.applyToRect(local);
    return box.offsetBy(center_.x, center_.y);
}

void UIView::setFrame(const CGRect& frame) {
    CGRect f = frame.standardized();
    CGSize size = f.size;
    CGPoint center{f.midX(), f.midY()};
    if (!transform_.isIdentity()) {
        // The bounds that this transform turns into the frame: undo the linear part on the
        // sides (exact for quarter turns and scales).
        CGAffineTransform linear = transform_;
        linear.tx = linear.ty = 0;
        if (auto inverse = linear.inverted()) {
            size = {std::abs(inverse->a) * f.size.width + std::abs(inverse->c) * f.size.height,
                    std::abs(inverse->b) * f.size.width + std::abs(inverse->d) * f.size.height};
        }
        center = {center.x - transform_.tx, center.y - transform_.ty};
    }
    setCenter(center);
    setBounds({bounds_.origin, size});
}

void UIView::setBounds(const CGRect& bounds) {
    CGRect previous = presentation().bounds;
    bool resized = bounds.size != bounds_.size;
    bounds_ = bounds;
    animation::recordBounds(*this, previous);
    if (resized) {
        setNeedsLayout();
        setNeedsDisplay();
    }
}

void UIView::setCenter(const CGPoint& center) {
    CGPoint previous = presentation().center;
    center_ = center;
    animation::recordCenter(*this, previous);
}

void UIView::setTransform(const CGAffineTransform& transform) {
    CGAffineTransform previous = presentation().transform;
    transform_ = transform;
    animation::recordTransform(*this, previous);
}

// Appearance -------------------------------------------------------------------------------

void UIView::setAlpha(double alpha) {
    double previous = presentation().alpha;
    alpha_ = std::clamp(alpha, 0.0, 1.0);
    animation::recordAlpha(*this, previous);
}

void UIView::setHidden(bool hidden) {
    hidden_ = hidden;
}

void UIView::setBackgroundColor(const UIColor& color) {
    UIColor previous = presentation().backgroundColor;
    backgroundColor_ = color;
    animation::recordBackgroundColor(*this, previous);
}

UIColor UIView::tintColor() const {
    for (const UIView* view = this; view; view = view->superview_.lock().get()) {
        if (view->tintColor_) return *view->tintColor_;
    }
    return UIColor::systemBlueColor();
}

void UIView::setTintColor(std::optional<UIColor> color) {
    tintColor_ = color;
    setNeedsDisplay();
}

void UIView::setContentMode(UIViewContentMode mode) {
    contentMode_ = mode;
    setNeedsDisplay();
}

// The view tree ----------------------------------------------------------------------------

std::shared_ptr<UIWindow> UIView::window() const {
    const UIView* top = root();
    if (top == this) return nullptr;  // a window overrides this for itself
    return top->window();
}

const UIView* UIView::root() const {
    const UIView* view = this;
    while (auto parent = view->superview_.lock()) view = parent.get();
    return view;
}

bool UIView::isDescendantOfView(const UIView* view) const {
    if (!view) return false;
    for (const UIView* v = this; v; v = v->superview_.lock().get()) {
        if (v == view) return true;
    }
    return false;
}

void UIView::addSubview(const std::shared_ptr<UIView>& view) {
    insertSubview(view, subviews_.size());
}

void UIView::insertSubview(const std::shared_ptr<UIView>& view, std::size_t index) {
    if (!view || view.get() == this) return;
    if (isDescendantOfView(view.get())) {
        hxLog("UIView: cannot add an ancestor as a subview");
        return;
    }
    if (weak_from_this().expired()) {
        hxLog("UIView: a view must be held by a shared_ptr to take subviews");
        return;
    }
    std::shared_ptr<UIView> keep = view;
    auto oldWindow = view->window();
    auto oldSuperview = view->superview();
    if (oldSuperview.get() == this) {
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        std::size_t oldIndex = static_cast<std::size_t>(it - subviews_.begin());
        subviews_.erase(it);
        if (oldIndex < index) --index;
        subviews_.insert(subviews_.begin() + std::min(index, subviews_.size()), view);
        return;
    }
    view->willMoveToSuperview(this);
    if (oldSuperview) {
        auto& siblings = oldSuperview->subviews_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), view), siblings.end());
    }
    subviews_.insert(subviews_.begin() + std::min(index, subviews_.size()), view);
    view->superview_ = weak_from_this();
    view->didMoveToSuperview();
    if (view->window() != oldWindow) view->notifyMovedToWindow();
}

void UIView::insertSubviewBelowSubview(const std::shared_ptr<UIView>& view,
                                       const std::shared_ptr<UIView>& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    if (it == subviews_.end()) return addSubview(view);
    insertSubview(view, static_cast<std::size_t>(it - subviews_.begin()));
}

void UIView::insertSubviewAboveSubview(const std::shared_ptr<UIView>& view,
                                       const std::shared_ptr<UIView>& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    if (it == subviews_.end()) return addSubview(view);
    insertSubview(view, static_cast<std::size_t>(it - subviews_.begin()) + 1);
}

void UIView::removeFromSuperview() {
    auto parent = superview();
    if (!parent) return;
    auto keep = shared_from_this();
    auto oldWindow = window();
    willMoveToSuperview(nullptr);
    auto& siblings = parent->subviews_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), keep), siblings.end());
    superview_.reset();
    didMoveToSuperview();
    if (oldWindow) notifyMovedToWindow();
}

void UIView::bringSubviewToFront(const std::shared_ptr<UIView>& view) {
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    if (it == subviews_.end()) return;
    std::rotate(it, it + 1, subviews_.end());
}

void UIView::sendSubviewToBack(const std::shared_ptr<UIView>& view) {
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    if (it == subviews_.end()) return;
    std::rotate(subviews_.begin(), it, it + 1);
}

std::shared_ptr<UIView> UIView::viewWithTag(int tag) {
    if (tag_ == tag) return shared_from_this();
    for (auto& subview : subviews_) {
        if (auto found = subview->viewWithTag(tag)) return found;
    }
    return nullptr;
}

void UIView::notifyMovedToWindow() {
    didMoveToWindow();
    auto children = subviews_;
    for (auto& child : children) child->notifyMovedToWindow();
}

// Layout -----------------------------------------------------------------------------------

void UIView::layoutIfNeeded() {
    if (needsLayout_) {
        needsLayout_ = false;
        layoutSubviews();
    }
    auto children = subviews_;
    for (auto& child : children) child->layoutIfNeeded();
}

CGSize UIView::sizeThatFits(const CGSize&) const {
    return bounds_.size;
}

void UIView::sizeToFit() {
    CGSize size = sizeThatFits(bounds_.size);
    CGRect f = frame();
    if (transform_.isIdentity()) {
        setBounds({bounds_.origin, size});
        setCenter({f.minX() + size.width / 2, f.minY() + size.height / 2});
    } else {
        setBounds({bounds_.origin, size});
    }
}

UIEdgeInsets UIView::safeAreaInsets() const {
    auto win = window();
    if (!win) return UIEdgeInsetsZero;
    UIEdgeInsets w = win->windowSafeAreaInsets();
    if (win.get() == this) return w;
    CGRect inWindow = convertRectToView(bounds_, nullptr);
    CGRect wb = win->bounds();
    auto clampInset = [](double value, double limit) { return std::clamp(value, 0.0, limit); };
    return {clampInset(w.top - (inWindow.minY() - wb.minY()), inWindow.height()),
            clampInset(w.left - (inWindow.minX() - wb.minX()), inWindow.width()),
            clampInset(w.bottom - (wb.maxY() - inWindow.maxY()), inWindow.height()),
            clampInset(w.right - (wb.maxX() - inWindow.maxX()), inWindow.width())};
}

// Conversion -------------------------------------------------------------------------------

CGAffineTransform UIView::transformToSuperview() const {
    CGAffineTransform toCentre = CGAffineTransformMakeTranslation(-bounds_.midX(), -bounds_.midY());
    CGAffineTransform turned = CGAffineTransformConcat(toCentre, transform_);
    return CGAffineTransformConcat(turned, CGAffineTransformMakeTranslation(center_.x, center_.y));
}

CGAffineTransform UIView::transformToAncestor(const UIView* ancestor) const {
    CGAffineTransform result = CGAffineTransformIdentity;
    const UIView* view = this;
    while (view && view != ancestor) {
        auto parent = view->superview_.lock();
        if (!parent) break;  // the root: its own coordinates are the tree's
        result = CGAffineTransformConcat(result, view->transformToSuperview());
        view = parent.get();
    }
    return result;
}

CGPoint UIView::convertPointToView(const CGPoint& point, const UIView* view) const {
    const UIView* top = root();
    CGPoint inRoot = transformToAncestor(top).apply(point);
    if (!view) return inRoot;
    auto inverse = view->transformToAncestor(view->root()).inverted();
    return inverse ? inverse->apply(inRoot) : inRoot;
}

CGPoint UIView::convertPointFromView(const CGPoint& point, const UIView* view) const {
    CGPoint inRoot = view ? view->transformToAncestor(view->root()).apply(point) : point;
    auto inverse = transformToAncestor(root()).inverted();
    return inverse ? inverse->apply(inRoot) : inRoot;
}

CGRect UIView::convertRectToView(const CGRect& rect, const UIView* view) const {
    CGAffineTransform toRoot = transformToAncestor(root());
    if (view) {
        if (auto inverse = view->transformToAncestor(view->root()).inverted()) {
            toRoot = CGAffineTransformConcat(toRoot, *inverse);
        }
    }
    return toRoot.applyToRect(rect);
}

CGRect UIView::convertRectFromView(const CGRect& rect, const UIView* view) const {
    CGAffineTransform fromOther =
        view ? view->transformToAncestor(view->root()) : CGAffineTransformIdentity;
    if (auto inverse = transformToAncestor(root()).inverted()) {
        fromOther = CGAffineTransformConcat(fromOther, *inverse);
    }
    return fromOther.applyToRect(rect);
}

// Hit-testing ------------------------------------------------------------------------------

std::shared_ptr<UIView> UIView::hitTest(const CGPoint& point, const UIEvent* event) {
    if (hidden_ || !userInteractionEnabled_ || alpha_ < 0.01) return nullptr;
    if (!pointInside(point, event)) return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        const auto& subview = *it;
        auto inverse = subview->transformToSuperview().inverted();
        if (!inverse) continue;
        if (auto hit = subview->hitTest(inverse->apply(point), event)) return hit;
    }
    return shared_from_this();
}

bool UIView::pointInside(const CGPoint& point, const UIEvent*) const {
    return bounds_.contains(point);
}

// Gesture recognisers ----------------------------------------------------------------------

void UIView::addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    if (!recognizer) return;
    if (UIView* previous = recognizer->view(); previous && previous != this) {
        previous->removeGestureRecognizer(recognizer.get());
    }
    if (std::find(recognizers_.begin(), recognizers_.end(), recognizer) != recognizers_.end()) {
        return;
    }
    recognizers_.push_back(recognizer);
    recognizer->attachToView(this);
}

void UIView::removeGestureRecognizer(const UIGestureRecognizer* recognizer) {
    auto it = std::find_if(recognizers_.begin(), recognizers_.end(),
                           [&](const auto& r) { return r.get() == recognizer; });
    if (it == recognizers_.end()) return;
    auto keep = *it;
    recognizers_.erase(it);
    keep->attachToView(nullptr);
}

// Drawing ----------------------------------------------------------------------------------

void UIView::setNeedsDisplay() {
    needsDisplay_ = true;
    if (drawingCache_) drawingCache_->valid = false;
}

void UIView::drawRect(const CGRect&) {
    drawing::noteDefaultDrawRect();
}

UIView::DrawingCache& UIView::drawingCache() {
    if (!drawingCache_) drawingCache_ = std::make_unique<DrawingCache>();
    return *drawingCache_;
}

void UIView::drawContent(CGContext& context) {
    DrawingCache& cache = drawingCache();
    if (cache.drawsNothing) return;
    double scale = context.backingScale();
    CGSize size = bounds_.size;
    if (!cache.valid || cache.scale != scale || cache.size != size) {
        int width = static_cast<int>(std::ceil(std::abs(size.width) * scale));
        int height = static_cast<int>(std::ceil(std::abs(size.height) * scale));
        if (width <= 0 || height <= 0) return;
        QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.scale(scale, scale);
            painter.translate(-bounds_.origin.x, -bounds_.origin.y);
            CGContext inner(painter);
            inner.setBackingScale(scale);
            CGContext::CurrentScope current(inner);
            drawing::takeDefaultDrawRectNote();
            drawRect(bounds_);
            if (drawing::takeDefaultDrawRectNote()) {
                cache.drawsNothing = true;
                return;
            }
        }
        cache.image = std::move(image);
        cache.scale = scale;
        cache.size = size;
        cache.valid = true;
        needsDisplay_ = false;
    }
    context.painter().drawImage(
        QRectF(bounds_.origin.x, bounds_.origin.y, std::abs(size.width), std::abs(size.height)),
        cache.image);
}

// Responder chain --------------------------------------------------------------------------

UIResponder* UIView::nextResponder() const {
    if (owningResponder_) return owningResponder_;
    return superview_.lock().get();
}

// Animations -------------------------------------------------------------------------------

void UIView::animateWithDuration(double duration, std::function<void()> animations) {
    animateWithDuration(duration, 0, 0, std::move(animations), nullptr);
}

void UIView::animateWithDuration(double duration, std::function<void()> animations,
                                 std::function<void(bool)> completion) {
    animateWithDuration(duration, 0, 0, std::move(animations), std::move(completion));
}

void UIView::animateWithDuration(double duration, double delay, UIViewAnimationOptions options,
                                 std::function<void()> animations,
                                 std::function<void(bool)> completion) {
    animation::beginBlock(duration, delay, options, std::move(completion));
    if (animations) animations();
    animation::commitBlock();
}

void UIView::performWithoutAnimation(const std::function<void()>& actions) {
    bool was = animation::enabled();
    animation::setEnabled(false);
    if (actions) actions();
    animation::setEnabled(was);
}

bool UIView::areAnimationsEnabled() {
    return animation::enabled();
}

void UIView::setAnimationsEnabled(bool enabled) {
    animation::setEnabled(enabled);
}

UIView::AnimationState& UIView::animationState() {
    if (!animationState_) animationState_ = std::make_unique<AnimationState>();
    return *animationState_;
}

namespace {

// The value of one property now; drops the animation once it has ended.
template <typename T>
T presentValue(std::optional<PropertyAnimation<T>>& slot, const T& model, double now) {
    if (!slot) return model;
    double end = slot->begin + slot->duration;
    if (now >= end) {
        slot.reset();
        return model;
    }
    if (now <= slot->begin) return slot->from;
    double progress = slot->curve.valueAt((now - slot->begin) / slot->duration);
    return animation::interpolate(slot->from, model, progress);
}

}  // namespace

UIViewPresentation UIView::presentation() const {
    UIViewPresentation p{bounds_, center_, transform_, alpha_, backgroundColor_};
    if (!animationState_ || animationState_->empty()) return p;
    double now = Clock::now();
    AnimationState& state = *animationState_;
    p.bounds = presentValue(state.bounds, bounds_, now);
    p.center = presentValue(state.center, center_, now);
    p.transform = presentValue(state.transform, transform_, now);
    p.alpha = presentValue(state.alpha, alpha_, now);
    p.backgroundColor = presentValue(state.backgroundColor, backgroundColor_, now);
    if (state.empty()) animation::viewStoppedAnimating(const_cast<UIView*>(this));
    return p;
}

bool UIView::hasRunningAnimations() const {
    if (!animationState_) return false;
    presentation();
    return !animationState_->empty();
}

void UIView::removeAllAnimations() {
    if (!animationState_) return;
    for (auto* group :
         {animationState_->bounds ? animationState_->bounds->group.get() : nullptr,
          animationState_->center ? animationState_->center->group.get() : nullptr,
          animationState_->transform ? animationState_->transform->group.get() : nullptr,
          animationState_->alpha ? animationState_->alpha->group.get() : nullptr,
          animationState_->backgroundColor ? animationState_->backgroundColor->group.get()
                                           : nullptr}) {
        if (group) group->finished = false;
    }
    *animationState_ = AnimationState{};
    animation::viewStoppedAnimating(this);
}

}  // namespace hx

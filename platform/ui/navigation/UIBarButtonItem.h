#pragma once
// A button of a navigation bar or a toolbar: a system item (done, action, flexible space, ...),
// an image, a title or a view of the program's own. The bars show it through view().
//
// Target-action: the target is a non-owning key (for removeTarget style bookkeeping it is only
// compared); an action capturing an object it must not outlive should use the weak_ptr
// overloads, which skip the call once the object is gone.
//
// Threads: main thread only.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/drawing/UIColor.h"
#include "platform/ui/drawing/UIImage.h"

namespace hx {

class UIView;

enum class UIBarButtonSystemItem {
    Done = 0,
    Cancel = 1,
    Edit = 2,
    Save = 3,
    Add = 4,
    FlexibleSpace = 5,
    FixedSpace = 6,
    Compose = 7,
    Reply = 8,
    Action = 9,
    Organize = 10,
    Bookmarks = 11,
    Search = 12,
    Refresh = 13,
    Stop = 14,
    Camera = 15,
    Trash = 16,
    Play = 17,
    Pause = 18,
    Rewind = 19,
    FastForward = 20,
    Undo = 21,
    Redo = 22,
};

enum class UIBarButtonItemStyle { Plain = 0, Bordered = 1, Done = 2 };

class UIBarButtonItem : public std::enable_shared_from_this<UIBarButtonItem> {
  public:
    using Action = std::function<void(UIBarButtonItem* sender)>;

    static std::shared_ptr<UIBarButtonItem> initWithBarButtonSystemItem(
        UIBarButtonSystemItem systemItem, const void* target = nullptr, Action action = nullptr);
    static std::shared_ptr<UIBarButtonItem> initWithImage(UIImageRef image,
                                                          UIBarButtonItemStyle style,
                                                          const void* target = nullptr,
                                                          Action action = nullptr);
    static std::shared_ptr<UIBarButtonItem> initWithTitle(std::string title,
                                                          UIBarButtonItemStyle style,
                                                          const void* target = nullptr,
                                                          Action action = nullptr);
    static std::shared_ptr<UIBarButtonItem> initWithCustomView(std::shared_ptr<UIView> view);

    // Target-action with a method of the target, taking the item or nothing.
    template <typename T>
    static Action actionFor(const std::weak_ptr<T>& target, void (T::*method)(UIBarButtonItem*)) {
        return [target, method](UIBarButtonItem* sender) {
            if (auto strong = target.lock()) ((*strong).*method)(sender);
        };
    }
    template <typename T>
    static Action actionFor(const std::weak_ptr<T>& target, void (T::*method)()) {
        return [target, method](UIBarButtonItem*) {
            if (auto strong = target.lock()) ((*strong).*method)();
        };
    }
    // The caller keeps `target` alive while the item can be pressed.
    template <typename T>
    static Action actionFor(T* target, void (T::*method)(UIBarButtonItem*)) {
        return [target, method](UIBarButtonItem* sender) { (target->*method)(sender); };
    }
    template <typename T>
    static Action actionFor(T* target, void (T::*method)()) {
        return [target, method](UIBarButtonItem*) { (target->*method)(); };
    }

    UIBarButtonItem() = default;
    ~UIBarButtonItem();
    UIBarButtonItem(const UIBarButtonItem&) = delete;
    UIBarButtonItem& operator=(const UIBarButtonItem&) = delete;

    std::optional<UIBarButtonSystemItem> systemItem() const { return systemItem_; }
    bool isFlexibleSpace() const { return systemItem_ == UIBarButtonSystemItem::FlexibleSpace; }
    bool isFixedSpace() const { return systemItem_ == UIBarButtonSystemItem::FixedSpace; }
    UIBarButtonItemStyle style() const { return style_; }
    void setStyle(UIBarButtonItemStyle style);
    // The title of a title item; system items with a word ("Done", "Cancel") report it.
    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    const UIImageRef& image() const { return image_; }
    void setImage(UIImageRef image);
    const std::shared_ptr<UIView>& customView() const { return customView_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    // The colour of the title or glyph; the bar's tint when unset.
    std::optional<UIColor> tintColor() const { return tintColor_; }
    void setTintColor(std::optional<UIColor> color);
    // The width of a fixed space, or of the item when above 0.
    double width() const { return width_; }
    void setWidth(double width);

    const void* target() const { return target_; }
    void setTarget(const void* target) { target_ = target; }
    void setAction(Action action) { action_ = std::move(action); }
    // Runs the action as a press would.
    void sendAction();

    // What the bars show: the custom view, or a button made once for the item; null for
    // spaces.
    std::shared_ptr<UIView> view();
    // The width the item takes in a bar (spaces: their fixed width or 0).
    double preferredWidth();
    // For the bars: the colour of the title or glyph when the item has no tint of its own.
    void applyBarTint(const UIColor& tint);

  private:
    void updateView();

    std::optional<UIBarButtonSystemItem> systemItem_;
    UIBarButtonItemStyle style_ = UIBarButtonItemStyle::Plain;
    std::string title_;
    UIImageRef image_;
    std::shared_ptr<UIView> customView_;
    bool enabled_ = true;
    std::optional<UIColor> tintColor_;
    double width_ = 0;
    const void* target_ = nullptr;
    Action action_;
    std::shared_ptr<UIView> view_;
    UIColor barTint_ = UIColor::systemBlueColor();
};

using UIBarButtonItemRef = std::shared_ptr<UIBarButtonItem>;

}  // namespace hx

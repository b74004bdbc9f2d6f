#pragma once
// The small declarative view layer widgets describe their content with: text, images,
// colours, stacks, spacers, frames, backgrounds and a geometry reader. A view is an immutable
// description; a widget's own views (its entry view) describe themselves with body(), and the
// primitive views here lay themselves out and draw with the UI layer's 2D context.
//
// Layout: a parent proposes a size, the child answers the size it takes (sizeThatFits), and the
// parent places it. Text takes its line, images made resizable and colours take what is
// proposed, frames take their given sides, stacks add up or overlay their children, a spacer
// in a vertical stack takes the height left over.
//
// Threads: views are made and drawn on one thread (the host's main thread).

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/geometry/Geometry.h"
#include "platform/ui/drawing/CGContext.h"
#include "platform/ui/drawing/UIColor.h"
#include "platform/ui/drawing/UIFont.h"
#include "platform/ui/drawing/UIImage.h"
#include "platform/widgetkit/WidgetFamily.h"

namespace hx {

// What the host tells a widget's views about where they are shown.
struct EnvironmentValues {
    WidgetFamily widgetFamily = WidgetFamily::systemSmall;
    double displayScale = 2;
};

class View;
using ViewRef = std::shared_ptr<const View>;

class View : public std::enable_shared_from_this<View> {
  public:
    virtual ~View() = default;

    // A composite view's description in other views; null for the primitives.
    virtual ViewRef body(const EnvironmentValues& environment) const;
    // The size this view takes of `proposal` (a side may be infinite: no limit).
    virtual CGSize sizeThatFits(CGSize proposal, const EnvironmentValues& environment) const;
    // Draws the view into `rect`, the size it answered, in the context's points.
    virtual void draw(CGContext& context, const CGRect& rect,
                      const EnvironmentValues& environment) const;
    // Spacers share out what a stack has left.
    virtual std::optional<double> spacerMinLength() const { return std::nullopt; }
};

enum class Alignment { center, top, bottom, leading, trailing };
enum class HorizontalAlignment { center, leading, trailing };

class Text final : public View {
  public:
    static std::shared_ptr<Text> make(std::string text);
    std::shared_ptr<Text> font(UIFont font);
    std::shared_ptr<Text> foregroundColor(UIColor color);

    const std::string& text() const { return text_; }
    CGSize sizeThatFits(CGSize proposal, const EnvironmentValues& environment) const override;
    void draw(CGContext& context, const CGRect& rect,
              const EnvironmentValues& environment) const override;

  private:
    std::string text_;
    // The body text style and the primary colour until set.
    UIFont font_ = UIFont::systemFontOfSize(17);
    UIColor color_ = UIColor::blackColor();
};

class Image final : public View {
  public:
    static std::shared_ptr<Image> make(UIImageRef image);
    // Takes the size proposed instead of its own, stretching the picture to it.
    std::shared_ptr<Image> resizable();

    CGSize sizeThatFits(CGSize proposal, const EnvironmentValues& environment) const override;
    void draw(CGContext& context, const CGRect& rect,
              const EnvironmentValues& environment) const override;

  private:
    UIImageRef image_;
    bool resizable_ = false;
};

// A colour fills what it is proposed.
class ColorView final : public View {
  public:
    explicit ColorView(UIColor color) : color_(color) {}
    CGSize sizeThatFits(CGSize proposal, const EnvironmentValues& environment) const override;
    void draw(CGContext& context, const CGRect& rect,
              const EnvironmentValues& environment) const override;

  private:
    UIColor color_;
};

class Spacer final : public View {
  public:
    explicit Spacer(double minLength = 0) : minLength_(minLength) {}
    CGSize sizeThatFits(CGSize proposal, const EnvironmentValues& environment) const override;
    void draw(CGContext&, const CGRect&, const EnvironmentValues&) const override {}
    std::optional<double> spacerMinLength() const override { return minLength_; }

  private:
    double minLength_;
};

// Children top to bottom, `spacing` points apart, aligned across.
class VStack final : public View {
  public:
    VStack(std::vector<ViewRef> children,
           HorizontalAlignment alignment = HorizontalAlignment::center, double spacing = 0)
        : children_(std::move(children)), alignment_(alignment), spacing_(spacing) {}
    CGSize sizeThatFits(CGSize proposal, const EnvironmentValues& environment) const override;
    void draw(CGContext& context, const CGRect& rect,
              const EnvironmentValues& environment) const override;

  private:
    // The heights of the children in a stack `height` high (infinite: their own).
    std::vector<CGSize> layout(CGSize proposal, const EnvironmentValues& environment) const;
    std::vector<ViewRef> children_;
    HorizontalAlignment alignment_;
    double spacing_;
};

// Children on top of each other, the first at the back, each aligned in the stack.
class ZStack final : public View {
  public:
    explicit ZStack(std::vector<ViewRef> children, Alignment alignment = Alignment::center)
        : children_(std::move(children)), alignment_(alignment) {}
    CGSize sizeThatFits(CGSize proposal, const EnvironmentValues& environment) const override;
    void draw(CGContext& context, const CGRect& rect,
              const EnvironmentValues& environment) const override;

  private:
    std::vector<ViewRef> children_;
    Alignment alignment_;
};

// Proposes its own size to its content: the size of the widget, as the family gives it.
class GeometryReader final : public View {
  public:
    using Content = std::function<ViewRef(CGSize size)>;
    explicit GeometryReader(Content content) : content_(std::move(content)) {}
    CGSize sizeThatFits(CGSize proposal, const EnvironmentValues& environment) const override;
    void draw(CGContext& context, const CGRect& rect,
              const EnvironmentValues& environment) const override;

  private:
    Content content_;
};

// Modifiers: each makes a new view around `view`.
// A frame of the given sides (the content's own where a side is not given), the content
// aligned in it.
ViewRef frame(ViewRef view, std::optional<double> width, std::optional<double> height,
              Alignment alignment = Alignment::center);
// `color` behind the view, the view's size. `ignoresSafeArea` lets it reach the container's
// edges: widgets have no safe-area insets, so it is the view's own rectangle.
ViewRef background(ViewRef view, UIColor color, bool ignoresSafeArea = false);
// The colour of the widget's container behind the view, reaching the widget's edges.
ViewRef containerBackground(ViewRef view, UIColor color);

// Draws `view` the way the host shows it: proposed `size` points, placed in the middle, at
// `environment.displayScale`. Transparent where nothing is drawn.
void drawWidgetView(const View& view, CGContext& context, CGSize size,
                    const EnvironmentValues& environment);

}  // namespace hx

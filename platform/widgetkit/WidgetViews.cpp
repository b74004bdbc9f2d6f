#include "platform/widgetkit/WidgetViews.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QFontMetricsF>
#include <QPainter>

#include "platform/ui/host/QtApplication.h"

namespace hx {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Where a child of `size` sits in `rect` with `alignment`.
CGRect place(CGSize size, const CGRect& rect, Alignment alignment) {
    double x = rect.origin.x + (rect.size.width - size.width) / 2;
    double y = rect.origin.y + (rect.size.height - size.height) / 2;
    switch (alignment) {
        case Alignment::top:
            y = rect.origin.y;
            break;
        case Alignment::bottom:
            y = rect.origin.y + rect.size.height - size.height;
            break;
        case Alignment::leading:
            x = rect.origin.x;
            break;
        case Alignment::trailing:
            x = rect.origin.x + rect.size.width - size.width;
            break;
        case Alignment::center:
            break;
    }
    return {{x, y}, size};
}

double finiteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

class FrameView final : public View {
  public:
    FrameView(ViewRef content, std::optional<double> width, std::optional<double> height,
              Alignment alignment)
        : content_(std::move(content)), width_(width), height_(height), alignment_(alignment) {}

    CGSize sizeThatFits(CGSize proposal, const EnvironmentValues& environment) const override {
        if (width_ && height_) return {*width_, *height_};
        const CGSize inner = content_->sizeThatFits(
            {width_.value_or(proposal.width), height_.value_or(proposal.height)}, environment);
        return {width_.value_or(inner.width), height_.value_or(inner.height)};
    }

    void draw(CGContext& context, const CGRect& rect,
              const EnvironmentValues& environment) const override {
        const CGSize inner = content_->sizeThatFits(rect.size, environment);
        content_->draw(context, place(inner, rect, alignment_), environment);
    }

  private:
    ViewRef content_;
    std::optional<double> width_;
    std::optional<double> height_;
    Alignment alignment_;
};

class BackgroundView final : public View {
  public:
    BackgroundView(ViewRef content, UIColor color) : content_(std::move(content)), color_(color) {}

    CGSize sizeThatFits(CGSize proposal, const EnvironmentValues& environment) const override {
        return content_->sizeThatFits(proposal, environment);
    }

    void draw(CGContext& context, const CGRect& rect,
              const EnvironmentValues& environment) const override {
        if (!color_.isClear()) {
            CGContextSetFillColorWithColor(&context, color_);
            CGContextFillRect(&context, rect);
        }
        content_->draw(context, rect, environment);
    }

  private:
    ViewRef content_;
    UIColor color_;
};

// The container's background reaches the widget's edges whatever the view's own size.
class ContainerBackgroundView final : public View {
  public:
    ContainerBackgroundView(ViewRef content, UIColor color)
        : content_(std::move(content)), color_(color) {}

    CGSize sizeThatFits(CGSize proposal, const EnvironmentValues& environment) const override {
        return content_->sizeThatFits(proposal, environment);
    }

    void draw(CGContext& context, const CGRect& rect,
              const EnvironmentValues& environment) const override {
        if (!color_.isClear()) {
            // The whole surface: the container is what the host draws the widget into.
            const QRect device = context.painter().viewport();
            CGContextSaveGState(&context);
            context.painter().resetTransform();
            context.painter().fillRect(
                device, QColor::fromRgbF(
                            static_cast<float>(color_.red()), static_cast<float>(color_.green()),
                            static_cast<float>(color_.blue()), static_cast<float>(color_.alpha())));
            CGContextRestoreGState(&context);
        }
        content_->draw(context, rect, environment);
    }

  private:
    ViewRef content_;
    UIColor color_;
};

}  // namespace

ViewRef View::body(const EnvironmentValues&) const {
    return nullptr;
}

CGSize View::sizeThatFits(CGSize proposal, const EnvironmentValues& environment) const {
    if (ViewRef described = body(environment))
        return described->sizeThatFits(proposal, environment);
    return {finiteOr(proposal.width, 0), finiteOr(proposal.height, 0)};
}

void View::draw(CGContext& context, const CGRect& rect,
                const EnvironmentValues& environment) const {
    if (ViewRef described = body(environment)) {
        const CGSize size = described->sizeThatFits(rect.size, environment);
        described->draw(context, place(size, rect, Alignment::center), environment);
    }
}

// Text

std::shared_ptr<Text> Text::make(std::string text) {
    auto view = std::make_shared<Text>();
    view->text_ = std::move(text);
    return view;
}

std::shared_ptr<Text> Text::font(UIFont font) {
    font_ = font;
    return std::static_pointer_cast<Text>(shared_from_this());
}

std::shared_ptr<Text> Text::foregroundColor(UIColor color) {
    color_ = color;
    return std::static_pointer_cast<Text>(shared_from_this());
}

CGSize Text::sizeThatFits(CGSize proposal, const EnvironmentValues&) const {
    if (text_.empty()) return {0, 0};
    const CGSize line = font_.sizeOfText(text_);
    return {std::min(std::ceil(line.width), proposal.width),
            std::min(std::ceil(line.height), proposal.height)};
}

void Text::draw(CGContext& context, const CGRect& rect,
                const EnvironmentValues& environment) const {
    if (text_.empty() || color_.isClear()) return;
    const double scale = std::max(1.0, environment.displayScale);
    QPainter& painter = context.painter();
    painter.save();
    // Glyphs are laid out in device pixels so that they are drawn at their true size.
    painter.scale(1 / scale, 1 / scale);
    const QFont qfont = font_.qfont(scale);
    painter.setFont(qfont);
    painter.setPen(
        QColor::fromRgbF(static_cast<float>(color_.red()), static_cast<float>(color_.green()),
                         static_cast<float>(color_.blue()), static_cast<float>(color_.alpha())));
    // A line wider than its frame is cut short with an ellipsis and stays centred.
    QRectF box(rect.origin.x * scale, rect.origin.y * scale, rect.size.width * scale,
               rect.size.height * scale);
    const QFontMetricsF metrics(qfont);
    const QString text =
        metrics.elidedText(QString::fromStdString(text_), Qt::ElideRight, box.width());
    // Text taller than its frame (a 14-point line in a 14-point frame) overflows it evenly, as
    // a line's leading does; it is not clipped.
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, text);
    painter.restore();
}

// Image

std::shared_ptr<Image> Image::make(UIImageRef image) {
    auto view = std::make_shared<Image>();
    view->image_ = std::move(image);
    return view;
}

std::shared_ptr<Image> Image::resizable() {
    resizable_ = true;
    return std::static_pointer_cast<Image>(shared_from_this());
}

CGSize Image::sizeThatFits(CGSize proposal, const EnvironmentValues&) const {
    const CGSize own = image_ ? image_->size() : CGSize{0, 0};
    if (!resizable_) return own;
    return {finiteOr(proposal.width, own.width), finiteOr(proposal.height, own.height)};
}

void Image::draw(CGContext& context, const CGRect& rect, const EnvironmentValues&) const {
    if (!image_) return;
    CGContextDrawImage(&context, rect, *image_);
}

// Colour, spacer

CGSize ColorView::sizeThatFits(CGSize proposal, const EnvironmentValues&) const {
    return {finiteOr(proposal.width, 0), finiteOr(proposal.height, 0)};
}

void ColorView::draw(CGContext& context, const CGRect& rect, const EnvironmentValues&) const {
    if (color_.isClear()) return;
    CGContextSetFillColorWithColor(&context, color_);
    CGContextFillRect(&context, rect);
}

CGSize Spacer::sizeThatFits(CGSize, const EnvironmentValues&) const {
    return {0, minLength_};
}

// Stacks

std::vector<CGSize> VStack::layout(CGSize proposal, const EnvironmentValues& environment) const {
    std::vector<CGSize> sizes(children_.size());
    double used = children_.empty() ? 0 : spacing_ * static_cast<double>(children_.size() - 1);
    int spacers = 0;
    for (size_t i = 0; i < children_.size(); ++i) {
        if (auto minimum = children_[i]->spacerMinLength()) {
            ++spacers;
            used += *minimum;
            continue;
        }
        const double left = std::max(0.0, proposal.height - used);
        sizes[i] = children_[i]->sizeThatFits({proposal.width, left}, environment);
        used += sizes[i].height;
    }
    // What is left goes to the spacers, in equal shares (none when the height is unlimited).
    const double extra =
        spacers > 0 && std::isfinite(proposal.height) ? std::max(0.0, proposal.height - used) : 0;
    for (size_t i = 0; i < children_.size(); ++i) {
        if (auto minimum = children_[i]->spacerMinLength())
            sizes[i] = {0, *minimum + extra / spacers};
    }
    return sizes;
}

CGSize VStack::sizeThatFits(CGSize proposal, const EnvironmentValues& environment) const {
    const std::vector<CGSize> sizes = layout(proposal, environment);
    CGSize total{0, children_.empty() ? 0 : spacing_ * static_cast<double>(children_.size() - 1)};
    for (const CGSize& size : sizes) {
        total.width = std::max(total.width, size.width);
        total.height += size.height;
    }
    return total;
}

void VStack::draw(CGContext& context, const CGRect& rect,
                  const EnvironmentValues& environment) const {
    const std::vector<CGSize> sizes = layout(rect.size, environment);
    double y = rect.origin.y;
    for (size_t i = 0; i < children_.size(); ++i) {
        double x = rect.origin.x + (rect.size.width - sizes[i].width) / 2;
        if (alignment_ == HorizontalAlignment::leading) x = rect.origin.x;
        if (alignment_ == HorizontalAlignment::trailing)
            x = rect.origin.x + rect.size.width - sizes[i].width;
        children_[i]->draw(context, {{x, y}, sizes[i]}, environment);
        y += sizes[i].height + spacing_;
    }
}

CGSize ZStack::sizeThatFits(CGSize proposal, const EnvironmentValues& environment) const {
    CGSize total{0, 0};
    for (const ViewRef& child : children_) {
        const CGSize size = child->sizeThatFits(proposal, environment);
        total.width = std::max(total.width, size.width);
        total.height = std::max(total.height, size.height);
    }
    return total;
}

void ZStack::draw(CGContext& context, const CGRect& rect,
                  const EnvironmentValues& environment) const {
    for (const ViewRef& child : children_) {
        const CGSize size = child->sizeThatFits(rect.size, environment);
        child->draw(context, place(size, rect, alignment_), environment);
    }
}

CGSize GeometryReader::sizeThatFits(CGSize proposal, const EnvironmentValues&) const {
    return {finiteOr(proposal.width, 0), finiteOr(proposal.height, 0)};
}

void GeometryReader::draw(CGContext& context, const CGRect& rect,
                          const EnvironmentValues& environment) const {
    ViewRef content = content_ ? content_(rect.size) : nullptr;
    if (!content) return;
    const CGSize size = content->sizeThatFits(rect.size, environment);
    content->draw(context, place(size, rect, Alignment::center), environment);
}

// Modifiers

ViewRef frame(ViewRef view, std::optional<double> width, std::optional<double> height,
              Alignment alignment) {
    return std::make_shared<FrameView>(std::move(view), width, height, alignment);
}

ViewRef background(ViewRef view, UIColor color, bool) {
    return std::make_shared<BackgroundView>(std::move(view), color);
}

ViewRef containerBackground(ViewRef view, UIColor color) {
    return std::make_shared<ContainerBackgroundView>(std::move(view), color);
}

void drawWidgetView(const View& view, CGContext& context, CGSize size,
                    const EnvironmentValues& environment) {
    ui::ensureQtApplication();
    CGContext::CurrentScope current(context);
    const CGSize taken = view.sizeThatFits(size, environment);
    view.draw(context, place(taken, {{0, 0}, size}, Alignment::center), environment);
}

}  // namespace hx

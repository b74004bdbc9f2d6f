#include "widget/PhotoView.h"

#include "platform/bundle/Bundle.h"

namespace hx {

namespace {

std::string noImageText() {
    return Bundle::main().localizedStringForKey("no image");
}

}  // namespace

PhotoView::PhotoView(std::string title)
    : title_(std::move(title)), _assetImageModel(std::make_shared<AssetImageModel>()) {}

ViewRef PhotoView::noImage(CGSize size, double fontSize, bool sized) const {
    auto text = Text::make(noImageText())->foregroundColor(UIColor::whiteColor());
    if (sized) text->font(UIFont::systemFontOfSize(fontSize));
    return background(frame(text, size.width, size.height), UIColor::blackColor(), true);
}

ViewRef PhotoView::body(const EnvironmentValues& environment) const {
    const WidgetFamily family = environment.widgetFamily;
    const std::shared_ptr<const AssetImageModel> model = _assetImageModel;
    auto self = std::static_pointer_cast<const PhotoView>(shared_from_this());
    return std::make_shared<GeometryReader>([self, model, family](CGSize size) -> ViewRef {
        const double w = size.width;
        const double h = size.height;
        const UIImageRef& image = model->assetImage();
        const std::string stamp = model->assetTimeStamp().value_or("");
        switch (family) {
            case WidgetFamily::systemSmall: {
                if (!image) return self->noImage(size, 0, false);
                auto date = Text::make(stamp)
                                ->font(UIFont::systemFontOfSize(14))
                                ->foregroundColor(UIColor::whiteColor());
                ViewRef dateLine = background(frame(date, w, 14), UIColor::clearColor());
                ViewRef column = std::make_shared<VStack>(
                    std::vector<ViewRef>{std::make_shared<Spacer>(), dateLine});
                return std::make_shared<ZStack>(
                    std::vector<ViewRef>{frame(Image::make(image)->resizable(), w, h),
                                         frame(column, w, h - 28, Alignment::bottom)});
            }
            case WidgetFamily::accessoryCircular: {
                if (!image) return self->noImage(size, 10, true);
                auto date = Text::make(stamp)
                                ->font(UIFont::systemFontOfSize(10))
                                ->foregroundColor(UIColor::whiteColor());
                return std::make_shared<ZStack>(
                    std::vector<ViewRef>{frame(Image::make(image)->resizable(), w, h),
                                         background(frame(date, w, h), UIColor::clearColor())});
            }
            default:
                // Families the widget does not offer.
                return Text::make(noImageText());
        }
    });
}

}  // namespace hx

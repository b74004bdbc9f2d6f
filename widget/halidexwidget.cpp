#include "widget/halidexwidget.h"

#include "platform/bundle/Bundle.h"
#include "widget/PhotoView.h"
#include "widget/Provider.h"

namespace hx {

halidexwidgetEntryView::halidexwidgetEntryView(SimpleEntry entry)
    : entry_(std::move(entry)), photoView_(std::make_shared<PhotoView>(entry_.title)) {}

ViewRef halidexwidgetEntryView::body(const EnvironmentValues&) const {
    // The widget's own background is clear: the photo, or the black "no image", is all it
    // draws, on whatever the host puts behind widgets.
    return containerBackground(photoView_, UIColor::clearColor());
}

WidgetConfiguration halidexwidget::body() const {
    Bundle& bundle = Bundle::main();
    return IntentConfiguration(kind, std::make_shared<Provider>(),
                               [](const SimpleEntry& entry) -> ViewRef {
                                   return std::make_shared<halidexwidgetEntryView>(entry);
                               })
        .configurationDisplayName(bundle.localizedStringForKey("widget_displayname"))
        .description(bundle.localizedStringForKey("widget_description"))
        .supportedFamilies(supportedFamilies());
}

std::vector<std::shared_ptr<const Widget>> halidexwidgetBundle::body() const {
    return {std::make_shared<halidexwidget>()};
}

}  // namespace hx

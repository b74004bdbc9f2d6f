#pragma once
// The widget extension's declarations: the bundle (its entry point), the one widget it holds,
// and the view of each entry.

#include <memory>
#include <vector>

#include "platform/widgetkit/Widget.h"
#include "widget/SimpleEntry.h"

namespace hx {

class halidexwidgetEntryView final : public View {
  public:
    // Makes the entry's PhotoView, and so picks its photo, once for the life of this view.
    explicit halidexwidgetEntryView(SimpleEntry entry);
    const SimpleEntry& entry() const { return entry_; }
    // The PhotoView on a clear widget background.
    ViewRef body(const EnvironmentValues& environment) const override;

  private:
    SimpleEntry entry_;
    ViewRef photoView_;
};

class halidexwidget final : public Widget {
  public:
    static constexpr const char* kind = "halidexwidget";
    static std::vector<WidgetFamily> supportedFamilies() {
        return {WidgetFamily::systemSmall, WidgetFamily::accessoryCircular};
    }

    WidgetConfiguration body() const override;
};

class halidexwidgetBundle final : public WidgetBundle {
  public:
    std::vector<std::shared_ptr<const Widget>> body() const override;
};

}  // namespace hx

#pragma once
// The widget's timeline provider. Placeholders and snapshots are made from the date alone and
// never read the photo library; a timeline is one entry for now and a new timeline 30 minutes
// later. The photo is chosen by the entry's view (PhotoView), not here.

#include "platform/widgetkit/TimelineProvider.h"
#include "widget/SimpleEntry.h"
#include "widget/intents/hxConfigurationIntent.h"

namespace hx {

class Provider final : public IntentTimelineProvider<hxConfigurationIntent, SimpleEntry> {
  public:
    // Minutes from one timeline to the next.
    static constexpr double kRefreshMinutes = 30;

    SimpleEntry placeholder(const TimelineProviderContext& context) override;
    void getSnapshot(const hxConfigurationIntent& configuration,
                     const TimelineProviderContext& context,
                     std::function<void(SimpleEntry)> completion) override;
    void getTimeline(const hxConfigurationIntent& configuration,
                     const TimelineProviderContext& context,
                     std::function<void(Timeline<SimpleEntry>)> completion) override;
};

}  // namespace hx

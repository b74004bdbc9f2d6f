#include "widget/Provider.h"

#include "platform/log/Log.h"

namespace hx {

SimpleEntry Provider::placeholder(const TimelineProviderContext&) {
    return SimpleEntry(Date::now(), "Film");
}

void Provider::getSnapshot(const hxConfigurationIntent&, const TimelineProviderContext&,
                           std::function<void(SimpleEntry)> completion) {
    completion(SimpleEntry(Date::now(), "Film"));
}

void Provider::getTimeline(const hxConfigurationIntent&, const TimelineProviderContext&,
                           std::function<void(Timeline<SimpleEntry>)> completion) {
    const Date now = Date::now();
    std::optional<Date> refresh =
        Calendar::currentCalendar().dateByAddingMinutes(kRefreshMinutes, now);
    Timeline<SimpleEntry> timeline;
    timeline.entries.emplace_back(Date::now(), "");
    if (refresh) {
        timeline.policy = TimelineReloadPolicy::after(*refresh);
    } else {
        // A clock gone wrong (a date beyond the calendar) must not leave the widget asking for
        // timelines over and over: it waits for the camera's next reload request instead.
        hxLog("Widget: no date 30 minutes after %s; the next timeline waits for a reload request",
              now.iso8601().c_str());
        timeline.policy = TimelineReloadPolicy::never();
    }
    completion(std::move(timeline));
}

}  // namespace hx

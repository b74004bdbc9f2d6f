#pragma once
// What a widget gives the host its entries with. A widget writes an IntentTimelineProvider for
// its intent and entry types; the host sees every provider through AnyTimelineProvider.
//
// Threads: the host calls providers on its main thread; a completion may be called on any
// thread, at once or later, and exactly once.

#include <functional>
#include <memory>
#include <string>

#include "platform/geometry/Geometry.h"
#include "platform/intents/INIntent.h"
#include "platform/widgetkit/Timeline.h"
#include "platform/widgetkit/WidgetFamily.h"

namespace hx {

struct TimelineProviderContext {
    WidgetFamily family = WidgetFamily::systemSmall;
    CGSize displaySize;
    // True in a gallery or preview, where the widget is shown to be chosen.
    bool isPreview = false;

    static TimelineProviderContext forFamily(WidgetFamily family, bool preview = false) {
        return {family, widgetDisplaySize(family), preview};
    }
};

template <class Intent, class Entry>
class IntentTimelineProvider {
  public:
    using IntentType = Intent;
    using EntryType = Entry;

    virtual ~IntentTimelineProvider() = default;
    // An entry to show while nothing is known yet; quick and without reading any data.
    virtual Entry placeholder(const TimelineProviderContext& context) = 0;
    // An entry for a quick look at the widget.
    virtual void getSnapshot(const Intent& configuration, const TimelineProviderContext& context,
                             std::function<void(Entry)> completion) = 0;
    virtual void getTimeline(const Intent& configuration, const TimelineProviderContext& context,
                             std::function<void(Timeline<Entry>)> completion) = 0;
};

class AnyTimelineProvider {
  public:
    virtual ~AnyTimelineProvider() = default;
    // A new configuration intent of the provider's intent type, with its defaults.
    virtual std::unique_ptr<INIntent> makeIntent() const = 0;
    virtual TimelineEntryRef placeholder(const TimelineProviderContext& context) = 0;
    virtual void getSnapshot(const INIntent& configuration, const TimelineProviderContext& context,
                             std::function<void(TimelineEntryRef)> completion) = 0;
    virtual void getTimeline(const INIntent& configuration, const TimelineProviderContext& context,
                             std::function<void(AnyTimeline)> completion) = 0;
};

// A widget's provider seen as AnyTimelineProvider. A configuration of another intent type
// than the provider's is replaced by a new one of its own.
template <class Provider>
class TimelineProviderAdapter final : public AnyTimelineProvider {
  public:
    using Intent = typename Provider::IntentType;
    using Entry = typename Provider::EntryType;

    explicit TimelineProviderAdapter(std::shared_ptr<Provider> provider)
        : provider_(std::move(provider)) {}

    std::unique_ptr<INIntent> makeIntent() const override { return std::make_unique<Intent>(); }

    TimelineEntryRef placeholder(const TimelineProviderContext& context) override {
        return std::make_shared<const Entry>(provider_->placeholder(context));
    }

    void getSnapshot(const INIntent& configuration, const TimelineProviderContext& context,
                     std::function<void(TimelineEntryRef)> completion) override {
        withIntent(configuration, [&](const Intent& intent) {
            provider_->getSnapshot(intent, context, [completion](Entry entry) {
                completion(std::make_shared<const Entry>(std::move(entry)));
            });
        });
    }

    void getTimeline(const INIntent& configuration, const TimelineProviderContext& context,
                     std::function<void(AnyTimeline)> completion) override {
        withIntent(configuration, [&](const Intent& intent) {
            provider_->getTimeline(intent, context, [completion](Timeline<Entry> timeline) {
                AnyTimeline any;
                any.policy = timeline.policy;
                for (Entry& entry : timeline.entries)
                    any.entries.push_back(std::make_shared<const Entry>(std::move(entry)));
                completion(std::move(any));
            });
        });
    }

  private:
    template <class Use>
    void withIntent(const INIntent& configuration, Use use) {
        if (const auto* intent = dynamic_cast<const Intent*>(&configuration)) {
            use(*intent);
        } else {
            const Intent fresh;
            use(fresh);
        }
    }

    std::shared_ptr<Provider> provider_;
};

}  // namespace hx

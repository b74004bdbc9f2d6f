#include "tools/halidex-widget-host/WidgetHost.h"

#include <algorithm>
#include <cstdio>

#include "platform/log/Log.h"
#include "platform/runloop/RunLoop.h"
#include "platform/widgetkit/WidgetRenderer.h"

namespace hx::widget_host {

const char* reloadCauseText(ReloadCause cause) {
    switch (cause) {
        case ReloadCause::firstTimeline:
            return "first timeline";
        case ReloadCause::policyDate:
            return "policy date";
        case ReloadCause::endOfTimeline:
            return "end of timeline";
        case ReloadCause::reloadRequest:
            return "reload request";
    }
    return "reload";
}

// Instance

WidgetInstance::WidgetInstance(WidgetHost& host, std::shared_ptr<WidgetBundle> bundle,
                               WidgetConfiguration configuration, WidgetFamily family)
    : host_(host),
      bundle_(std::move(bundle)),
      configuration_(std::move(configuration)),
      family_(family),
      intent_(configuration_.provider().makeIntent()) {}

WidgetInstance::~WidgetInstance() {
    *alive_ = false;
    cancelScheduled();
}

std::string WidgetInstance::name() const {
    return configuration_.kind() + " " + widgetFamilyName(family_);
}

CancelToken WidgetInstance::at(Date date, std::function<void()> work) {
    const double delay =
        std::max(0.0, date.timeIntervalSince1970 - Date::now().timeIntervalSince1970);
    return RunLoop::main().postAfter(delay, [alive = alive_, work = std::move(work)] {
        if (*alive) work();
    });
}

void WidgetInstance::cancelScheduled() {
    for (const CancelToken& token : scheduled_) token.cancel();
    scheduled_.clear();
    nextReload_.reset();
}

void WidgetInstance::reload(ReloadCause cause) {
    ++reloads_;
    const unsigned generation = ++generation_;
    if (host_.options().logReloads)
        host_.print("reload " + name() + ": " + reloadCauseText(cause) + " at " +
                    Date::now().iso8601());
    const auto context = TimelineProviderContext::forFamily(family_);
    configuration_.provider().getTimeline(
        *intent_, context, [this, alive = alive_, generation](AnyTimeline timeline) {
            auto deliver = [this, alive, generation, timeline = std::move(timeline)]() mutable {
                if (*alive) apply(std::move(timeline), generation);
            };
            if (RunLoop::isMainThread())
                deliver();
            else
                RunLoop::main().post(std::move(deliver));
        });
}

void WidgetInstance::apply(AnyTimeline timeline, unsigned generation) {
    // A reload asked for since this timeline was: its answer wins.
    if (generation != generation_) return;
    cancelScheduled();
    std::vector<TimelineEntryRef> entries;
    for (TimelineEntryRef& entry : timeline.entries)
        if (entry) entries.push_back(std::move(entry));
    std::stable_sort(
        entries.begin(), entries.end(),
        [](const TimelineEntryRef& a, const TimelineEntryRef& b) { return a->date < b->date; });
    const Date now = Date::now();
    if (entries.empty()) {
        hxLog("Widget host: %s gave a timeline without entries", name().c_str());
    } else {
        // The last entry whose date has come is shown now; the later ones at their dates.
        size_t current = 0;
        for (size_t i = 0; i < entries.size(); ++i)
            if (entries[i]->date <= now) current = i;
        show(entries[current]);
        for (size_t i = current + 1; i < entries.size(); ++i)
            scheduled_.push_back(at(entries[i]->date, [this, entry = entries[i]] { show(entry); }));
    }

    std::optional<Date> reloadAt;
    ReloadCause cause = ReloadCause::policyDate;
    switch (timeline.policy.kind()) {
        case TimelineReloadPolicy::Kind::after:
            reloadAt = timeline.policy.date();
            break;
        case TimelineReloadPolicy::Kind::atEnd:
            cause = ReloadCause::endOfTimeline;
            reloadAt = entries.empty() ? now : entries.back()->date;
            if (reloadAt->timeIntervalSince1970 <= now.timeIntervalSince1970)
                reloadAt = Date{now.timeIntervalSince1970 + kMinimumReloadSeconds};
            break;
        case TimelineReloadPolicy::Kind::never:
            break;
    }
    if (reloadAt) {
        nextReload_ = reloadAt;
        scheduled_.push_back(at(*reloadAt, [this, cause] { reload(cause); }));
    }
    if (host_.options().logReloads)
        host_.print("timeline " + name() + ": " + std::to_string(entries.size()) +
                    (entries.size() == 1 ? " entry" : " entries") + ", next reload " +
                    (reloadAt ? reloadAt->iso8601() : std::string("when asked")));
}

void WidgetInstance::show(const TimelineEntryRef& entry) {
    entry_ = entry;
    ++entriesShown_;
    // A new view for every entry: the widget's views pick what they show when they are made.
    ViewRef view = configuration_.makeView(*entry);
    if (!view) {
        hxLog("Widget host: %s has no view for its entry", name().c_str());
        picture_ = QImage();
    } else {
        picture_ = WidgetRenderer::renderOnPlate(*view, family_, host_.options().scale);
    }
    if (host_.onPicture) host_.onPicture(*this);
}

// Host

WidgetHost::WidgetHost(Options options) : options_(std::move(options)) {}

WidgetHost::~WidgetHost() {
    if (listener_) listener_->stop();
    instances_.clear();
}

void WidgetHost::print(const std::string& line) const {
    if (options_.print) {
        options_.print(line);
    } else {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
}

size_t WidgetHost::addBundle(const std::shared_ptr<WidgetBundle>& bundle,
                             const std::vector<WidgetFamily>& families) {
    size_t added = 0;
    for (const std::shared_ptr<const Widget>& widget : bundle->body()) {
        WidgetConfiguration configuration = widget->body();
        for (WidgetFamily family : configuration.families()) {
            if (!families.empty() &&
                std::find(families.begin(), families.end(), family) == families.end())
                continue;
            instances_.push_back(
                std::make_unique<WidgetInstance>(*this, bundle, configuration, family));
            ++added;
        }
    }
    return added;
}

bool WidgetHost::startListening(std::string* error) {
    listener_ = std::make_unique<WidgetReloadListener>(
        [this] { reloadAllTimelines(ReloadCause::reloadRequest); });
    return listener_->start(error);
}

void WidgetHost::start() {
    for (auto& instance : instances_) instance->reload(ReloadCause::firstTimeline);
}

void WidgetHost::reloadAllTimelines(ReloadCause cause) {
    for (auto& instance : instances_) instance->reload(cause);
}

}  // namespace hx::widget_host

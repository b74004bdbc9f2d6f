#pragma once
// The desktop's stand-in for the phone's widget host: it holds the configured widgets (one
// widget of a bundle in one family each), asks their providers for timelines, shows each entry
// from its date on by making the entry's view afresh and drawing it, and asks for the next
// timeline as the reload policy says, all on the run loop's clock. A reload request (the
// camera's datagram, WidgetReloadListener) asks every widget for a new timeline at once.
//
// Threads: main thread only. Providers may call their completions on any thread; the host
// takes them over to the main thread.

#include <QImage>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/runloop/CancelToken.h"
#include "platform/widgetkit/Widget.h"
#include "platform/widgetkit/WidgetReloadListener.h"

namespace hx::widget_host {

enum class ReloadCause { firstTimeline, policyDate, endOfTimeline, reloadRequest };
const char* reloadCauseText(ReloadCause cause);

// An atEnd timeline whose end has passed asks again after this long, not at once, so that a
// provider that keeps answering with old entries cannot keep the host busy.
inline constexpr double kMinimumReloadSeconds = 5 * 60;

class WidgetHost;

// One configured widget in one family.
class WidgetInstance {
  public:
    WidgetInstance(WidgetHost& host, std::shared_ptr<WidgetBundle> bundle,
                   WidgetConfiguration configuration, WidgetFamily family);
    ~WidgetInstance();

    const WidgetConfiguration& configuration() const { return configuration_; }
    WidgetFamily family() const { return family_; }
    // "halidexwidget small"
    std::string name() const;

    // The entry on show and its picture (on the host's plate); null and empty before the first.
    const TimelineEntryRef& entry() const { return entry_; }
    const QImage& picture() const { return picture_; }
    int reloads() const { return reloads_; }
    int entriesShown() const { return entriesShown_; }
    // Clock date of the next reload the policy asks for; nothing when none is scheduled.
    std::optional<Date> nextReload() const { return nextReload_; }

    void reload(ReloadCause cause);

  private:
    void apply(AnyTimeline timeline, unsigned generation);
    void show(const TimelineEntryRef& entry);
    void cancelScheduled();
    CancelToken at(Date date, std::function<void()> work);

    WidgetHost& host_;
    std::shared_ptr<WidgetBundle> bundle_;  // keeps the extension's objects alive
    WidgetConfiguration configuration_;
    WidgetFamily family_;
    std::unique_ptr<INIntent> intent_;
    TimelineEntryRef entry_;
    QImage picture_;
    std::vector<CancelToken> scheduled_;
    std::optional<Date> nextReload_;
    unsigned generation_ = 0;
    int reloads_ = 0;
    int entriesShown_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

class WidgetHost {
  public:
    struct Options {
        double scale = 2;
        // One line per reload with its cause.
        bool logReloads = false;
        // Where lines go (standard output when not set).
        std::function<void(const std::string& line)> print;
    };

    explicit WidgetHost(Options options);
    ~WidgetHost();

    // Adds the bundle's widgets, each in the given families that it offers (all it offers when
    // `families` is empty). Returns how many were added.
    size_t addBundle(const std::shared_ptr<WidgetBundle>& bundle,
                     const std::vector<WidgetFamily>& families);
    // Listens for reload requests in the runtime folder; false, with the reason, when it cannot.
    bool startListening(std::string* error);
    // Asks every widget for its first timeline.
    void start();
    void reloadAllTimelines(ReloadCause cause);

    const std::vector<std::unique_ptr<WidgetInstance>>& instances() const { return instances_; }
    const Options& options() const { return options_; }

    // Called whenever a widget shows a new picture.
    std::function<void(WidgetInstance& instance)> onPicture;

    void print(const std::string& line) const;

  private:
    Options options_;
    std::vector<std::unique_ptr<WidgetInstance>> instances_;
    std::unique_ptr<WidgetReloadListener> listener_;
};

}  // namespace hx::widget_host

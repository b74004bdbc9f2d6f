#pragma once
// Timelines: the entries a widget shows, each from its date on, and when the widget host asks
// for the next timeline.
//
// Threads: values; any thread.

#include <memory>
#include <vector>

#include "platform/widgetkit/Date.h"

namespace hx {

// A widget's entry types derive from this and add what their views show.
struct TimelineEntry {
    Date date;

    explicit TimelineEntry(Date entryDate) : date(entryDate) {}
    virtual ~TimelineEntry() = default;
};
using TimelineEntryRef = std::shared_ptr<const TimelineEntry>;

class TimelineReloadPolicy {
  public:
    enum class Kind { atEnd, after, never };

    // A new timeline once the last entry's date has passed.
    static TimelineReloadPolicy atEnd() { return TimelineReloadPolicy(Kind::atEnd, {}); }
    // A new timeline at `date`.
    static TimelineReloadPolicy after(Date date) { return TimelineReloadPolicy(Kind::after, date); }
    // Only when the program asks for one.
    static TimelineReloadPolicy never() { return TimelineReloadPolicy(Kind::never, {}); }

    Kind kind() const { return kind_; }
    // The date of an `after` policy.
    Date date() const { return date_; }

  private:
    TimelineReloadPolicy(Kind kind, Date date) : kind_(kind), date_(date) {}
    Kind kind_;
    Date date_;
};

template <class Entry>
struct Timeline {
    std::vector<Entry> entries;
    TimelineReloadPolicy policy = TimelineReloadPolicy::atEnd();
};

// A timeline of any entry type, as the widget host handles it.
struct AnyTimeline {
    std::vector<TimelineEntryRef> entries;
    TimelineReloadPolicy policy = TimelineReloadPolicy::atEnd();
};

}  // namespace hx

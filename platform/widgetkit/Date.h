#pragma once
// Dates of timelines and photos: seconds since 1970 (UTC). The current date follows the run
// loop's clock from an anchor on the system's clock, so a test that advances the manual clock
// by 30 minutes moves the widgets' date by 30 minutes too; the widget host can set the anchor
// (its --now option) to render a widget as of another date.
//
// Threads: any.

#include <optional>
#include <string>

namespace hx {

struct Date {
    double timeIntervalSince1970 = 0;

    // The current date: the anchor plus the time the run loop's clock has moved since.
    static Date now();
    // Makes `date` the current date at this moment of the run loop's clock.
    static void setNow(Date date);
    // Goes back to following the system's clock.
    static void resetNow();

    // "2026-03-14T09:26:53Z", or with an offset ("+01:00"); a date alone is midnight UTC.
    static std::optional<Date> fromISO8601(const std::string& text);
    // In UTC, to the second: "2026-03-14T09:26:53Z".
    std::string iso8601() const;

    auto operator<=>(const Date&) const = default;
};

// Date arithmetic by calendar components.
class Calendar {
  public:
    static Calendar currentCalendar();
    // `date` moved by `minutes` minutes. Nothing when the result cannot be a date (a date or a
    // count that is not finite, or beyond the year 9999).
    std::optional<Date> dateByAddingMinutes(double minutes, Date date) const;
};

}  // namespace hx

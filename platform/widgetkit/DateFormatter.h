#pragma once
// Formats dates for people: a localised format made from a template of fields ("yMMMdE": year,
// abbreviated month, day, abbreviated weekday) in the order and with the separators the
// locale uses, in a time zone. By default the locale is the one the environment asks for
// dates (LC_ALL, LC_TIME, then LANG; "C" and "POSIX" read as en_US) and the zone the
// system's (TZ, then /etc/localtime), both read when the formatter is made, so a date shows
// the day it was where the person is.
//
// Threads: a formatter is used by one thread at a time.

#include <memory>
#include <string>

#include "platform/widgetkit/Date.h"

namespace hx {

class DateFormatter {
  public:
    DateFormatter();
    ~DateFormatter();
    DateFormatter(const DateFormatter&) = delete;
    DateFormatter& operator=(const DateFormatter&) = delete;

    // "en_US", "de_DE", ...
    void setLocaleIdentifier(const std::string& identifier);
    // An IANA name ("Europe/Berlin"); an unknown name is logged and UTC used.
    void setTimeZoneName(const std::string& name);
    void setLocalizedDateFormatFromTemplate(const std::string& dateTemplate);

    // Empty for a date that is not finite.
    std::string stringFromDate(Date date) const;

    // The locale the environment asks for dates in.
    static std::string localeIdentifierFromEnvironment();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace hx

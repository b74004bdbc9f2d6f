#include "platform/widgetkit/DateFormatter.h"

#include <unicode/dtptngen.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <cmath>
#include <cstdlib>

#include "platform/log/Log.h"

namespace hx {

struct DateFormatter::Impl {
    std::string locale = DateFormatter::localeIdentifierFromEnvironment();
    std::unique_ptr<icu::TimeZone> zone{icu::TimeZone::detectHostTimeZone()};
    std::string dateTemplate = "yMMMdE";
};

DateFormatter::DateFormatter() : impl_(std::make_unique<Impl>()) {}
DateFormatter::~DateFormatter() = default;

void DateFormatter::setLocaleIdentifier(const std::string& identifier) {
    impl_->locale = identifier;
}

void DateFormatter::setTimeZoneName(const std::string& name) {
    std::unique_ptr<icu::TimeZone> zone(
        icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(name)));
    if (*zone == icu::TimeZone::getUnknown()) {
        hxLog("Unknown time zone \"%s\"; dates are shown in UTC", name.c_str());
        zone.reset(icu::TimeZone::createTimeZone("UTC"));
    }
    impl_->zone = std::move(zone);
}

void DateFormatter::setLocalizedDateFormatFromTemplate(const std::string& dateTemplate) {
    impl_->dateTemplate = dateTemplate;
}

std::string DateFormatter::stringFromDate(Date date) const {
    if (!std::isfinite(date.timeIntervalSince1970)) return {};
    const icu::Locale locale(impl_->locale.c_str());
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(locale, status));
    if (U_FAILURE(status)) {
        hxLog("Cannot make a date format for %s: %s", impl_->locale.c_str(), u_errorName(status));
        return {};
    }
    const icu::UnicodeString pattern =
        generator->getBestPattern(icu::UnicodeString::fromUTF8(impl_->dateTemplate), status);
    icu::SimpleDateFormat format(pattern, locale, status);
    if (U_FAILURE(status)) {
        hxLog("Cannot make a date format for %s: %s", impl_->locale.c_str(), u_errorName(status));
        return {};
    }
    format.setTimeZone(*impl_->zone);
    icu::UnicodeString text;
    format.format(static_cast<UDate>(date.timeIntervalSince1970 * 1000.0), text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

std::string DateFormatter::localeIdentifierFromEnvironment() {
    std::string value;
    for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* set = std::getenv(name);
        if (set && *set) {
            value = set;
            break;
        }
    }
    // "de_AT.UTF-8@euro" is the locale "de_AT".
    value = value.substr(0, value.find_first_of(".@"));
    if (value.empty() || value == "C" || value == "POSIX") return "en_US";
    return value;
}

}  // namespace hx

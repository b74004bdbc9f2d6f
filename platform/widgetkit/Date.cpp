#include "platform/widgetkit/Date.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "platform/runloop/Clock.h"

namespace hx {

namespace {

std::mutex anchorMutex;
bool anchored = false;
double anchorDate = 0;   // seconds since 1970
double anchorClock = 0;  // run loop clock, seconds

double systemNow() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

// Latest date the calendar produces: the end of the year 9999.
constexpr double kLatestDate = 253402300799.0;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

}  // namespace

Date Date::now() {
    std::lock_guard lock(anchorMutex);
    if (!anchored) {
        anchored = true;
        anchorDate = systemNow();
        anchorClock = Clock::now();
    }
    return Date{anchorDate + (Clock::now() - anchorClock)};
}

void Date::setNow(Date date) {
    std::lock_guard lock(anchorMutex);
    anchored = true;
    anchorDate = date.timeIntervalSince1970;
    anchorClock = Clock::now();
}

void Date::resetNow() {
    std::lock_guard lock(anchorMutex);
    anchored = false;
}

std::optional<Date> Date::fromISO8601(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &consumed) != 3 ||
        consumed != 10)
        return std::nullopt;
    std::string rest = text.substr(10);
    double offset = 0;
    if (!rest.empty()) {
        if (rest[0] != 'T' && rest[0] != ' ') return std::nullopt;
        int used = 0;
        if (std::sscanf(rest.c_str() + 1, "%2d:%2d:%2d%n", &hour, &minute, &second, &used) != 3 ||
            used != 8)
            return std::nullopt;
        std::string zone = rest.substr(9);
        if (zone == "Z" || zone.empty()) {
            offset = 0;
        } else if ((zone[0] == '+' || zone[0] == '-') && zone.size() == 6 && zone[3] == ':') {
            int zh = 0, zm = 0;
            if (std::sscanf(zone.c_str() + 1, "%2d:%2d", &zh, &zm) != 2 || zh > 23 || zm > 59)
                return std::nullopt;
            offset = (zh * 3600 + zm * 60) * (zone[0] == '+' ? 1 : -1);
        } else {
            return std::nullopt;
        }
    }
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 60)
        return std::nullopt;
    const long long days =
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return Date{static_cast<double>(days) * 86400 + hour * 3600 + minute * 60 + second - offset};
}

std::string Date::iso8601() const {
    if (!std::isfinite(timeIntervalSince1970)) return "invalid date";
    const std::time_t seconds = static_cast<std::time_t>(std::floor(timeIntervalSince1970));
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

Calendar Calendar::currentCalendar() {
    return Calendar();
}

std::optional<Date> Calendar::dateByAddingMinutes(double minutes, Date date) const {
    const double result = date.timeIntervalSince1970 + minutes * 60;
    if (!std::isfinite(result) || std::fabs(result) > kLatestDate) return std::nullopt;
    return Date{result};
}

}  // namespace hx

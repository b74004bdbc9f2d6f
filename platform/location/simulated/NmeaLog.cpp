#include "platform/location/simulated/NmeaLog.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

#include "platform/paths/FileAccess.h"

namespace hx {
namespace {

constexpr double kSecondsPerDay = 86400;
// A day of sentences at 10 Hz is a few hundred megabytes; more is not a log to replay.
constexpr size_t kMaxLogBytes = size_t{1} << 30;

std::vector<std::string_view> splitFields(std::string_view body) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = body.find(',', start);
        fields.push_back(body.substr(start, comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return fields;
}

std::optional<double> number(std::string_view text) {
    if (text.empty()) return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// A field of decimal digits; nothing for other characters or more digits than a field of a
// sentence ever has (which would also overflow).
std::optional<int> digits(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The sentence body between '$' and '*', or nothing when the line is not a sentence or its
// checksum is wrong. A sentence without a checksum is accepted.
std::optional<std::string_view> sentenceBody(std::string_view line, bool& malformed) {
    malformed = false;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' '))
        line.remove_suffix(1);
    if (line.empty() || line.front() != '$') return std::nullopt;
    line.remove_prefix(1);
    const std::size_t star = line.rfind('*');
    if (star == std::string_view::npos) return line;
    std::string_view body = line.substr(0, star);
    std::string_view sum = line.substr(star + 1);
    unsigned expected = 0;
    const auto [end, ec] = std::from_chars(sum.data(), sum.data() + sum.size(), expected, 16);
    std::uint8_t actual = 0;
    for (char c : body) actual ^= static_cast<std::uint8_t>(c);
    if (sum.size() != 2 || ec != std::errc() || end != sum.data() + sum.size() ||
        expected != actual) {
        malformed = true;
        return std::nullopt;
    }
    return body;
}

// "ddmm.mmmm" or "dddmm.mmmm" with a hemisphere letter.
std::optional<double> angle(std::string_view value, std::string_view hemisphere, double limit,
                            char positive, char negative) {
    auto raw = number(value);
    if (!raw || *raw < 0 || hemisphere.size() != 1) return std::nullopt;
    const double degrees = std::floor(*raw / 100);
    const double minutes = *raw - degrees * 100;
    if (minutes >= 60) return std::nullopt;
    double result = degrees + minutes / 60;
    if (result > limit) return std::nullopt;
    if (hemisphere[0] == negative)
        result = -result;
    else if (hemisphere[0] != positive)
        return std::nullopt;
    return result;
}

// "hhmmss" or "hhmmss.ss" as seconds since midnight.
std::optional<double> timeOfDay(std::string_view text) {
    if (text.size() < 6) return std::nullopt;
    auto h = digits(text.substr(0, 2));
    auto m = digits(text.substr(2, 2));
    auto s = number(text.substr(4));
    if (!h || !m || !s || *h > 23 || *m > 59 || *s < 0 || *s >= 61) return std::nullopt;
    return *h * 3600.0 + *m * 60.0 + *s;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian), without the time zone.
std::int64_t daysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = static_cast<int>(year - era * 400);
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// "ddmmyy" as days since 1970.
std::optional<std::int64_t> date(std::string_view text) {
    if (text.size() != 6) return std::nullopt;
    auto d = digits(text.substr(0, 2));
    auto m = digits(text.substr(2, 2));
    auto y = digits(text.substr(4, 2));
    if (!d || !m || !y || *d < 1 || *d > 31 || *m < 1 || *m > 12) return std::nullopt;
    const int year = *y < 80 ? 2000 + *y : 1900 + *y;
    return daysFromCivil(year, *m, *d);
}

// What the sentences of one epoch said so far.
struct Epoch {
    std::string timeText;
    double secondsOfDay = 0;
    std::optional<double> latitude, longitude, altitude, course, hdop;
    std::optional<std::int64_t> day;
    bool valid = false;    // some sentence reported a fix
    bool invalid = false;  // some sentence reported no fix
};

class Collector {
  public:
    void add(std::string_view type, const std::vector<std::string_view>& f) {
        if (type == "GGA" && f.size() >= 10) {
            if (!startEpoch(f[1])) return;
            auto quality = digits(f[6]);
            if (!quality || *quality == 0) {
                epoch_.invalid = true;
                return;
            }
            if (!setPosition(f[2], f[3], f[4], f[5])) return;
            epoch_.valid = true;
            epoch_.hdop = number(f[8]);
            epoch_.altitude = number(f[9]);
        } else if (type == "RMC" && f.size() >= 10) {
            if (!startEpoch(f[1])) return;
            if (auto day = date(f[9])) epoch_.day = lastDay_ = *day;
            if (f[2] != "A") {
                epoch_.invalid = true;
                return;
            }
            if (!setPosition(f[3], f[4], f[5], f[6])) return;
            epoch_.valid = true;
            if (auto course = number(f[8]); course && *course >= 0 && *course < 360)
                epoch_.course = course;
        } else if (type == "GGA" || type == "RMC") {
            ++malformed;
        }
    }

    std::vector<RecordedFix> finish() {
        closeEpoch();
        return std::move(fixes_);
    }

    std::size_t malformed = 0;

  private:
    bool startEpoch(std::string_view timeText) {
        auto seconds = timeOfDay(timeText);
        if (!seconds) {
            ++malformed;
            return false;
        }
        if (!open_ || timeText != epoch_.timeText) {
            closeEpoch();
            epoch_ = Epoch{};
            epoch_.timeText = std::string(timeText);
            epoch_.secondsOfDay = *seconds;
            open_ = true;
        }
        return true;
    }

    bool setPosition(std::string_view lat, std::string_view ns, std::string_view lon,
                     std::string_view ew) {
        auto latitude = angle(lat, ns, 90, 'N', 'S');
        auto longitude = angle(lon, ew, 180, 'E', 'W');
        if (!latitude || !longitude) {
            ++malformed;
            return false;
        }
        epoch_.latitude = latitude;
        epoch_.longitude = longitude;
        return true;
    }

    void closeEpoch() {
        if (!open_) return;
        open_ = false;
        // A receiver that reports a fix in one sentence and none in another has no fix.
        if (!epoch_.valid || epoch_.invalid || !epoch_.latitude) return;
        RecordedFix fix;
        Location& location = fix.location;
        location.latitude = *epoch_.latitude;
        location.longitude = *epoch_.longitude;
        if (epoch_.altitude) location.altitude = *epoch_.altitude;
        if (epoch_.course) location.course = *epoch_.course;
        if (epoch_.hdop && *epoch_.hdop > 0)
            location.horizontalAccuracy = *epoch_.hdop * kMetresPerHdop;
        // GGA carries no date: an epoch without RMC takes the last date seen.
        std::optional<std::int64_t> day = epoch_.day ? epoch_.day : lastDay_;
        if (day) {
            fix.hasDate = true;
            fix.recordedTime = static_cast<double>(*day) * kSecondsPerDay + epoch_.secondsOfDay;
            location.timestamp = fix.recordedTime;
        } else {
            // Time of day only: carry on across midnight.
            double t = epoch_.secondsOfDay + midnights_ * kSecondsPerDay;
            if (!fixes_.empty() && !fixes_.back().hasDate &&
                t < fixes_.back().recordedTime - kSecondsPerDay / 2) {
                ++midnights_;
                t += kSecondsPerDay;
            }
            fix.recordedTime = t;
        }
        fixes_.push_back(fix);
    }

    Epoch epoch_;
    bool open_ = false;
    std::optional<std::int64_t> lastDay_;
    int midnights_ = 0;
    std::vector<RecordedFix> fixes_;
};

}  // namespace

NmeaLog NmeaLog::parse(std::string_view text) {
    Collector collector;
    std::size_t skipped = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        bool badChecksum = false;
        auto body = sentenceBody(text.substr(start, end - start), badChecksum);
        start = end + 1;
        if (badChecksum) ++skipped;
        if (!body) continue;
        std::vector<std::string_view> fields = splitFields(*body);
        // The address is a two-letter talker (GP, GN, GL, GA, BD...) and the sentence type.
        if (fields[0].size() != 5) continue;
        collector.add(fields[0].substr(2), fields);
    }
    NmeaLog log;
    log.fixes = collector.finish();
    log.skippedSentences = skipped + collector.malformed;
    return log;
}

bool NmeaLog::load(const std::string& path, NmeaLog& log, std::string* error) {
    std::string text;
    paths::ReadFailure failure;
    if (!paths::readWholeFile(path, text, &failure, kMaxLogBytes)) {
        if (error) *error = failure.message;
        return false;
    }
    log = parse(text);
    if (log.fixes.empty()) {
        if (error) *error = "no position fixes in " + path;
        return false;
    }
    return true;
}

}  // namespace hx

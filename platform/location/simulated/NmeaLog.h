#pragma once

// Reads position fixes from an NMEA 0183 log (a GPS receiver's serial output): GGA sentences
// give position, altitude and HDOP, RMC sentences give position, course and date; sentences of
// one receiver epoch (the same UTC time) are merged into one fix. Epochs without a valid fix
// (GGA quality 0, RMC status V) are left out. Sentences with a wrong checksum, unknown types and
// lines that are not NMEA at all are skipped.
//
// Threads: plain functions on their arguments.

#include <string>
#include <string_view>
#include <vector>

#include "platform/location/Location.h"

namespace hx {

struct RecordedFix {
    // The receiver's time for the fix: seconds since 1970 when the log carries a date, else
    // seconds since midnight UTC carried on across midnights. Only differences matter for replay.
    double recordedTime = 0;
    bool hasDate = false;
    // The fix, with its timestamp set from the recording when there is a date (0 otherwise).
    Location location;
};

struct NmeaLog {
    std::vector<RecordedFix> fixes;
    std::size_t skippedSentences = 0;  // bad checksums and malformed sentences

    static NmeaLog parse(std::string_view text);
    // False, with the reason, when the file cannot be read or holds no fix.
    static bool load(const std::string& path, NmeaLog& log, std::string* error = nullptr);
};

// Nominal receiver error that turns HDOP into a horizontal accuracy in metres.
inline constexpr double kMetresPerHdop = 5.0;

}  // namespace hx

#include "platform/location/simulated/NmeaLog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace hx {
namespace {

std::string dataFile(const char* name) {
    return std::string(HX_LOCATION_TEST_DATA) + "/" + name;
}

std::string sentence(const std::string& body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail + "\r\n";
}

TEST(NmeaLog, MergesEpochsAndKeepsWhatEachSentenceKnows) {
    NmeaLog log;
    std::string error;
    ASSERT_TRUE(NmeaLog::load(dataFile("route.nmea"), log, &error)) << error;
    // Four epochs with a fix; the one without a fix is left out, the damaged GGA is skipped.
    ASSERT_EQ(log.fixes.size(), 4u);
    EXPECT_EQ(log.skippedSentences, 1u);

    const RecordedFix& first = log.fixes[0];
    EXPECT_TRUE(first.hasDate);
    EXPECT_DOUBLE_EQ(first.recordedTime, 1709287200);  // 2024-03-01 10:00:00 UTC
    EXPECT_DOUBLE_EQ(first.location.timestamp, 1709287200);
    EXPECT_NEAR(first.location.latitude, -33.652, 1e-9);
    EXPECT_NEAR(first.location.longitude, -70.41, 1e-9);
    EXPECT_DOUBLE_EQ(first.location.altitude, 512.0);
    EXPECT_DOUBLE_EQ(first.location.course, 90.0);
    EXPECT_DOUBLE_EQ(first.location.horizontalAccuracy, 1.2 * kMetresPerHdop);

    // Only the RMC survived in the third epoch, and it has no course.
    const Location& rmcOnly = log.fixes[2].location;
    EXPECT_NEAR(rmcOnly.longitude, -(70 + 24.598 / 60), 1e-9);
    EXPECT_FALSE(rmcOnly.hasAltitude());
    EXPECT_FALSE(rmcOnly.hasCourse());
    EXPECT_LT(rmcOnly.horizontalAccuracy, 0);

    // GN talkers (several constellations) count like GP.
    const RecordedFix& last = log.fixes[3];
    EXPECT_DOUBLE_EQ(last.recordedTime - first.recordedTime, 8);
    EXPECT_DOUBLE_EQ(last.location.course, 45.5);
    EXPECT_DOUBLE_EQ(last.location.altitude, 514.0);
}

TEST(NmeaLog, TimeOfDayWithoutDateCarriesOnPastMidnight) {
    std::string text = sentence("GPGGA,235959.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,,,") +
                       sentence("GPGGA,000001.50,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,,,");
    NmeaLog log = NmeaLog::parse(text);
    ASSERT_EQ(log.fixes.size(), 2u);
    EXPECT_FALSE(log.fixes[0].hasDate);
    EXPECT_DOUBLE_EQ(log.fixes[0].location.timestamp, 0);
    EXPECT_DOUBLE_EQ(log.fixes[1].recordedTime - log.fixes[0].recordedTime, 2.5);
    EXPECT_NEAR(log.fixes[0].location.latitude, 48.1173, 1e-9);
}

TEST(NmeaLog, GgaWithoutRmcTakesTheLastDateSeen) {
    std::string text = sentence("GPRMC,120000,A,0000.000,N,00000.000,E,0,0,311299,,") +
                       sentence("GPGGA,120001,0000.000,N,00000.000,E,1,04,1.0,1.0,M,,,,");
    NmeaLog log = NmeaLog::parse(text);
    ASSERT_EQ(log.fixes.size(), 2u);
    EXPECT_TRUE(log.fixes[1].hasDate);
    EXPECT_DOUBLE_EQ(log.fixes[1].recordedTime, 946641601);  // 1999-12-31 12:00:01 UTC
}

TEST(NmeaLog, BrokenInputGivesNoFixesAndNoCrash) {
    const std::string cases[] = {
        "",
        std::string("\0\xff\x01$$$***", 9),
        "$GPGGA\n$GPRMC,\n$,,,,,,,,,,,,\n",
        sentence("GPGGA,1200,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,,,"),    // short time
        sentence("GPGGA,120000,9107.038,N,01131.000,E,1,08,0.9,545.4,M,,,,"),  // latitude > 90
        sentence("GPGGA,120000,4807.038,X,01131.000,E,1,08,0.9,545.4,M,,,,"),  // hemisphere
        sentence("GPGGA,120000,4867.038,N,01131.000,E,1,08,0.9,545.4,M,,,,"),  // 67 minutes
        sentence("GPRMC,120000,A,4807.038,N,01131.000,E,0,0,991399,,"),        // bad date kept out
        sentence("GPGGA,120000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,,,").substr(0, 20),
        // A fix quality too long for any number: unreadable, not an overflow.
        sentence("GPGGA,120000,4807.038,N,01131.000,E,4444444444444444444444,08,0.9,545.4,M,,,,"),
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        NmeaLog log = NmeaLog::parse(cases[i]);
        if (i == 7) {
            // A readable position with an unreadable date is still a fix, without a date.
            ASSERT_EQ(log.fixes.size(), 1u);
            EXPECT_FALSE(log.fixes[0].hasDate);
            continue;
        }
        EXPECT_TRUE(log.fixes.empty()) << "case " << i;
    }
}

TEST(NmeaLog, LoadExplainsWhyNothingCameOfAFile) {
    NmeaLog log;
    std::string error;
    EXPECT_FALSE(NmeaLog::load("/no/such/file.nmea", log, &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
    EXPECT_FALSE(NmeaLog::load(dataFile("make_logs.py"), log, &error));
    EXPECT_NE(error.find("no position fixes"), std::string::npos);
}

}  // namespace
}  // namespace hx

#!/usr/bin/env python3
"""Writes the NMEA logs of the location tests. Run it from this folder."""


def sentence(body):
    checksum = 0
    for c in body:
        checksum ^= ord(c)
    return "$%s*%02X" % (body, checksum)


def write(name, lines):
    with open(name, "w") as out:
        out.write("\n".join(lines) + "\n")


# A short walk in the southern and western hemispheres for the simulated replay: fixes one
# second apart, an epoch whose GGA is damaged, an epoch without a fix and a five-second gap.
route = [
    sentence("GPGGA,100000.00,3339.1200,S,07024.6000,W,1,08,1.2,512.0,M,30.4,M,,"),
    sentence("GPRMC,100000.00,A,3339.1200,S,07024.6000,W,2.1,90.0,010324,,,A"),
    "not a sentence at all",
    sentence("GPGSV,3,1,11,04,40,083,46,05,17,308,41,09,07,344,39,12,23,116,44"),
    sentence("GPGGA,100001.00,3339.1200,S,07024.5990,W,1,08,1.2,512.5,M,30.4,M,,"),
    sentence("GPRMC,100001.00,A,3339.1200,S,07024.5990,W,2.1,90.0,010324,,,A"),
    sentence("GPGGA,100002.00,3339.1200,S,07024.5980,W,1,08,1.2,513.0,M,30.4,M,,")[:-2] + "00",
    sentence("GPRMC,100002.00,A,3339.1200,S,07024.5980,W,0.0,,010324,,,A"),
    sentence("GPGGA,100003.00,,,,,0,00,99.9,,,,,,"),
    sentence("GPRMC,100003.00,V,,,,,,,010324,,,N"),
    sentence("GNGGA,100008.00,3339.1100,S,07024.5900,W,2,10,0.8,514.0,M,30.4,M,,"),
    sentence("GNRMC,100008.00,A,3339.1100,S,07024.5900,W,1.0,45.5,010324,,,D"),
]
write("route.nmea", route)


def clock(seconds):
    """NMEA time of day for a number of seconds after midnight."""
    return "%02d%02d%02d.00" % (seconds // 3600, seconds // 60 % 60, seconds % 60)


# Logs for gpsfake: the same position over and over, so that whichever report reaches the client
# first carries the logged values. The tests feed one sentence every 0.1 s and stop as soon as
# they have what they wait for; the logs last long enough (about 25 s) for a slow start.
stationary3d = []
for second in range(120):
    t = clock(12 * 3600 + second)
    stationary3d.append(sentence(
        "GPGGA,%s,5230.9780,N,01322.6620,E,1,08,0.9,34.5,M,39.7,M,," % t))
    stationary3d.append(sentence(
        "GPRMC,%s,A,5230.9780,N,01322.6620,E,1.5,84.4,150624,,,A" % t))
write("gpsd-3d.log", ["# Stationary 3D fix with a course"] + stationary3d)

stationary2d = []
for second in range(80):
    t = clock(9 * 3600 + 30 * 60 + second)
    stationary2d.append(sentence(
        "GPGGA,%s,3339.1200,S,07024.6000,W,1,04,2.1,,,,,," % t))
    stationary2d.append(sentence("GPGSA,A,2,04,05,09,12,,,,,,,,,2.5,2.1,1.3"))
    stationary2d.append(sentence(
        "GPRMC,%s,A,3339.1200,S,07024.6000,W,0.0,,010324,,,A" % t))
write("gpsd-2d.log", ["# Fix without altitude or course"] + stationary2d)

# A receiver that has lost its fix but still repeats its last position, flagged as no fix, for a
# while, then finds a 3D fix elsewhere: the flagged reports are not positions.
nofix = []
for second in range(10):
    t = clock(18 * 3600 + second)
    nofix.append(sentence("GPGGA,%s,1000.0000,N,02000.0000,E,0,00,99.9,120.0,M,,,," % t))
    nofix.append(sentence("GPGSA,A,1,,,,,,,,,,,,,99.9,99.9,99.9"))
    nofix.append(sentence("GPRMC,%s,V,1000.0000,N,02000.0000,E,0.0,,150624,,,N" % t))
for second in range(10, 100):
    t = clock(18 * 3600 + second)
    nofix.append(sentence(
        "GPGGA,%s,5230.9780,N,01322.6620,E,1,08,0.9,34.5,M,39.7,M,," % t))
    nofix.append(sentence("GPGSA,A,3,04,05,09,12,15,18,,,,,,,1.8,0.9,1.5"))
    nofix.append(sentence(
        "GPRMC,%s,A,5230.9780,N,01322.6620,E,1.5,84.4,150624,,,A" % t))
write("gpsd-nofix.log", ["# No fix with a stale position, then a 3D fix"] + nofix)

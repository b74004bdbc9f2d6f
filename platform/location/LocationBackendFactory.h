#pragma once

// Chooses where positions come from, by HALIDEX_LOCATION:
//   unset, "" or "auto[:host[:port]]"
//                              gpsd when it answers there (default localhost:2947), else the
//                              fixed point (logged when "auto" was asked for by name)
//   "simulated"                a fixed point (HALIDEX_LOCATION_POINT="lat,lon[,alt]" or a default)
//   "gpsd[:host[:port]]"       a GPS receiver through gpsd (default localhost:2947), waited for
//                              when it does not answer yet
//   anything else              the path of an NMEA log, replayed at its recorded pace
// A choice that cannot be honoured (an unreadable log, gpsd support not built) is logged and
// falls back to the fixed point.

#include <memory>

#include "platform/location/LocationBackend.h"

namespace hx {

std::unique_ptr<LocationBackend> makeLocationBackend();

}  // namespace hx

#include "platform/location/simulated/SimulatedLocationBackend.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sstream>

#include "platform/log/Log.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"

namespace hx {
namespace {

double wallClockNow() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

Location stamped(Location fix) {
    fix.timestamp = wallClockNow();
    return fix;
}

}  // namespace

SimulatedLocationBackend::SimulatedLocationBackend(Location fixedPoint) : fixedPoint_(fixedPoint) {}

SimulatedLocationBackend::SimulatedLocationBackend(std::vector<RecordedFix> route)
    : route_(std::move(route)), replaying_(!route_.empty()) {
    if (replaying_) fixedPoint_ = route_.front().location;
}

SimulatedLocationBackend::~SimulatedLocationBackend() {
    stop();
}

void SimulatedLocationBackend::start(LocationSink sink) {
    stop();
    sink_ = std::move(sink);
    running_ = true;
    run_ = std::make_shared<char>();
    SimulatedLocation::running().push_back(this);
    if (replaying_) {
        routeStartedAt_ = Clock::now();
        scheduleRouteFix(0);
    } else {
        deliver(fixedPoint_);
    }
}

void SimulatedLocationBackend::stop() {
    if (!running_) return;
    running_ = false;
    run_.reset();
    nextFix_.cancel();
    auto& list = SimulatedLocation::running();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void SimulatedLocationBackend::post(std::function<void()> call) {
    // The run token dies with stop() or the backend, so the block never sees either.
    RunLoop::main().post([run = std::weak_ptr(run_), call = std::move(call)] {
        if (run.lock()) call();
    });
}

void SimulatedLocationBackend::deliver(const Location& fix) {
    if (!running_) return;
    post([this, fix] {
        if (sink_.didUpdate) sink_.didUpdate({stamped(fix)});
    });
}

void SimulatedLocationBackend::fail(LocationError error) {
    if (!running_) return;
    post([this, error] {
        if (sink_.didFail) sink_.didFail(error);
    });
}

void SimulatedLocationBackend::scheduleRouteFix(std::size_t index) {
    if (index >= route_.size()) return;
    // Due times count from the start of the replay, so delays do not add up.
    const double offset = std::max(0.0, route_[index].recordedTime - route_.front().recordedTime);
    const double delay = std::max(0.0, routeStartedAt_ + offset - Clock::now());
    nextFix_ = RunLoop::main().postAfter(delay, [this, index, run = std::weak_ptr(run_)] {
        if (!run.lock()) return;
        if (sink_.didUpdate) sink_.didUpdate({stamped(route_[index].location)});
        // The sink may have stopped or destroyed this backend.
        if (run.lock()) scheduleRouteFix(index + 1);
    });
}

bool SimulatedLocationBackend::parsePoint(const std::string& text, Location& point) {
    std::istringstream in(text);
    Location parsed;
    char comma = 0;
    if (!(in >> parsed.latitude >> comma) || comma != ',' || !(in >> parsed.longitude))
        return false;
    if (in >> comma) {
        if (comma != ',' || !(in >> parsed.altitude)) return false;
    }
    if (std::abs(parsed.latitude) > 90 || std::abs(parsed.longitude) > 180) return false;
    parsed.horizontalAccuracy = 5;
    point = parsed;
    return true;
}

Location SimulatedLocationBackend::defaultFixedPoint() {
    Location point;
    if (const char* text = std::getenv("HALIDEX_LOCATION_POINT"); text && *text) {
        if (parsePoint(text, point)) return point;
        hxLog("HALIDEX_LOCATION_POINT=\"%s\" is not \"latitude,longitude[,altitude]\"", text);
    }
    // The old town square of Kraków: a quiet default that is plainly not the user's home.
    point.latitude = 50.0616;
    point.longitude = 19.9373;
    point.altitude = 219;
    point.horizontalAccuracy = 5;
    return point;
}

std::vector<SimulatedLocationBackend*>& SimulatedLocation::running() {
    static auto* const list = new std::vector<SimulatedLocationBackend*>;
    return *list;
}

void SimulatedLocation::deliver(const Location& fix) {
    for (SimulatedLocationBackend* backend : std::vector(running())) backend->deliver(fix);
}

void SimulatedLocation::fail(LocationError error) {
    for (SimulatedLocationBackend* backend : std::vector(running())) backend->fail(error);
}

std::size_t SimulatedLocation::runningBackends() {
    return running().size();
}

}  // namespace hx

#include "platform/location/LocationManager.h"

#include <functional>
#include <utility>

#include "platform/location/LocationAuthorization.h"
#include "platform/location/LocationBackendFactory.h"
#include "platform/runloop/RunLoop.h"

namespace hx {

namespace detail {

struct LocationManagerState {
    // Cleared when the manager goes; callbacks already queued then find nobody to call.
    LocationManager* owner = nullptr;
    std::unique_ptr<LocationBackend> backend;
    LocationManagerDelegate* delegate = nullptr;
    double desiredAccuracy = kCLLocationAccuracyBest;
    double distanceFilter = kCLDistanceFilterNone;
    bool wantsUpdates = false;
    bool backendRunning = false;
    bool refusalReported = false;
    std::optional<Location> location;
    std::optional<Location> lastDelivered;
    AuthorizationStatus reportedStatus = AuthorizationStatus::NotDetermined;
    LocationAuthorization::ObserverId observer = 0;
};

}  // namespace detail

namespace {

using StatePtr = std::shared_ptr<detail::LocationManagerState>;
using DelegateCall = std::function<void(LocationManagerDelegate&, LocationManager&)>;

bool canCall(const detail::LocationManagerState& state) {
    return state.owner && state.delegate;
}

// Delegate calls never happen inside the call that caused them.
void postToDelegate(const StatePtr& state, DelegateCall call) {
    RunLoop::main().post([weak = std::weak_ptr(state), call = std::move(call)] {
        StatePtr s = weak.lock();
        if (s && canCall(*s)) call(*s->delegate, *s->owner);
    });
}

void stopBackend(detail::LocationManagerState& state) {
    if (!state.backendRunning || !state.backend) return;
    state.backendRunning = false;
    state.backend->stop();
}

bool passesDistanceFilter(const detail::LocationManagerState& state, const Location& fix) {
    if (state.distanceFilter < 0 || !state.lastDelivered) return true;
    return distanceBetween(*state.lastDelivered, fix) >= state.distanceFilter;
}

void receiveFixes(const StatePtr& state, const std::vector<Location>& fixes) {
    if (!state->backendRunning || fixes.empty()) return;
    std::vector<Location> delivered;
    for (const Location& fix : fixes) {
        state->location = fix;
        if (!passesDistanceFilter(*state, fix)) continue;
        state->lastDelivered = fix;
        delivered.push_back(fix);
    }
    if (!delivered.empty() && canCall(*state))
        state->delegate->didUpdateLocations(*state->owner, delivered);
}

void receiveFailure(const StatePtr& state, LocationError error) {
    if (state->backendRunning && canCall(*state))
        state->delegate->didFailWithError(*state->owner, error);
}

void startBackend(const StatePtr& state) {
    if (state->backendRunning || !state->backend) return;
    state->backendRunning = true;
    state->lastDelivered.reset();
    std::weak_ptr<detail::LocationManagerState> weak = state;
    LocationSink sink;
    sink.didUpdate = [weak](std::vector<Location> fixes) {
        if (StatePtr s = weak.lock()) receiveFixes(s, fixes);
    };
    sink.didFail = [weak](LocationError error) {
        if (StatePtr s = weak.lock()) receiveFailure(s, error);
    };
    state->backend->start(std::move(sink));
}

// Runs or stops the backend to match what the caller asked for and what the user allows.
void reconcile(const StatePtr& state) {
    if (!state->wantsUpdates) {
        stopBackend(*state);
        return;
    }
    const AuthorizationStatus status = LocationAuthorization::current();
    const bool refused = !LocationAuthorization::servicesEnabled() ||
                         status == AuthorizationStatus::Denied ||
                         status == AuthorizationStatus::Restricted;
    if (refused) {
        stopBackend(*state);
        if (!state->refusalReported) {
            state->refusalReported = true;
            postToDelegate(state, [](LocationManagerDelegate& d, LocationManager& m) {
                d.didFailWithError(m, LocationError{kCLErrorDenied});
            });
        }
        return;
    }
    state->refusalReported = false;
    // Until the user answers, updates wait; the answer comes back through the observer.
    if (status == AuthorizationStatus::NotDetermined) return;
    startBackend(state);
}

void authorizationMayHaveChanged(const StatePtr& state) {
    if (!state->owner) return;
    const AuthorizationStatus status = LocationAuthorization::current();
    const bool changed = state->reportedStatus != status;
    state->reportedStatus = status;
    if (changed) {
        state->refusalReported = false;
        if (canCall(*state)) state->delegate->didChangeAuthorization(*state->owner, status);
    }
    // The delegate may have dropped the manager.
    if (state->owner) reconcile(state);
}

}  // namespace

LocationManager::LocationManager() : LocationManager(makeLocationBackend()) {}

LocationManager::LocationManager(std::unique_ptr<LocationBackend> backend)
    : state_(std::make_shared<detail::LocationManagerState>()) {
    state_->owner = this;
    state_->backend = std::move(backend);
    std::weak_ptr<detail::LocationManagerState> weak = state_;
    state_->observer = LocationAuthorization::addObserver([weak] {
        if (StatePtr s = weak.lock()) authorizationMayHaveChanged(s);
    });
    // A new manager tells its delegate the status it starts with; later changes are compared
    // with it, so none goes unreported.
    const AuthorizationStatus status = LocationAuthorization::current();
    state_->reportedStatus = status;
    RunLoop::main().post([weak, status] {
        StatePtr s = weak.lock();
        if (s && canCall(*s)) s->delegate->didChangeAuthorization(*s->owner, status);
    });
}

LocationManager::~LocationManager() {
    LocationAuthorization::removeObserver(state_->observer);
    state_->owner = nullptr;
    state_->delegate = nullptr;
    state_->wantsUpdates = false;
    stopBackend(*state_);
}

bool LocationManager::locationServicesEnabled() {
    return LocationAuthorization::servicesEnabled();
}

AuthorizationStatus LocationManager::authorizationStatus() const {
    return LocationAuthorization::current();
}

void LocationManager::requestWhenInUseAuthorization() {
    LocationAuthorization::requestWhenInUse();
}

void LocationManager::setDesiredAccuracy(double metres) {
    state_->desiredAccuracy = metres;
}

double LocationManager::desiredAccuracy() const {
    return state_->desiredAccuracy;
}

void LocationManager::setDistanceFilter(double metres) {
    state_->distanceFilter = metres < 0 ? kCLDistanceFilterNone : metres;
}

double LocationManager::distanceFilter() const {
    return state_->distanceFilter;
}

void LocationManager::startUpdatingLocation() {
    state_->wantsUpdates = true;
    reconcile(state_);
}

void LocationManager::stopUpdatingLocation() {
    state_->wantsUpdates = false;
    state_->refusalReported = false;
    reconcile(state_);
}

std::optional<Location> LocationManager::location() const {
    return state_->location;
}

void LocationManager::setDelegate(LocationManagerDelegate* delegate) {
    state_->delegate = delegate;
}

LocationManagerDelegate* LocationManager::delegate() const {
    return state_->delegate;
}

const char* LocationManager::backendName() const {
    return state_->backend ? state_->backend->name() : "none";
}

}  // namespace hx

#include "platform/location/gpsd/GpsdLocationBackend.h"

#include <gps.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>

#include "platform/log/Log.h"
#include "platform/runloop/RunLoop.h"

namespace hx {

// What one start() shares between the main thread and the reading thread. The sink is only
// touched on the main thread.
struct GpsdLocationBackend::Run {
    std::string host;
    std::string port;
    double retrySeconds = 3;
    LocationSink sink;
    std::atomic<bool> stopping{false};
    int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);

    std::mutex mutex;
    std::condition_variable finishedChanged;
    bool finished = false;

    ~Run() {
        if (wakeFd >= 0) ::close(wakeFd);
    }
};

namespace {

using Run = GpsdLocationBackend::Run;

double wallClockNow() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::optional<Location> locationFrom(const gps_fix_t& fix) {
    if (fix.mode < MODE_2D || !std::isfinite(fix.latitude) || !std::isfinite(fix.longitude))
        return std::nullopt;
    Location location;
    location.latitude = fix.latitude;
    location.longitude = fix.longitude;
    if (fix.mode >= MODE_3D && std::isfinite(fix.altMSL)) location.altitude = fix.altMSL;
    if (std::isfinite(fix.track)) location.course = fix.track;
    if (std::isfinite(fix.eph))
        location.horizontalAccuracy = fix.eph;
    else if (std::isfinite(fix.epx) && std::isfinite(fix.epy))
        location.horizontalAccuracy = std::max(fix.epx, fix.epy);
    location.timestamp = fix.time.tv_sec > 0
                             ? static_cast<double>(fix.time.tv_sec) + fix.time.tv_nsec * 1e-9
                             : wallClockNow();
    return location;
}

// Waits for stop() or the time-out; true when stopping.
bool waitForStop(Run& run, double seconds) {
    pollfd wake{run.wakeFd, POLLIN, 0};
    const int milliseconds = static_cast<int>(seconds * 1000);
    while (!run.stopping.load()) {
        const int n = ::poll(&wake, 1, milliseconds);
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    return run.stopping.load();
}

void postFix(const std::shared_ptr<Run>& run, const Location& location,
             RunLoop::PendingWork pending) {
    auto held = std::make_shared<RunLoop::PendingWork>(std::move(pending));
    RunLoop::main().post([weak = std::weak_ptr(run), location, held] {
        std::shared_ptr<Run> r = weak.lock();
        if (r && !r->stopping.load() && r->sink.didUpdate) r->sink.didUpdate({location});
    });
}

void postFailure(const std::shared_ptr<Run>& run) {
    auto held = std::make_shared<RunLoop::PendingWork>();
    RunLoop::main().post([weak = std::weak_ptr(run), held] {
        std::shared_ptr<Run> r = weak.lock();
        if (r && !r->stopping.load() && r->sink.didFail)
            r->sink.didFail(LocationError{kCLErrorLocationUnknown});
    });
}

enum class ReadEnd { stopped, lost };

// Reads reports until stop() or until gpsd goes away. Sets `delivered` when a fix was posted.
ReadEnd readReports(const std::shared_ptr<Run>& run, gps_data_t& data, bool& delivered) {
    char message[8192];
    while (!run->stopping.load()) {
        if (!gps_waiting(&data, 0)) {
            pollfd fds[2] = {{data.gps_fd, POLLIN, 0}, {run->wakeFd, POLLIN, 0}};
            const int n = ::poll(fds, 2, -1);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 || fds[1].revents)
                return run->stopping.load() ? ReadEnd::stopped : ReadEnd::lost;
            if (!fds[0].revents) continue;
        }
        // A report is on its way to the main queue from here until it is posted.
        RunLoop::PendingWork pending;
        message[0] = '\0';
        const int length = gps_read(&data, message, sizeof message);
        if (length < 0) return ReadEnd::lost;
        if (length == 0) {
            // Readable yet nothing read: the daemon closed the connection.
            return ReadEnd::lost;
        }
        if (!std::strstr(message, "\"class\":\"TPV\"")) continue;
        if (auto location = locationFrom(data.fix)) {
            postFix(run, *location, std::move(pending));
            delivered = true;
        }
    }
    return ReadEnd::stopped;
}

void work(std::shared_ptr<Run> run) {
    bool outageReported = false;
    while (!run->stopping.load()) {
        gps_data_t data{};
        if (gps_open(run->host.c_str(), run->port.c_str(), &data) != 0) {
            if (!outageReported) {
                hxLog("gpsd at %s:%s cannot be reached: %s", run->host.c_str(), run->port.c_str(),
                      gps_errstr(errno));
                postFailure(run);
                outageReported = true;
            }
            if (waitForStop(*run, run->retrySeconds)) break;
            continue;
        }
        gps_stream(&data, WATCH_ENABLE | WATCH_JSON, nullptr);
        bool delivered = false;
        const ReadEnd end = readReports(run, data, delivered);
        if (delivered) outageReported = false;
        gps_stream(&data, WATCH_DISABLE, nullptr);
        gps_close(&data);
        if (end == ReadEnd::stopped) break;
        if (!outageReported) {
            hxLog("Lost the connection to gpsd at %s:%s", run->host.c_str(), run->port.c_str());
            postFailure(run);
            outageReported = true;
        }
        if (waitForStop(*run, run->retrySeconds)) break;
    }
    std::lock_guard lock(run->mutex);
    run->finished = true;
    run->finishedChanged.notify_all();
}

}  // namespace

GpsdLocationBackend::GpsdLocationBackend(std::string host, std::string port)
    : host_(std::move(host)), port_(std::move(port)) {}

GpsdLocationBackend::~GpsdLocationBackend() {
    stop();
}

void GpsdLocationBackend::start(LocationSink sink) {
    stop();
    run_ = std::make_shared<Run>();
    run_->host = host_;
    run_->port = port_;
    run_->retrySeconds = retrySeconds_;
    run_->sink = std::move(sink);
    if (run_->wakeFd < 0) {
        hxLog("gpsd: cannot make a wake-up descriptor: %s", std::strerror(errno));
        RunLoop::main().post([weak = std::weak_ptr(run_)] {
            std::shared_ptr<Run> r = weak.lock();
            if (r && !r->stopping.load() && r->sink.didFail)
                r->sink.didFail(LocationError{kCLErrorLocationUnknown});
        });
        return;
    }
    thread_ = std::thread(work, run_);
}

void GpsdLocationBackend::stop() {
    if (!run_) return;
    run_->stopping.store(true);
    if (run_->wakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(run_->wakeFd, &one, sizeof one);
    }
    if (thread_.joinable()) {
        std::unique_lock lock(run_->mutex);
        const bool finished = run_->finishedChanged.wait_for(lock, std::chrono::seconds(1),
                                                             [&] { return run_->finished; });
        lock.unlock();
        if (finished)
            thread_.join();
        else
            thread_.detach();  // stuck connecting; it holds its own share of the run
    }
    run_.reset();
}

}  // namespace hx

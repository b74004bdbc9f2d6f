// The road of one photo through the whole camera, in real time on the simulated camera (the
// phone's 4032 x 3024 back camera, frame 1) and the CPU backend, the library in a temporary
// folder:
//   - shutter press to busy released, against the simulated camera's still alone plus the film
//     renderer's own render and read-back of a photo of the same size and film;
//   - shutter press to the asset committed in the library, for JPEG (films 0 and 7), TIFF and
//     HEIC (film 0) and a colour film (10);
//   - a burst of 20 presses as fast as the guards allow: photos per second, every accepted
//     press saved, the guards never exceeded;
//   - resident memory after 50 captures and after CAPTURES (500; the first argument).
//
//   build/bench/app/hx_capture_flow_bench [CAPTURES]

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/camera/hxAppDelegate.h"
#include "platform/capture/CapturePhotoSettings.h"
#include "platform/device/DeviceProfile.h"
#include "platform/gpu/PixelBuffer.h"
#include "platform/photos/fetch/Asset.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/host/HeadlessHost.h"
#include "platform/ui/host/QtApplication.h"
#include "platform/ui/window/UIApplication.h"

namespace {

using namespace hx;
using namespace hx::app;
using Stopwatch = std::chrono::steady_clock;

double millisecondsSince(Stopwatch::time_point start) {
    return std::chrono::duration<double, std::milli>(Stopwatch::now() - start).count();
}

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

size_t libraryCount() {
    return photos::Asset::fetchAssetsWithOptions(nullptr).count();
}

bool pump(const std::function<bool()>& done, double seconds = 60) {
    return RunLoop::main().runUntil(done, seconds);
}

// One capture: press to busy released, and press to the asset committed.
struct Timing {
    double ready = 0;
    double committed = 0;
};

Timing captureOnce(hxViewController& camera) {
    pump([&] { return !camera.isBusy(); });
    const size_t before = libraryCount();
    const auto start = Stopwatch::now();
    camera.shutter(nullptr);
    Timing timing;
    pump([&] { return !camera._process.load(); });
    timing.ready = millisecondsSince(start);
    pump([&] { return camera._processcounter.load() == 0 && libraryCount() > before; });
    timing.committed = millisecondsSince(start);
    return timing;
}

// The renderer's own render and read-back of a photo of the camera's size.
double renderAlone(hxViewController& camera, film::PhotoOutput output) {
    gpu::PixelBufferRef photo;
    gpu::PixelBufferAttributes attributes;
    attributes.gpuCompatible = true;
    gpu::PixelBuffer::create(size_t(camera._photoWidth), size_t(camera._photoHeight),
                             gpu::PixelFormatType32BGRA, attributes, &photo);
    if (!photo || !camera.filmRenderer().renderPhoto(photo, output)) return 0;  // warm
    const auto start = Stopwatch::now();
    const int rounds = 3;
    for (int i = 0; i < rounds; ++i) camera.filmRenderer().renderPhoto(photo, output);
    return millisecondsSince(start) / rounds;
}

// The simulated camera's own still, without the camera screen: the sensor's share of a press.
class StillTimer : public capture::CapturePhotoCaptureDelegate {
  public:
    void captureOutputDidFinishProcessingPhoto(
        capture::CapturePhotoOutput&, const capture::CapturePhotoRef&,
        const std::optional<capture::CaptureError>&) override {
        done = true;
    }
    std::atomic<bool> done{false};
};

double stillAlone(hxViewController& camera) {
    image::PropertyDictionary format;
    format.set(capture::kCVPixelBufferPixelFormatTypeKey,
               static_cast<int64_t>(capture::kCVPixelFormatType_32BGRA));
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        StillTimer timer;
        const auto start = Stopwatch::now();
        camera._photoOutput->capturePhotoWithSettings(
            capture::CapturePhotoSettings::photoSettingsWithFormat(format), &timer);
        pump([&] { return timer.done.load(); });
        times.push_back(millisecondsSince(start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

Timing median(std::vector<Timing> timings) {
    auto middle = [&](auto field) {
        std::vector<double> values;
        for (const auto& t : timings) values.push_back(t.*field);
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    return {middle(&Timing::ready), middle(&Timing::committed)};
}

}  // namespace

int main(int argc, char** argv) {
    const int captures = argc > 1 ? std::atoi(argv[1]) : 500;
    const std::filesystem::path home =
        std::filesystem::temp_directory_path() / ("hx-capture-bench-" + std::to_string(getpid()));
    ::setenv("HALIDEX_HOME", home.c_str(), 1);
    ::setenv("HALIDEX_CAMERA_AUTH", "authorized", 1);
    ::setenv("HALIDEX_PHOTOS_AUTH", "authorized", 1);
    ::setenv("HALIDEX_LOCATION_AUTH", "denied", 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
#ifdef HX_BENCH_RESOURCES_DIR
    ::setenv("HALIDEX_RESOURCES", HX_BENCH_RESOURCES_DIR, 0);
#endif
    RunLoop::main().bindToCurrentThread();
    ui::ensureQtApplication();
    DeviceProfile::setCurrent(*DeviceProfile::named("phone"));

    auto delegate = std::make_shared<hxAppDelegate>();
    auto& application = UIApplication::sharedApplication();
    application.setDelegate(delegate);
    application.finishLaunching();
    HeadlessHost host(delegate->window());
    hxViewController& camera = *delegate->viewController();
    pump([&] { return camera.session() && camera.session()->isRunning(); }, 10);
    pump([] { return false; }, 1.0);  // the camera settles
    std::printf("photo %d x %d, frame %d\n", camera._photoWidth, camera._photoHeight,
                camera._currentFrame);
    const double still = stillAlone(camera);
    std::printf("the simulated camera's still alone: %.1f ms\n", still);

    struct Case {
        const char* name;
        int film;
        bool tiff, heic;
    };
    for (const Case& c :
         {Case{"film 0, JPEG", 0, false, false}, Case{"film 7, JPEG", 7, false, false},
          Case{"film 0, TIFF", 0, true, false}, Case{"film 0, HEIC", 0, false, true},
          Case{"film 10 (colour), JPEG", 10, false, false}}) {
        camera._currentFilm = c.film;
        camera.changeToneCurve(c.film);
        camera._tiff = c.tiff;
        camera._heic = c.heic;
        std::vector<Timing> timings;
        for (int i = 0; i < 5; ++i) timings.push_back(captureOnce(camera));
        const Timing m = median(timings);
        const double alone =
            renderAlone(camera, c.heic ? film::PhotoOutput::HEIC : film::PhotoOutput::Compressed);
        // What the screen adds to a press: press to ready against the camera's still plus the
        // renderer's own render and read-back.
        std::printf(
            "%-24s press to ready %7.1f ms (render and read-back alone %7.1f ms; against the "
            "still plus the render %.2f); press to committed %7.1f ms\n",
            c.name, m.ready, alone, m.ready / (still + alone), m.committed);
    }

    // A burst as fast as the guards allow.
    camera._currentFilm = 0;
    camera.changeToneCurve(0);
    camera._tiff = camera._heic = false;
    pump([&] { return !camera.isBusy(); });
    const size_t before = libraryCount();
    int accepted = 0, mostPending = 0;
    const auto burstStart = Stopwatch::now();
    while (accepted < 20) {
        pump([&] { return !camera._process.load() && camera._processcounter.load() <= 1; });
        camera.shutter(nullptr);
        ++accepted;
        mostPending = std::max(mostPending, camera._processcounter.load());
    }
    pump([&] { return camera._processcounter.load() == 0 && libraryCount() >= before + 20; });
    const double burstSeconds = millisecondsSince(burstStart) / 1000;
    std::printf("burst: %d presses, %zu saved, %.2f photos/s, most saves pending %d\n", accepted,
                libraryCount() - before, accepted / burstSeconds, mostPending);

    // Memory over many captures.
    long after50 = 0;
    for (int i = 1; i <= captures; ++i) {
        captureOnce(camera);
        if (i == 50) after50 = residentKilobytes();
    }
    const long afterAll = residentKilobytes();
    std::printf("resident memory: %ld kB after 50 captures, %ld kB after %d (growth %ld kB)\n",
                after50, afterAll, captures, afterAll - after50);

    application.terminate();
    application.setDelegate(nullptr);
    delegate.reset();
    std::filesystem::remove_all(home);
    return 0;
}

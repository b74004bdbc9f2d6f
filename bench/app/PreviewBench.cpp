// The camera screen's live preview on the CPU GPU backend, the simulated camera at 30 fps and
// the default phone's preview (390 x 520 points at scale 3: a 1170 x 1560 drawable):
//
//   BM_PreviewLive/FILM     one second of preview an iteration, on the real clock: frames drawn
//                           and dropped (a refresh skipped while a frame was in flight) per
//                           second, camera frames delivered and dropped late by the video
//                           output per second, process CPU per drawn frame, and the share
//                           of one core the drawing takes over the camera alone (draw_cores,
//                           draw_cpu_ms_per_frame, against BM_CameraOnly)
//   BM_CameraOnly           the same second with drawing off: what the simulated camera and the
//                           frame delivery cost by themselves
//   BM_PreviewDraw/FILM     one frame through the film at the drawable size, from a camera frame
//                           handed to the controller to the drawable presented
//   BM_LaunchToFirstFrame   controller made and shown, session started, until the first camera
//                           frame is on show (the program's own start and Qt's are not included)

#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/camera/hxViewController.h"
#include "platform/capture/SampleBuffer.h"
#include "platform/device/DeviceProfile.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/host/HeadlessHost.h"
#include "platform/ui/host/QtApplication.h"
#include "platform/ui/window/UIWindow.h"

namespace {

using hx::app::hxViewController;

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void prepareEnvironment() {
    static bool done = false;
    if (done) return;
    done = true;
    static std::string home =
        (std::filesystem::temp_directory_path() / ("hx-preview-bench-" + std::to_string(getpid())))
            .string();
    std::filesystem::create_directories(home);
    ::setenv("HALIDEX_HOME", home.c_str(), 1);
    ::setenv("HALIDEX_CAMERA_AUTH", "authorized", 1);
    // The CPU backend unless HALIDEX_GPU names another: HALIDEX_GPU=gl measures the GL backend.
    ::setenv("HALIDEX_GPU", "cpu", 0);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("HALIDEX_RESOURCES", HX_BENCH_RESOURCES_DIR, 0);
    ::unsetenv("HALIDEX_CAMERA");
    ::unsetenv("HALIDEX_CAMERA_SCENE");
    hx::ui::ensureQtApplication();
    hx::RunLoop::main().bindToCurrentThread();
    hx::DeviceProfile::select("phone");
}

// The camera screen in a headless window with the phone's preview rectangle.
struct Screen {
    std::shared_ptr<hxViewController> controller;
    std::unique_ptr<hx::HeadlessHost> host;

    explicit Screen(int32_t film) {
        prepareEnvironment();
        controller = std::make_shared<hxViewController>();
        controller->_previewWidth = 390;
        controller->_previewHeight = 520;
        controller->_topSpace = 100;
        host = std::make_unique<hx::HeadlessHost>();
        host->window()->setRootViewController(controller);
        host->window()->makeKeyAndVisible();
        controller->loadViewIfNeeded();
        controller->_currentFilm = film;
        controller->changeToneCurve(film);
    }
    ~Screen() {
        host->window()->setRootViewController(nullptr);
        controller.reset();
        host.reset();
        hx::RunLoop::main().runUntil([] { return false; }, 0.2);
    }

    bool presentedAll() const {
        uint64_t generation = 0;
        controller->metalView->presentedTexture(&generation);
        return generation >= controller->previewFramesDrawn();
    }
    void waitPresented() const {
        while (!presentedAll()) std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
};

void runFor(double seconds) {
    hx::RunLoop::main().runUntil([] { return false; }, seconds);
}

// Counts the camera's frames on their way to the controller, and those the video output
// dropped because the main queue had not taken the previous one yet.
class FrameCounter : public hx::capture::CaptureVideoDataOutputSampleBufferDelegate {
  public:
    explicit FrameCounter(hxViewController& screen) : screen_(screen) {}
    void captureOutputDidOutputSampleBuffer(hx::capture::CaptureOutput& output,
                                            const hx::capture::SampleBufferRef& sample,
                                            hx::capture::CaptureConnection& connection) override {
        ++delivered;
        screen_.captureOutputDidOutputSampleBuffer(output, sample, connection);
    }
    void captureOutputDidDropSampleBuffer(hx::capture::CaptureOutput&,
                                          const hx::capture::SampleBufferRef&,
                                          hx::capture::CaptureConnection&) override {
        ++late;
    }
    uint64_t delivered = 0, late = 0;

  private:
    hxViewController& screen_;
};

// Cores the camera and the frame delivery take without drawing, from BM_CameraOnly (run first).
double cameraOnlyCores = 0;

void livePreview(benchmark::State& state, int32_t film, bool draw) {
    Screen screen(film);
    hxViewController& s = *screen.controller;
    s._drawGL = draw;
    FrameCounter counter(s);
    s._videoDataOutput->setSampleBufferDelegate(&counter, &hx::DispatchQueue::main());
    s.session()->startRunning();
    runFor(1.0);  // the camera and the first frames settle
    uint64_t drawn = 0, dropped = 0, delivered = 0, late = 0;
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        uint64_t drawn0 = s.previewFramesDrawn(), dropped0 = s.previewFramesDropped();
        uint64_t delivered0 = counter.delivered, late0 = counter.late;
        double cpu0 = processCpuSeconds();
        auto wall0 = std::chrono::steady_clock::now();
        runFor(1.0);
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        cpu += processCpuSeconds() - cpu0;
        drawn += s.previewFramesDrawn() - drawn0;
        dropped += s.previewFramesDropped() - dropped0;
        delivered += counter.delivered - delivered0;
        late += counter.late - late0;
    }
    s.session()->stopRunning();
    s._videoDataOutput->setSampleBufferDelegate(nullptr, nullptr);
    state.counters["camera_per_s"] = double(delivered) / wall;
    state.counters["camera_late_per_s"] = double(late) / wall;
    state.counters["drawn_per_s"] = double(drawn) / wall;
    state.counters["dropped_per_s"] = double(dropped) / wall;
    state.counters["cpu_cores"] = cpu / wall;
    if (!draw) cameraOnlyCores = cpu / wall;
    if (drawn) {
        state.counters["cpu_ms_per_frame"] = 1000.0 * cpu / double(drawn);
        // The drawing's own share: what the camera alone takes is left out.
        state.counters["draw_cores"] = cpu / wall - cameraOnlyCores;
        state.counters["draw_cpu_ms_per_frame"] =
            1000.0 * (cpu - cameraOnlyCores * wall) / double(drawn);
    }
}

void BM_CameraOnly(benchmark::State& state) {
    livePreview(state, 0, false);
}
BENCHMARK(BM_CameraOnly)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PreviewLive(benchmark::State& state) {
    livePreview(state, int32_t(state.range(0)), true);
}
BENCHMARK(BM_PreviewLive)
    ->Arg(0)
    ->Arg(3)
    ->Arg(7)
    ->Arg(10)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A portrait camera frame as the session delivers it at the photo preset.
hx::capture::SampleBufferRef cameraFrame() {
    hx::gpu::PixelBufferRef buffer;
    hx::gpu::PixelBufferAttributes attributes;
    attributes.gpuCompatible = true;
    hx::gpu::PixelBuffer::create(1080, 1440, hx::gpu::PixelFormatType32BGRA, attributes, &buffer);
    uint8_t* row = buffer->baseAddress();
    for (size_t y = 0; y < buffer->height(); ++y, row += buffer->bytesPerRow())
        for (size_t x = 0; x < buffer->width(); ++x) {
            row[4 * x + 0] = uint8_t(x * 255 / buffer->width());
            row[4 * x + 1] = uint8_t(y * 255 / buffer->height());
            row[4 * x + 2] = uint8_t((x + y) & 0xff);
            row[4 * x + 3] = 255;
        }
    return std::make_shared<hx::capture::SampleBuffer>(buffer, 0.0);
}

void BM_PreviewDraw(benchmark::State& state) {
    Screen screen(int32_t(state.range(0)));
    hxViewController& s = *screen.controller;
    auto frame = cameraFrame();
    auto output = hx::capture::CaptureVideoDataOutput::create();
    hx::capture::CaptureConnection connection({}, output.get(),
                                              hx::capture::AVCaptureVideoOrientationPortrait);
    screen.waitPresented();
    for (auto _ : state) {
        s.captureOutputDidOutputSampleBuffer(*output, frame, connection);
        s.metalView->draw();
        screen.waitPresented();
    }
    state.counters["drawable_px"] =
        s.metalView->drawableSize().width * s.metalView->drawableSize().height;
}
BENCHMARK(BM_PreviewDraw)
    ->Arg(0)
    ->Arg(3)
    ->Arg(7)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_LaunchToFirstFrame(benchmark::State& state) {
    prepareEnvironment();
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        {
            Screen screen(0);
            hxViewController& s = *screen.controller;
            s.session()->startRunning();
            hx::RunLoop::main().runUntil([&] { return s.texture != nullptr; }, 10);
            uint64_t before = s.previewFramesDrawn();
            hx::RunLoop::main().runUntil([&] { return s.previewFramesDrawn() > before; }, 10);
            screen.waitPresented();
            state.SetIterationTime(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            s.session()->stopRunning();
        }
    }
}
BENCHMARK(BM_LaunchToFirstFrame)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

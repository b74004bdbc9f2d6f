// The simulated camera's costs: a 12-megapixel still (painting alone and through the photo
// output, target 150 ms), a preview frame, and handing a frame to its delegate.

#include <benchmark/benchmark.h>

#include <atomic>

#include "platform/capture/CaptureDevice.h"
#include "platform/capture/CaptureDeviceDiscoverySession.h"
#include "platform/capture/CaptureInput.h"
#include "platform/capture/CapturePhotoOutput.h"
#include "platform/capture/CaptureSession.h"
#include "platform/capture/CaptureVideoDataOutput.h"
#include "platform/capture/scene/BuiltInScenes.h"
#include "platform/capture/scene/SceneRenderer.h"
#include "platform/runloop/RunLoop.h"

namespace {

using namespace hx::capture;

hx::gpu::PixelBufferRef newBuffer(size_t width, size_t height) {
    hx::gpu::PixelBufferRef buffer;
    hx::gpu::PixelBuffer::create(width, height, kCVPixelFormatType_32BGRA, {}, &buffer);
    return buffer;
}

void paint(benchmark::State& state, size_t width, size_t height, scene::RenderView view) {
    auto outdoor = scene::makeOutdoorScene();
    auto buffer = newBuffer(width, height);
    for (auto _ : state) {
        scene::renderScene(*outdoor, view, *buffer);
        benchmark::DoNotOptimize(buffer->baseAddress());
        view.time += 1.0 / 30;
    }
    state.counters["Mpixel/s"] = benchmark::Counter(double(width * height) * state.iterations(),
                                                    benchmark::Counter::kIsRate);
}

void BM_PaintStill12MP(benchmark::State& state) {
    scene::RenderView view;
    view.orientation = AVCaptureVideoOrientationLandscapeRight;
    paint(state, 4032, 3024, view);
}
BENCHMARK(BM_PaintStill12MP)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_PaintStill12MPWithFlashWhileFocusing(benchmark::State& state) {
    scene::RenderView view;
    view.orientation = AVCaptureVideoOrientationLandscapeRight;
    view.flash = 0.7;
    view.defocus = 0.8;
    paint(state, 4032, 3024, view);
}
BENCHMARK(BM_PaintStill12MPWithFlashWhileFocusing)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_PaintPreviewFrame(benchmark::State& state) {
    paint(state, 1080, 1440, scene::RenderView{});
}
BENCHMARK(BM_PaintPreviewFrame)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

class Catcher : public CapturePhotoCaptureDelegate {
  public:
    void captureOutputDidFinishProcessingPhoto(CapturePhotoOutput&, const CapturePhotoRef&,
                                               const std::optional<CaptureError>&) override {
        ++count;
    }
    std::atomic<int> count{0};
};

// From the shutter to the delegate holding the photo.
void BM_CaptureStill12MP(benchmark::State& state) {
    hx::RunLoop::main().bindToCurrentThread();
    auto discovery = CaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
        {AVCaptureDeviceTypeBuiltInWideAngleCamera}, AVMediaTypeVideo, AVCaptureDevicePositionBack);
    auto session = CaptureSession::create();
    auto output = CapturePhotoOutput::create();
    session->addInput(CaptureDeviceInput::deviceInputWithDevice(discovery->devices().front()));
    session->addOutput(output);
    session->setSessionPreset(AVCaptureSessionPresetPhoto);
    session->startRunning();
    Catcher catcher;
    for (auto _ : state) {
        const int before = catcher.count;
        output->capturePhotoWithSettings(CapturePhotoSettings::photoSettings(), &catcher);
        hx::RunLoop::main().runUntil([&] { return catcher.count > before; }, 30);
    }
    session->stopRunning();
}
BENCHMARK(BM_CaptureStill12MP)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

class Counter : public CaptureVideoDataOutputSampleBufferDelegate {
  public:
    void captureOutputDidOutputSampleBuffer(CaptureOutput&, const SampleBufferRef&,
                                            CaptureConnection&) override {
        ++frames;
    }
    int frames = 0;
};

// Handing a painted frame to a delegate on the main queue: pool, sample buffer, queue hop.
void BM_DeliverFrame(benchmark::State& state) {
    hx::RunLoop::main().bindToCurrentThread();
    auto discovery = CaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
        {AVCaptureDeviceTypeBuiltInWideAngleCamera}, AVMediaTypeVideo, AVCaptureDevicePositionBack);
    auto session = CaptureSession::create();
    auto video = CaptureVideoDataOutput::create();
    session->addInput(CaptureDeviceInput::deviceInputWithDevice(discovery->devices().front()));
    session->addOutput(video);
    Counter counter;
    video->setSampleBufferDelegate(&counter, &hx::DispatchQueue::main());
    auto connection = video->connectionWithMediaType(AVMediaTypeVideo);
    auto pool = video->poolFor({1080, 1440});
    double time = 0;
    for (auto _ : state) {
        video->deliverFrame(pool->acquire(), time, connection);
        hx::RunLoop::main().runOnce(0);
        time += 1.0 / 30;
    }
    video->setSampleBufferDelegate(nullptr, nullptr);
    state.counters["frames"] = counter.frames;
}
BENCHMARK(BM_DeliverFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

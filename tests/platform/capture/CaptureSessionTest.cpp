// Sessions: what they accept, their connections, and frames: 30 per second on the run loop's
// clock, upright when the connection asks for portrait, from a small pool that is only reused
// once the consumer lets go.

#include "platform/log/CaptureScope.h"
#include "platform/runloop/Semaphore.h"
#include "tests/platform/capture/CaptureTestSupport.h"

namespace hx::capture::testing {
namespace {

using Sessions = CaptureTest;

constexpr double kFrame = 1.0 / 30;

// Advances one frame at a time, letting each be painted and delivered, until `count` frames
// have arrived.
void collectFrames(FrameRecorder& recorder, size_t count) {
    for (int step = 0; step < 200 && recorder.frameCount() < count; ++step)
        CaptureTest::advance(kFrame);
}

TEST_F(Sessions, AcceptOneCameraAndOneOutputOfEachKind) {
    auto session = CaptureSession::create();
    auto back = CaptureDeviceInput::deviceInputWithDevice(backWide());
    auto front =
        CaptureDeviceInput::deviceInputWithDevice(cameraWith(AVCaptureDevicePositionFront, 1));
    EXPECT_TRUE(session->canAddInput(back));
    session->addInput(back);
    EXPECT_FALSE(session->canAddInput(back));
    EXPECT_FALSE(session->canAddInput(front));
    EXPECT_FALSE(session->canAddInput(nullptr));

    auto video = CaptureVideoDataOutput::create();
    auto photo = CapturePhotoOutput::create();
    session->addOutput(video);
    session->addOutput(photo);
    EXPECT_FALSE(session->canAddOutput(CaptureVideoDataOutput::create()));
    EXPECT_FALSE(session->canAddOutput(photo));
    EXPECT_FALSE(CaptureSession::create()->canAddOutput(photo));  // it belongs to a session
    EXPECT_EQ(session->outputs().size(), 2u);

    // Each output is connected to the camera's video port; frames come in sensor orientation
    // until asked otherwise, stills are recorded as portrait.
    for (const CaptureOutputRef& output : session->outputs()) {
        ASSERT_EQ(output->connections().size(), 1u);
        const CaptureConnectionRef connection = output->connections().front();
        ASSERT_EQ(connection->inputPorts().size(), 1u);
        EXPECT_EQ(connection->inputPorts().front()->mediaType(), AVMediaTypeVideo);
        EXPECT_TRUE(connection->isVideoOrientationSupported());
        EXPECT_EQ(connection->videoDevice(), backWide());
    }
    EXPECT_EQ(video->connectionWithMediaType(AVMediaTypeVideo)->videoOrientation(),
              AVCaptureVideoOrientationLandscapeRight);

    // Swapping the camera, as the camera screen does, connects the outputs to the new one.
    session->beginConfiguration();
    session->removeInput(session->inputs().front());
    EXPECT_TRUE(photo->connections().empty());
    session->addInput(front);
    session->commitConfiguration();
    EXPECT_EQ(photo->connectionWithMediaType(AVMediaTypeVideo)->videoDevice()->position(),
              AVCaptureDevicePositionFront);

    log::CaptureScope log;
    EXPECT_FALSE(video->setVideoSettings({{kCVPixelBufferPixelFormatTypeKey, 0x34323076}}));
    EXPECT_TRUE(log.contains("not offered"));
}

TEST_F(Sessions, PresetsSizeTheFrames) {
    const VideoDimensions back{4032, 3024}, front{3088, 2320};
    EXPECT_EQ(CaptureSession::videoDimensionsForPreset(AVCaptureSessionPresetPhoto, back),
              (VideoDimensions{1440, 1080}));
    EXPECT_EQ(CaptureSession::videoDimensionsForPreset(AVCaptureSessionPresetPhoto, front),
              (VideoDimensions{1440, 1082}));
    EXPECT_EQ(CaptureSession::videoDimensionsForPreset(AVCaptureSessionPresetHigh, back),
              (VideoDimensions{1920, 1080}));
    EXPECT_EQ(CaptureSession::videoDimensionsForPreset(AVCaptureSessionPresetLow, back),
              (VideoDimensions{192, 144}));
    EXPECT_EQ(
        CaptureSession::videoDimensionsForPreset(AVCaptureSessionPresetInputPriority, {1280, 960}),
        (VideoDimensions{1280, 960}));

    useProfileText("cameras = wide:960x720\n");
    auto session = CaptureSession::create();
    session->addInput(CaptureDeviceInput::deviceInputWithDevice(backWide()));
    EXPECT_TRUE(session->canSetSessionPreset(AVCaptureSessionPresetPhoto));
    EXPECT_FALSE(session->canSetSessionPreset(AVCaptureSessionPreset1280x720));
    EXPECT_FALSE(session->canSetSessionPreset("AVCaptureSessionPresetHuge"));
    session->setSessionPreset(AVCaptureSessionPresetPhoto);
    EXPECT_EQ(session->sessionPreset(), AVCaptureSessionPresetPhoto);
}

TEST_F(Sessions, FramesArriveThirtyTimesASecondUprightInPortrait) {
    FrameRecorder recorder;
    RunningCamera camera(backWide(), &recorder);
    advance(0.5 * kFrame);
    EXPECT_EQ(recorder.frameCount(), 0u);  // nothing before the first frame is due
    collectFrames(recorder, 3);
    ASSERT_EQ(recorder.frameCount(), 3u);
    for (size_t i = 1; i < 3; ++i)
        EXPECT_NEAR(recorder.frames[i]->presentationTimeStamp() -
                        recorder.frames[i - 1]->presentationTimeStamp(),
                    kFrame, 1e-9);

    const gpu::PixelBuffer& frame = *recorder.frames.back()->imageBuffer();
    EXPECT_EQ(frame.pixelFormatType(), kCVPixelFormatType_32BGRA);
    EXPECT_EQ(frame.width(), 1080u);
    EXPECT_EQ(frame.height(), 1440u);
    EXPECT_EQ(frame.bytesPerRow(), 1088u * 4);  // rows padded to 64 bytes
    EXPECT_EQ(recorder.orientations.back(), AVCaptureVideoOrientationPortrait);
    // Sky above, grass below.
    EXPECT_TRUE(isSkyBlue(pixelAt(frame, 540, 20)));
    EXPECT_TRUE(isGrassGreen(pixelAt(frame, 20, 1430)));

    // The camera's own landscape orientation: the top of the view at the buffer's left.
    camera.video->connectionWithMediaType(AVMediaTypeVideo)
        ->setVideoOrientation(AVCaptureVideoOrientationLandscapeRight);
    collectFrames(recorder, 4);
    const gpu::PixelBuffer& landscape = *recorder.frames.back()->imageBuffer();
    EXPECT_EQ(landscape.width(), 1440u);
    EXPECT_EQ(landscape.height(), 1080u);
    EXPECT_TRUE(isSkyBlue(pixelAt(landscape, 20, 540)));
    EXPECT_TRUE(isGrassGreen(pixelAt(landscape, 1430, 1070)));

    camera.session->stopRunning();
    EXPECT_FALSE(camera.session->isRunning());
    advance(1);
    EXPECT_EQ(recorder.frameCount(), 4u);
}

TEST_F(Sessions, FramesComeFromASmallPoolReusedOnlyWhenReleased) {
    FrameRecorder recorder;
    RunningCamera camera(backWide(), &recorder);
    const size_t capacity = CaptureVideoDataOutput::kPoolCapacity;
    collectFrames(recorder, capacity);
    ASSERT_EQ(recorder.frameCount(), capacity);
    // The recorder holds every frame, so the camera has to drop the next ones.
    advance(kFrame);
    advance(kFrame);
    EXPECT_EQ(recorder.frameCount(), capacity);
    ASSERT_EQ(recorder.dropCount(), 2u);
    EXPECT_EQ(recorder.drops.front(), kCMSampleBufferDroppedFrameReason_OutOfBuffers);

    // Letting one go brings frames back, in that same buffer.
    const gpu::PixelBuffer* released = recorder.frames.front()->imageBuffer().get();
    recorder.frames.erase(recorder.frames.begin());
    collectFrames(recorder, capacity);
    EXPECT_EQ(recorder.frames.back()->imageBuffer().get(), released);
}

TEST_F(Sessions, LateFramesAreDroppedWhileTheDelegateIsBusy) {
    auto session = CaptureSession::create();
    auto video = CaptureVideoDataOutput::create();
    session->addInput(CaptureDeviceInput::deviceInputWithDevice(backWide()));
    session->addOutput(video);
    const CaptureConnectionRef connection = video->connectionWithMediaType(AVMediaTypeVideo);
    auto pool = PixelBufferPool::create(64, 48, 4);

    FrameRecorder recorder;
    auto queue = DispatchQueue::makeSerial("busy consumer");
    video->setSampleBufferDelegate(&recorder, queue.get());
    Semaphore release;
    queue->async([&] { release.wait(); });
    for (int i = 0; i < 3; ++i) video->deliverFrame(pool->acquire(), i * kFrame, connection);
    release.signal();
    queue->sync([] {});
    EXPECT_EQ(recorder.frameCount(), 1u);
    EXPECT_EQ(recorder.drops,
              (std::vector<std::string>(2, kCMSampleBufferDroppedFrameReason_FrameWasLate)));

    // Once the delegate is done, the next frame goes through; without discarding none is late.
    video->deliverFrame(pool->acquire(), 3 * kFrame, connection);
    queue->async([&] { release.wait(); });
    video->setAlwaysDiscardsLateVideoFrames(false);
    video->deliverFrame(pool->acquire(), 4 * kFrame, connection);
    release.signal();
    queue->sync([] {});
    EXPECT_EQ(recorder.frameCount(), 3u);
    EXPECT_EQ(recorder.dropCount(), 2u);
    video->setSampleBufferDelegate(nullptr, nullptr);
}

TEST_F(Sessions, ConfigurationChangesWaitForTheCommit) {
    FrameRecorder recorder;
    RunningCamera camera(backWide(), &recorder);
    collectFrames(recorder, 1);
    camera.session->beginConfiguration();
    camera.session->setSessionPreset(AVCaptureSessionPresetLow);
    collectFrames(recorder, 2);
    EXPECT_EQ(recorder.frames.back()->imageBuffer()->height(), 1440u);
    camera.session->commitConfiguration();
    collectFrames(recorder, 3);
    EXPECT_EQ(recorder.frames.back()->imageBuffer()->height(), 192u);
    EXPECT_EQ(recorder.frames.back()->imageBuffer()->width(), 144u);
}

}  // namespace
}  // namespace hx::capture::testing

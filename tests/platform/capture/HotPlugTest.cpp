// Cameras that go away and come back while a session uses them: the device's presence and its
// notifications, the session's interruption (frames stop, its reason, the end of it when the
// camera returns), what an unplugged camera refuses, and a still taken just before it left.

#include "platform/runloop/NotificationCenter.h"
#include "tests/platform/capture/CaptureTestSupport.h"

namespace hx::capture::testing {
namespace {

using HotPlug = CaptureTest;
constexpr double kFrame = 1.0 / 30;

// Every notification of the given names, in order, as they were posted.
class Heard {
  public:
    explicit Heard(std::initializer_list<const char*> names) {
        for (const char* name : names)
            tokens_.push_back(NotificationCenter::defaultCenter().addObserverForName(
                name, nullptr, nullptr, [this](const Notification& notification) {
                    std::lock_guard lock(mutex_);
                    notifications_.push_back(notification);
                }));
    }
    ~Heard() {
        for (auto token : tokens_) NotificationCenter::defaultCenter().removeObserver(token);
    }
    std::vector<Notification> all() {
        std::lock_guard lock(mutex_);
        return notifications_;
    }
    size_t count() { return all().size(); }

  private:
    std::mutex mutex_;
    std::vector<NotificationCenter::ObserverToken> tokens_;
    std::vector<Notification> notifications_;
};

// Frames the camera sent (delivered, or dropped because the recorder holds every buffer).
size_t framesAfter(FrameRecorder& frames, double seconds) {
    auto sent = [&] { return frames.frameCount() + frames.dropCount(); };
    const size_t before = sent();
    for (double t = 0; t < seconds; t += kFrame) CaptureTest::advance(kFrame);
    return sent() - before;
}

TEST_F(HotPlug, AnUnpluggedCameraInterruptsItsSessionUntilItIsBack) {
    FrameRecorder frames;
    RunningCamera camera(backWide(), &frames);
    Heard heard({AVCaptureDeviceWasDisconnectedNotification,
                 AVCaptureDeviceWasConnectedNotification,
                 AVCaptureSessionWasInterruptedNotification,
                 AVCaptureSessionInterruptionEndedNotification});
    EXPECT_GT(framesAfter(frames, 0.5), 10u);
    EXPECT_TRUE(camera.device->isConnected());
    EXPECT_FALSE(camera.session->isInterrupted());

    SimulatedCamera::setUnplugged(true);
    ASSERT_TRUE(waitFor([&] { return camera.session->isInterrupted(); }));
    EXPECT_FALSE(camera.device->isConnected());
    EXPECT_TRUE(camera.session->isRunning());  // interrupted, not stopped
    EXPECT_EQ(framesAfter(frames, 0.5), 0u);
    // The backend offers no camera while it is gone.
    EXPECT_EQ(backWide(), nullptr);

    {
        auto notes = heard.all();
        // Every camera of the profile says it left; the session says why it stopped, once.
        size_t interruptions = 0;
        for (const Notification& note : notes) {
            if (note.name != AVCaptureSessionWasInterruptedNotification) continue;
            ++interruptions;
            EXPECT_EQ(note.object, camera.session.get());
            EXPECT_EQ(int64_t(note.numberValue(AVCaptureSessionInterruptionReasonKey)),
                      AVCaptureSessionInterruptionReasonVideoDeviceNotAvailable);
        }
        EXPECT_EQ(interruptions, 1u);
        const bool deviceSaidSo = std::any_of(notes.begin(), notes.end(), [&](const auto& n) {
            return n.name == AVCaptureDeviceWasDisconnectedNotification &&
                   n.object == camera.device.get();
        });
        EXPECT_TRUE(deviceSaidSo);
    }

    SimulatedCamera::setUnplugged(false);
    ASSERT_TRUE(waitFor([&] { return !camera.session->isInterrupted(); }));
    EXPECT_TRUE(camera.device->isConnected());
    EXPECT_GT(framesAfter(frames, 0.5), 10u);
    const auto notes = heard.all();
    ASSERT_FALSE(notes.empty());
    const bool ended = std::any_of(notes.begin(), notes.end(), [&](const auto& n) {
        return n.name == AVCaptureSessionInterruptionEndedNotification &&
               n.object == camera.session.get();
    });
    EXPECT_TRUE(ended);
    // The same device object is found again.
    EXPECT_EQ(backWide(), camera.device);
}

TEST_F(HotPlug, AGoneCameraRefusesStillsAndConfigurationButAStillTakenBeforeIsDelivered) {
    useSmallStills();
    RunningCamera camera(backWide());
    PhotoRecorder before;
    camera.photo->capturePhotoWithSettings(CapturePhotoSettings::photoSettings(), &before);
    // Unplugged right after the shutter: the still was already taken.
    SimulatedCamera::setUnplugged(true);
    ASSERT_TRUE(waitFor([&] { return before.count > 0; }));
    {
        std::lock_guard lock(before.mutex);
        EXPECT_FALSE(before.errors.front().has_value());
        ASSERT_TRUE(before.photos.front());
        EXPECT_TRUE(before.photos.front()->pixelBuffer());
    }

    ASSERT_TRUE(waitFor([&] { return camera.session->isInterrupted(); }));
    std::optional<CaptureError> error;
    auto refused = camera.capture(AVCaptureFlashModeOff, &error);
    EXPECT_FALSE(refused && refused->pixelBuffer());
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, AVErrorDeviceNotConnected);

    CaptureError refusal;
    EXPECT_FALSE(camera.device->lockForConfiguration(&refusal));
    EXPECT_EQ(refusal.code, AVErrorDeviceNotConnected);

    SimulatedCamera::setUnplugged(false);
    ASSERT_TRUE(waitFor([&] { return !camera.session->isInterrupted(); }));
    error.reset();
    auto photo = camera.capture(AVCaptureFlashModeOff, &error);
    EXPECT_FALSE(error.has_value());
    ASSERT_TRUE(photo);
    EXPECT_TRUE(photo->pixelBuffer());
}

TEST_F(HotPlug, TakingTheGoneCameraOutEndsTheInterruptionAndAStoppedSessionStaysStopped) {
    FrameRecorder frames;
    RunningCamera camera(backWide(), &frames);
    camera.session->stopRunning();
    SimulatedCamera::setUnplugged(true);
    // A stopped session is interrupted too: the camera screen must know while the browser is in
    // front.
    ASSERT_TRUE(waitFor([&] { return camera.session->isInterrupted(); }));
    camera.session->beginConfiguration();
    camera.session->removeInput(camera.session->inputs().front());
    camera.session->commitConfiguration();
    EXPECT_FALSE(camera.session->isInterrupted());

    // The camera's return no longer concerns this session.
    Heard heard({AVCaptureSessionInterruptionEndedNotification});
    SimulatedCamera::setUnplugged(false);
    ASSERT_TRUE(waitFor([&] { return camera.device->isConnected(); }));
    camera.device->deviceQueue()->sync([] {});
    EXPECT_EQ(heard.count(), 0u);
    EXPECT_EQ(framesAfter(frames, 0.3), 0u);
}

}  // namespace
}  // namespace hx::capture::testing

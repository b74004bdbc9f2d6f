#pragma once
// Runs a camera script against the window and the application.
//
// The runner is one loop of steps shared by both clocks: each command becomes a few steps (a
// tap: finger down, 0.05 s, finger up), and after a step the runner goes on after so many
// seconds on the run loop's clock. Only that "go on after" differs:
// - Manual clock (headless): the runner moves the clock itself with RunLoop::advance in steps
//   of at most 1/120 s, so every timer, camera frame and animation due on the way runs in time
//   order, and start() returns once the script has ended.
// - Real clock (a window): the runner schedules its next step on the main run loop and returns,
//   so Qt's event loop keeps running; the window draws between steps.
//
// Touches go through the window's touch dispatch (the path of the Qt window's mouse and of the
// headless host), on fingers of their own. Hardware keys press and release the capture button
// through the capture event interactions, tilts set the simulated accelerometer, background and
// foreground go through UIApplication. The application supplies the rest (ScriptTarget).
//
// Gestures take time like a finger: a tap is down 0.05 s (taps of one COUNT 0.1 s apart), a
// long press is held SECONDS, a drag moves every 1/60 s over SECONDS, a pinch starts with the
// fingers 100 points apart and reaches 100 × SCALE in 0.3 s. Taps of separate lines closer
// than 0.35 s at one place count as a double tap, as a finger's would.
//
// Exit statuses: 0 the script ended or quit; 1 a wait-idle timed out, a screenshot could not
// be written or a share failed; 2 a press named no visible view, a film the picker does not
// offer, or an item, swipe or share found nothing to act on. Messages name the script line.
//
// Threads: main thread only.

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "app/shell/CameraScript.h"
#include "app/shell/ScriptTarget.h"
#include "platform/motion/Accelerometer.h"

namespace hx {
class UIWindow;
}

namespace hx::app {

enum class ScriptClock {
    // The clock moves only when the runner advances it (headless).
    Manual,
    // The clock is real time and another loop (Qt's) runs the main run loop (a window).
    Real
};

struct ScriptOutcome {
    int exitStatus = 0;
    // Empty when the script succeeded; else "script line N: ...".
    std::string message;
    // The program should end now with exitStatus: after quit or a failure. False when the
    // script simply ran out of commands (a window then stays open; headless ends).
    bool endProgram = false;
};

class ScriptRunner : public std::enable_shared_from_this<ScriptRunner> {
  public:
    using Completion = std::function<void(const ScriptOutcome& outcome)>;
    // A press (true) or release (false) of a hardware key.
    using KeyHandler = std::function<void(HardwareKey key, bool pressed)>;
    using TiltHandler = std::function<void(Tilt tilt)>;

    // Longest step of the manual clock.
    static constexpr double kManualStepSeconds = 1.0 / 120;
    // How often wait-idle asks the target.
    static constexpr double kIdlePollSeconds = 1.0 / 30;
    // Fingers the runner uses, apart from the window's mouse fingers.
    static constexpr int kFinger = 20;
    static constexpr int kSecondFinger = 21;

    static std::shared_ptr<ScriptRunner> make(CameraScript script, std::shared_ptr<UIWindow> window,
                                              std::shared_ptr<ScriptTarget> target,
                                              ScriptClock clock);

    // Replaces the hardware-key path (default: pressHardwareKey of HardwareKeys.h, the capture
    // event interactions and, when none takes a press, the system volume).
    void setKeyHandler(KeyHandler handler);
    // Replaces the tilt path (default: the simulated accelerometer reads gravityFor(tilt)).
    void setTiltHandler(TiltHandler handler);

    // Runs the script; the completion runs once, on the main thread, when it ends. On the manual
    // clock the whole script runs before start() returns.
    void start(Completion completion);
    // Stops without calling the completion; fingers still down are lifted.
    void cancel();

    bool isRunning() const { return started_ && !finished_; }
    bool isFinished() const { return finished_; }
    // The line of the command running now (0 before the first).
    int currentLine() const { return line_; }

    // Gravity in g along the screen's axes for a way of holding the device: portrait (0, −1),
    // upside down (0, 1), landscape left (−1, 0), landscape right (1, 0).
    static Acceleration gravityFor(Tilt tilt);

  private:
    struct StepResult {
        // Seconds on the clock before the next step.
        double wait = 0;
        // Run this step again after the wait.
        bool again = false;
        // Hand the main thread back before the next step (the end of a command).
        bool yield = false;
    };
    using Step = std::function<StepResult()>;
    struct Passkey {};

  public:
    ScriptRunner(Passkey, CameraScript script, std::shared_ptr<UIWindow> window,
                 std::shared_ptr<ScriptTarget> target, ScriptClock clock);

  private:
    void resume();
    void expand(const ScriptCommand& command);
    void addTap(CGPoint point, int count);
    // item, swipe and share (ScriptRunnerBrowsing.cpp); false when the script has ended.
    bool expandBrowsing(const ScriptCommand& command);
    void finish(int status, std::string message, bool endProgram);
    void advanceClock(double seconds);
    void scheduleResume(double seconds);
    std::string where() const;

    CameraScript script_;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<ScriptTarget> target_;
    ScriptClock clock_;
    KeyHandler keyHandler_;
    TiltHandler tiltHandler_;
    Completion completion_;
    std::deque<Step> steps_;
    size_t next_ = 0;
    int line_ = 0;
    bool started_ = false;
    bool finished_ = false;
    bool resuming_ = false;
};

}  // namespace hx::app

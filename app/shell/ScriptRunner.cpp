#include "app/shell/ScriptRunner.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <thread>

#include <QImage>
#include <QString>

#include "app/shell/HardwareKeys.h"
#include "app/shell/ProcessStats.h"
#include "platform/capture/simulated/SimulatedCamera.h"
#include "platform/motion/simulated/SimulatedAccelerometer.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/events/TouchDispatcher.h"
#include "platform/ui/host/PictureFile.h"
#include "platform/ui/host/UIRenderer.h"
#include "platform/ui/window/UIApplication.h"
#include "platform/ui/window/UIWindow.h"

namespace hx::app {

namespace {

constexpr double kTapDownSeconds = 0.05;
constexpr double kTapGapSeconds = 0.1;
constexpr double kKeyDownSeconds = 0.05;
constexpr double kDragStepSeconds = 1.0 / 60;
constexpr int kDragMaxSteps = 600;
constexpr double kPinchStartSpread = 100;
constexpr double kPinchSeconds = 0.3;
constexpr int kPinchSteps = 10;
constexpr double kScreenshotSettleSeconds = 5;

// Seen on screen: in the window, and neither it nor any view above it hidden or transparent
// (the views hit-testing skips).
bool isVisibleIn(const std::shared_ptr<UIView>& view, const UIWindow& window) {
    if (!view || view->window().get() != &window) return false;
    for (auto v = view; v; v = v->superview()) {
        if (v->isHidden() || v->alpha() < 0.01) return false;
    }
    return true;
}

ScriptRunner::KeyHandler defaultKeyHandler() {
    return [](HardwareKey key, bool pressed) { pressHardwareKey(key, pressed); };
}

CGPoint lerp(CGPoint a, CGPoint b, double t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

// The i-th of n equal parts of `total` seconds, whole nanoseconds chosen so that the parts add
// up to exactly the total on the clock.
double slice(double total, int i, int n) {
    return Clock::toSeconds(Clock::toNanoseconds(total * i / n) -
                            Clock::toNanoseconds(total * (i - 1) / n));
}

std::string formatSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

}  // namespace

Acceleration ScriptRunner::gravityFor(Tilt tilt) {
    switch (tilt) {
        case Tilt::Portrait:
            return {0, -1, 0};
        case Tilt::UpsideDown:
            return {0, 1, 0};
        case Tilt::LandscapeLeft:
            return {-1, 0, 0};
        case Tilt::LandscapeRight:
            return {1, 0, 0};
    }
    return {0, -1, 0};
}

std::shared_ptr<ScriptRunner> ScriptRunner::make(CameraScript script,
                                                 std::shared_ptr<UIWindow> window,
                                                 std::shared_ptr<ScriptTarget> target,
                                                 ScriptClock clock) {
    return std::make_shared<ScriptRunner>(Passkey{}, std::move(script), std::move(window),
                                          std::move(target), clock);
}

ScriptRunner::ScriptRunner(Passkey, CameraScript script, std::shared_ptr<UIWindow> window,
                           std::shared_ptr<ScriptTarget> target, ScriptClock clock)
    : script_(std::move(script)),
      window_(std::move(window)),
      target_(std::move(target)),
      clock_(clock),
      keyHandler_(defaultKeyHandler()),
      tiltHandler_([](Tilt tilt) { SimulatedMotion::setAcceleration(gravityFor(tilt)); }) {}

void ScriptRunner::setKeyHandler(KeyHandler handler) {
    keyHandler_ = handler ? std::move(handler) : defaultKeyHandler();
}

void ScriptRunner::setTiltHandler(TiltHandler handler) {
    if (handler) tiltHandler_ = std::move(handler);
}

void ScriptRunner::start(Completion completion) {
    if (started_) return;
    started_ = true;
    completion_ = std::move(completion);
    resume();
}

void ScriptRunner::cancel() {
    if (finished_) return;
    finished_ = true;
    steps_.clear();
    RunLoop::main().cancelPerformRequests(this);
    auto& touches = window_->touchDispatcher();
    if (touches.isFingerDown(kFinger)) touches.fingerUp(kFinger);
    if (touches.isFingerDown(kSecondFinger)) touches.fingerUp(kSecondFinger);
}

std::string ScriptRunner::where() const {
    return "script line " + std::to_string(line_) + ": ";
}

void ScriptRunner::finish(int status, std::string message, bool endProgram) {
    if (finished_) return;
    finished_ = true;
    steps_.clear();
    RunLoop::main().cancelPerformRequests(this);
    auto completion = std::move(completion_);
    completion_ = nullptr;
    if (completion) completion(ScriptOutcome{status, std::move(message), endProgram});
}

void ScriptRunner::resume() {
    // A step that advances the clock may run work that ends the script; the loop then stops.
    if (resuming_) return;
    resuming_ = true;
    auto self = shared_from_this();
    while (!finished_) {
        if (steps_.empty()) {
            if (next_ >= script_.commands.size()) {
                finish(0, "", false);
                break;
            }
            const ScriptCommand& command = script_.commands[next_++];
            line_ = command.line;
            expand(command);
            continue;
        }
        Step step = std::move(steps_.front());
        steps_.pop_front();
        StepResult result = step();
        if (finished_) break;
        if (result.again) steps_.push_front(std::move(step));
        if (clock_ == ScriptClock::Manual) {
            advanceClock(result.wait);
        } else if (result.wait > 0 || result.yield) {
            scheduleResume(result.wait);
            break;
        }
    }
    resuming_ = false;
}

void ScriptRunner::advanceClock(double seconds) {
    RunLoop& loop = RunLoop::main();
    if (seconds <= 0) {
        // Runs what is queued now (work the step posted) without moving the clock.
        loop.advance(0);
        return;
    }
    const std::int64_t step = Clock::toNanoseconds(kManualStepSeconds);
    const std::int64_t target = Clock::nowNanoseconds() + Clock::toNanoseconds(seconds);
    while (!finished_) {
        std::int64_t now = Clock::nowNanoseconds();
        if (now >= target) break;
        loop.advance(Clock::toSeconds(std::min(step, target - now)));
        if (Clock::nowNanoseconds() <= now) break;  // a clock that does not move
    }
}

void ScriptRunner::scheduleResume(double seconds) {
    auto self = shared_from_this();
    RunLoop::main().postAfter(
        std::max(0.0, seconds), [self] { self->resume(); }, this);
}

void ScriptRunner::addTap(CGPoint point, int count) {
    for (int i = 0; i < count; ++i) {
        steps_.push_back([this, point] {
            UIRenderer::layoutTree(*window_);
            window_->touchDispatcher().fingerDown(kFinger, point);
            return StepResult{kTapDownSeconds};
        });
        bool last = i + 1 == count;
        steps_.push_back([this, point, last] {
            window_->touchDispatcher().fingerUp(kFinger, point);
            return StepResult{last ? 0 : kTapGapSeconds};
        });
    }
}

void ScriptRunner::expand(const ScriptCommand& command) {
    switch (command.kind) {
        case ScriptCommandKind::Item:
        case ScriptCommandKind::Swipe:
        case ScriptCommandKind::Share:
            if (!expandBrowsing(command)) return;
            break;
        case ScriptCommandKind::Wait: {
            steps_.push_back([seconds = command.seconds] { return StepResult{seconds}; });
            break;
        }
        case ScriptCommandKind::WaitIdle: {
            auto deadline = std::make_shared<double>(-1);
            steps_.push_back([this, deadline, timeout = command.seconds] {
                if (*deadline < 0) *deadline = Clock::now() + timeout;
                if (target_->isIdle()) return StepResult{};
                if (clock_ == ScriptClock::Manual) {
                    // Lets work on other threads (a capture rendering, a save) come back
                    // before the clock moves on.
                    RunLoop::main().runUntil([this] { return target_->isIdle(); }, 0.05);
                    if (target_->isIdle()) return StepResult{};
                }
                if (Clock::now() >= *deadline) {
                    finish(1,
                           where() + "wait-idle: still busy after " + formatSeconds(timeout) + " s",
                           true);
                    return StepResult{};
                }
                return StepResult{kIdlePollSeconds, true};
            });
            break;
        }
        case ScriptCommandKind::Tap:
            addTap(command.point, command.count);
            break;
        case ScriptCommandKind::LongPress: {
            CGPoint point = command.point;
            steps_.push_back([this, point, seconds = command.seconds] {
                UIRenderer::layoutTree(*window_);
                window_->touchDispatcher().fingerDown(kFinger, point);
                return StepResult{seconds};
            });
            steps_.push_back([this, point] {
                window_->touchDispatcher().fingerUp(kFinger, point);
                return StepResult{};
            });
            break;
        }
        case ScriptCommandKind::Drag: {
            CGPoint from = command.point, to = command.to;
            int steps = std::clamp(static_cast<int>(std::ceil(command.seconds / kDragStepSeconds)),
                                   1, kDragMaxSteps);
            double total = command.seconds;
            steps_.push_back([this, from, first = slice(total, 1, steps)] {
                UIRenderer::layoutTree(*window_);
                window_->touchDispatcher().fingerDown(kFinger, from);
                return StepResult{first};
            });
            for (int i = 1; i <= steps; ++i) {
                CGPoint at = lerp(from, to, static_cast<double>(i) / steps);
                double wait = i == steps ? 0 : slice(total, i + 1, steps);
                steps_.push_back([this, at, wait] {
                    window_->touchDispatcher().fingerMoved(kFinger, at);
                    return StepResult{wait};
                });
            }
            steps_.push_back([this, to] {
                window_->touchDispatcher().fingerUp(kFinger, to);
                return StepResult{};
            });
            break;
        }
        case ScriptCommandKind::Pinch: {
            CGPoint c = command.point;
            double start = kPinchStartSpread, end = kPinchStartSpread * command.scale;
            double each = kPinchSeconds / kPinchSteps;
            steps_.push_back([this, c, start, each] {
                UIRenderer::layoutTree(*window_);
                auto& t = window_->touchDispatcher();
                t.fingerDown(kFinger, {c.x - start / 2, c.y});
                t.fingerDown(kSecondFinger, {c.x + start / 2, c.y});
                return StepResult{each};
            });
            for (int i = 1; i <= kPinchSteps; ++i) {
                double spread = start + (end - start) * i / kPinchSteps;
                bool last = i == kPinchSteps;
                steps_.push_back([this, c, spread, each, last] {
                    auto& t = window_->touchDispatcher();
                    t.fingerMoved(kFinger, {c.x - spread / 2, c.y});
                    t.fingerMoved(kSecondFinger, {c.x + spread / 2, c.y});
                    return StepResult{last ? 0 : each};
                });
            }
            steps_.push_back([this, c, end] {
                auto& t = window_->touchDispatcher();
                t.fingerUp(kFinger, {c.x - end / 2, c.y});
                t.fingerUp(kSecondFinger, {c.x + end / 2, c.y});
                return StepResult{};
            });
            break;
        }
        case ScriptCommandKind::Key: {
            HardwareKey key = command.key;
            steps_.push_back([this, key] {
                keyHandler_(key, true);
                return StepResult{kKeyDownSeconds};
            });
            steps_.push_back([this, key] {
                keyHandler_(key, false);
                return StepResult{};
            });
            break;
        }
        case ScriptCommandKind::CameraKey:
            steps_.push_back([this, key = command.cameraKey] {
                target_->pressCameraKey(key);
                return StepResult{kKeyDownSeconds};
            });
            break;
        case ScriptCommandKind::Film:
            steps_.push_back([this, film = command.number] {
                std::string refusal = target_->chooseFilm(film);
                if (!refusal.empty()) finish(2, where() + "film: " + refusal, true);
                return StepResult{};
            });
            break;
        case ScriptCommandKind::Exposure:
            steps_.push_back([this, thirds = command.number] {
                target_->setExposureSteps(thirds);
                return StepResult{};
            });
            break;
        case ScriptCommandKind::Zoom:
            steps_.push_back([this, factor = command.factor] {
                target_->setZoom(factor);
                return StepResult{};
            });
            break;
        case ScriptCommandKind::Tilt:
            steps_.push_back([this, tilt = command.tilt] {
                tiltHandler_(tilt);
                return StepResult{};
            });
            break;
        case ScriptCommandKind::Background:
            steps_.push_back([] {
                UIApplication::sharedApplication().enterBackground();
                return StepResult{};
            });
            break;
        case ScriptCommandKind::Foreground:
            steps_.push_back([] {
                auto& application = UIApplication::sharedApplication();
                application.enterForeground();
                application.becomeActive();
                return StepResult{};
            });
            break;
        case ScriptCommandKind::Action:
            steps_.push_back([this, action = command.text] {
                target_->performAction(action);
                return StepResult{};
            });
            break;
        case ScriptCommandKind::Press: {
            // The view is looked up when the command's turn comes, so that it is the screen
            // the earlier commands led to.
            UIRenderer::layoutTree(*window_);
            auto view = target_->viewNamed(command.text);
            if (!isVisibleIn(view, *window_)) {
                finish(2, where() + "press: no visible view named " + command.text, true);
                return;
            }
            CGRect bounds = view->bounds();
            addTap(view->convertPointToView({bounds.midX(), bounds.midY()}, nullptr), 1);
            break;
        }
        case ScriptCommandKind::Screenshot:
            steps_.push_back([this, path = command.text] {
                if (clock_ == ScriptClock::Manual) {
                    // Pictures the screen asked for (thumbnails, photos) arrive first, so that
                    // the same script gives the same picture on every run.
                    UIRenderer::layoutTree(*window_);
                    RunLoop::main().runUntil([] { return false; }, kScreenshotSettleSeconds);
                }
                QImage image = UIRenderer::renderWindow(*window_);
                std::string cause;
                if (!ui::writePngFile(image, path, &cause)) {
                    finish(1, where() + "screenshot: cannot write " + path + ": " + cause, true);
                }
                return StepResult{};
            });
            break;
        case ScriptCommandKind::Stats:
            steps_.push_back([this, path = command.text] {
                if (!appendProcessStats(path))
                    finish(1, where() + "stats: cannot write " + path, true);
                return StepResult{};
            });
            break;
        case ScriptCommandKind::Camera:
            steps_.push_back([unplug = command.option] {
                capture::SimulatedCamera::setUnplugged(unplug);
                return StepResult{};
            });
            break;
        case ScriptCommandKind::WaitCamera: {
            // A camera leaves and returns on threads of its own, in real time, whatever the
            // script's clock: the wait is measured in real time.
            using RealClock = std::chrono::steady_clock;
            auto deadline = std::make_shared<std::optional<RealClock::time_point>>();
            steps_.push_back([this, deadline, gone = command.option, timeout = command.seconds] {
                if (!*deadline)
                    *deadline = RealClock::now() + std::chrono::duration_cast<RealClock::duration>(
                                                       std::chrono::duration<double>(timeout));
                auto reached = [this, gone] { return target_->isCameraGone() == gone; };
                if (reached()) return StepResult{};
                if (clock_ == ScriptClock::Manual) {
                    RunLoop::main().runUntil(reached, 0.05);
                    if (reached()) return StepResult{};
                    // The manual clock does not wait by itself.
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
                if (RealClock::now() >= **deadline) {
                    finish(1,
                           where() + "wait-camera: the camera is still " +
                               (gone ? "there" : "gone") + " after " + formatSeconds(timeout) +
                               " s",
                           true);
                    return StepResult{};
                }
                return StepResult{kIdlePollSeconds, true};
            });
            break;
        }
        case ScriptCommandKind::Quit:
            steps_.push_back([this] {
                finish(0, "", true);
                return StepResult{};
            });
            break;
    }
    // The end of each command hands the main thread back (the window draws) or, on the manual
    // clock, runs the work it queued.
    steps_.push_back([] { return StepResult{0, false, true}; });
}

}  // namespace hx::app

// halidex-camera-sim: lists the cameras the capture layer offers (the simulated cameras of the
// device profile, then the real cameras of a PipeWire daemon when one answers and the V4L2
// cameras of the kernel's video devices) and takes a still
// with one of them, the way the camera screen picks a camera for a position and a lens.
//
//     halidex-camera-sim --list [--device PROFILE]
//     halidex-camera-sim --still FILE [--position 1|2] [--lens 0|1|2|100] [--flash 0|1|2]
//                        [--zoom FACTOR] [--device PROFILE]
//
// The still is written in sensor orientation (landscape for a portrait hold), as JPEG, PNG, TIFF
// or HEIC by the file's extension. Bad input gives a message and exit status 2; a camera that is
// missing or fails gives exit status 1. Pictures of a scene folder (HALIDEX_CAMERA_SCENE) larger
// than --max-pixels (default 100 megapixels) are left out of the scene.

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "platform/capture/CaptureDevice.h"
#include "platform/capture/CaptureDeviceDiscoverySession.h"
#include "platform/capture/CaptureInput.h"
#include "platform/capture/CapturePhotoOutput.h"
#include "platform/capture/CaptureSession.h"
#include "platform/capture/pipewire/PipeWireCameraBackend.h"
#include "platform/capture/v4l2/V4l2CameraBackend.h"
#include "platform/device/DeviceProfile.h"
#include "platform/image/Image.h"
#include "platform/image/ImageLimits.h"
#include "platform/image/ImageTypes.h"
#include "platform/image/io/ImageDestination.h"
#include "platform/log/CaptureScope.h"
#include "platform/runloop/RunLoop.h"
#include "tools/ExitStatus.h"

namespace {

using namespace hx::capture;

constexpr int kBadInput = hx::tools::kExitBadInput;
constexpr int kFailed = hx::tools::kExitFailure;
constexpr double kCaptureTimeoutSeconds = 60;

const char* const kUsage =
    "usage: halidex-camera-sim --list [--device PROFILE]\n"
    "       halidex-camera-sim --still FILE [--position 1|2] [--lens 0|1|2|100] [--flash 0|1|2]\n"
    "                          [--zoom FACTOR] [--device PROFILE] [--max-pixels N]\n"
    "The still is JPEG, PNG, TIFF or HEIC by the extension (.jpg, .png, .tif, .heic).\n";

// A file given that cannot be used: one line, without the usage, which would hide it.
int badFile(const std::string& message) {
    std::fprintf(stderr, "halidex-camera-sim: %s\n", hx::tools::printable(message).c_str());
    return kBadInput;
}

int badInput(const std::string& message) {
    std::fprintf(stderr, "halidex-camera-sim: %s\n%s", message.c_str(), kUsage);
    return kBadInput;
}

struct Options {
    bool list = false;
    std::string still;
    long position = 1;
    long lens = 1;
    long flash = 0;
    double zoom = 1;
    std::string device;
    uint64_t maxPixels = hx::image::kToolDecodePixels;
};

std::optional<long> wholeNumber(const std::string& text) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') return std::nullopt;
    return value;
}

// Parses the command line; an error message when it is not understood.
std::string parse(int argc, char** argv, Options& options) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--list") {
            options.list = true;
            continue;
        }
        if (arg != "--still" && arg != "--position" && arg != "--lens" && arg != "--flash" &&
            arg != "--zoom" && arg != "--device" && arg != "--max-pixels")
            return "unknown argument \"" + arg + "\"";
        if (i + 1 >= args.size()) return arg + " needs a value";
        const std::string& value = args[++i];
        if (arg == "--still") {
            options.still = value;
        } else if (arg == "--device") {
            options.device = value;
        } else if (arg == "--zoom") {
            char* end = nullptr;
            options.zoom = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !std::isfinite(options.zoom) ||
                !(options.zoom >= 1))
                return "--zoom takes a finite factor of 1 or more, not \"" + value + "\"";
        } else if (arg == "--max-pixels") {
            const auto number = wholeNumber(value);
            if (!number || *number < 1 || uint64_t(*number) > hx::image::kMaxDecodePixels)
                return "--max-pixels takes a number from 1 to " +
                       std::to_string(hx::image::kMaxDecodePixels) + ", not \"" + value + "\"";
            options.maxPixels = uint64_t(*number);
        } else {
            const auto number = wholeNumber(value);
            if (arg == "--position") {
                if (!number || (*number != 1 && *number != 2))
                    return "--position is 1 (back) or 2 (front), not \"" + value + "\"";
                options.position = *number;
            } else if (arg == "--lens") {
                if (!number || (*number != 0 && *number != 1 && *number != 2 && *number != 100))
                    return "--lens is 0 (ultra-wide), 1 (wide), 2 (telephoto) or 100 "
                           "(multi-camera), not \"" +
                           value + "\"";
                options.lens = *number;
            } else {
                if (!number || *number < 0 || *number > 2)
                    return "--flash is 0 (off), 1 (auto) or 2 (on), not \"" + value + "\"";
                options.flash = *number;
            }
        }
    }
    if (options.list == !options.still.empty()) return "give either --list or --still FILE";
    if (!options.still.empty() && hx::image::typeForPath(options.still).empty())
        return "the still must end in .jpg, .jpeg, .png, .tif, .tiff, .heic or .heif, not \"" +
               options.still + "\"";
    return {};
}

// The camera for a position and a lens code, as the camera screen looks it up. Both positions
// read the lens code alike, so a lens the front does not have is missing, not another camera.
CaptureDeviceRef cameraWithPosition(long position, long lens) {
    std::vector<std::string> types;
    if (lens == 0) {
        types = {AVCaptureDeviceTypeBuiltInUltraWideCamera};
    } else if (lens == 1) {
        types = {AVCaptureDeviceTypeBuiltInWideAngleCamera};
    } else if (lens == 2) {
        types = {AVCaptureDeviceTypeBuiltInTelephotoCamera};
    } else {
        types = {AVCaptureDeviceTypeBuiltInTripleCamera, AVCaptureDeviceTypeBuiltInDualCamera,
                 AVCaptureDeviceTypeBuiltInDualWideCamera};
    }
    const auto position64 =
        position == 2 ? AVCaptureDevicePositionFront : AVCaptureDevicePositionBack;
    auto discovery = CaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
        types, AVMediaTypeVideo, position64);
    return discovery->devices().empty() ? nullptr : discovery->devices().front();
}

// The cameras of a PipeWire daemon, when one answers: one line each, with where the camera
// faces, its maker and model, and every size and layout it offers.
void listRealCameras() {
    auto backend = PipeWireCameraBackend::connect();
    if (!backend) return;
    for (const PipeWireCamera& camera : backend->cameras()) {
        std::string line = "pipewire \"" + camera.description + "\" " +
                           (camera.position == AVCaptureDevicePositionFront ? "front" : "back");
        const std::string maker =
            camera.vendor.empty() ? camera.product : camera.vendor + " " + camera.product;
        if (!maker.empty() && maker != camera.description) line += ", " + maker;
        line += ", formats";
        for (size_t i = 0; i < camera.formats.size(); ++i) {
            const PipeWireFormat& format = camera.formats[i];
            line += (i ? ", " : " ") + std::to_string(format.size.width) + "x" +
                    std::to_string(format.size.height) + " " +
                    cameraPixelFormatName(format.pixelFormat);
        }
        std::printf("%s\n", line.c_str());
    }
}

// The cameras of the kernel's video devices: one line each, with where the camera faces, its
// node, driver and bus, and every size, layout and rate it offers.
void listV4l2Cameras() {
    for (const V4l2Camera& camera : V4l2CameraBackend::open()->cameras()) {
        std::string line = "v4l2 \"" + camera.card + "\" " +
                           (camera.position == AVCaptureDevicePositionFront ? "front" : "back") +
                           ", " + camera.path + " (" + camera.driver;
        if (!camera.busInfo.empty()) line += ", " + camera.busInfo;
        line += "), formats";
        for (size_t i = 0; i < camera.formats.size(); ++i) {
            const V4l2Format& format = camera.formats[i];
            line += (i ? ", " : " ") + std::to_string(format.size.width) + "x" +
                    std::to_string(format.size.height) + " " +
                    cameraPixelFormatName(format.pixelFormat);
            if (format.framesPerSecond > 0) {
                char rate[32];
                std::snprintf(rate, sizeof rate, " %g fps", format.framesPerSecond);
                line += rate;
            }
        }
        std::printf("%s\n", line.c_str());
    }
}

int list() {
    const std::vector<std::string> allTypes = {
        AVCaptureDeviceTypeBuiltInUltraWideCamera, AVCaptureDeviceTypeBuiltInWideAngleCamera,
        AVCaptureDeviceTypeBuiltInTelephotoCamera, AVCaptureDeviceTypeBuiltInDualCamera,
        AVCaptureDeviceTypeBuiltInDualWideCamera,  AVCaptureDeviceTypeBuiltInTripleCamera};
    auto discovery = CaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
        allTypes, AVMediaTypeVideo, AVCaptureDevicePositionUnspecified);
    if (discovery->devices().empty())
        std::fprintf(stderr, "halidex-camera-sim: the \"%s\" device has no camera\n",
                     hx::DeviceProfile::current().name.c_str());
    for (const CaptureDeviceRef& device : discovery->devices()) {
        std::printf("%s position %lld formats", device->deviceType().c_str(),
                    static_cast<long long>(device->position()));
        for (const CaptureDeviceFormatRef& format : device->formats())
            std::printf(" %s", format->description().c_str());
        std::printf("\n");
    }
    listRealCameras();
    listV4l2Cameras();
    return 0;
}

// Waits for the photo on the photo output's queue.
class PhotoCatcher : public CapturePhotoCaptureDelegate {
  public:
    void captureOutputDidFinishProcessingPhoto(CapturePhotoOutput&, const CapturePhotoRef& p,
                                               const std::optional<CaptureError>& e) override {
        photo = p;
        error = e;
        done = true;
    }
    CapturePhotoRef photo;
    std::optional<CaptureError> error;
    std::atomic<bool> done{false};
};

int still(const Options& options) {
    const CaptureDeviceRef device = cameraWithPosition(options.position, options.lens);
    if (!device) {
        std::fprintf(stderr,
                     "halidex-camera-sim: the \"%s\" device has no camera for position %ld "
                     "and lens %ld\n",
                     hx::DeviceProfile::current().name.c_str(), options.position, options.lens);
        return kFailed;
    }
    CaptureError error;
    auto input = CaptureDeviceInput::deviceInputWithDevice(device, &error);
    if (!input) {
        std::fprintf(stderr, "halidex-camera-sim: %s\n", error.localizedDescription.c_str());
        return kFailed;
    }
    auto session = CaptureSession::create();
    auto output = CapturePhotoOutput::create();
    session->beginConfiguration();
    session->addInput(input);
    session->addOutput(output);
    session->setSessionPreset(AVCaptureSessionPresetPhoto);
    session->commitConfiguration();
    if (options.zoom != 1 && device->lockForConfiguration()) {
        device->setVideoZoomFactor(options.zoom);
        device->unlockForConfiguration();
    }
    session->startRunning();

    auto settings = CapturePhotoSettings::photoSettings();
    const CaptureFlashMode flashModes[] = {AVCaptureFlashModeOff, AVCaptureFlashModeAuto,
                                           AVCaptureFlashModeOn};
    if (device->hasFlash()) settings->setFlashMode(flashModes[options.flash]);
    PhotoCatcher catcher;
    output->capturePhotoWithSettings(settings, &catcher);
    hx::RunLoop::main().runUntil([&] { return catcher.done.load(); }, kCaptureTimeoutSeconds);
    session->stopRunning();
    if (!catcher.done) {
        std::fprintf(stderr, "halidex-camera-sim: the camera did not deliver a photo\n");
        return kFailed;
    }
    if (catcher.error || !catcher.photo->pixelBuffer()) {
        std::fprintf(stderr, "halidex-camera-sim: the capture failed: %s\n",
                     catcher.error ? catcher.error->localizedDescription.c_str() : "no pixels");
        return kFailed;
    }
    const hx::gpu::PixelBufferRef& buffer = catcher.photo->pixelBuffer();
    auto picture = hx::image::Image::wrap(
        hx::image::PixelFormat::BGRA8, static_cast<int>(buffer->width()),
        static_cast<int>(buffer->height()), buffer->baseAddress(), buffer->bytesPerRow(), buffer);
    // The destination writes a temporary file and renames it into place: a full disk or a
    // read-only folder leaves no partial still, and an older file of that name as it was.
    std::string cause = "unknown error";
    bool written = false;
    {
        hx::log::CaptureScope capture;
        auto destination = hx::image::ImageDestination::createWithURL(
            options.still, hx::image::typeForPath(options.still), 1);
        if (picture && destination) destination->addImage(picture, {});
        written = picture && destination && destination->finalize();
        const auto messages = capture.messages();
        if (!messages.empty()) cause = messages.back();
    }
    if (!written) {
        // The writer's message names the file itself; only what follows its last ": " is new.
        if (size_t colon = cause.rfind(": "); colon != std::string::npos) cause.erase(0, colon + 2);
        std::fprintf(stderr, "halidex-camera-sim: cannot write %s: %s\n",
                     hx::tools::printable(options.still).c_str(),
                     hx::tools::printable(cause).c_str());
        return kFailed;
    }
    std::printf("%s: %zux%zu from \"%s\"%s\n", hx::tools::printable(options.still).c_str(),
                buffer->width(), buffer->height(), device->localizedName().c_str(),
                catcher.photo->resolvedSettings().flashEnabled ? ", flash fired" : "");
    return 0;
}

int simMain(int argc, char** argv) {
    Options options;
    if (std::string problem = parse(argc, argv, options); !problem.empty())
        return badInput(problem);
    hx::image::setDecodePixelLimit(options.maxPixels);
    hx::RunLoop::main().bindToCurrentThread();
    if (!options.device.empty()) {
        std::string error;
        if (!hx::DeviceProfile::select(options.device, &error)) {
            // A name that is no profile is a usage error; a profile file that is wrong is not.
            return error.rfind("no device profile named", 0) == 0 ? badInput(error)
                                                                  : badFile(error);
        }
    }
    return options.list ? list() : still(options);
}

}  // namespace

// Whatever reaches here (memory running out where nothing expected it) ends the program with a
// message and status 1 rather than an abort.
int main(int argc, char** argv) {
    try {
        return simMain(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "halidex-camera-sim: out of memory\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "halidex-camera-sim: %s\n", e.what());
    }
    return kFailed;
}

#include "platform/capture/pipewire/CameraPortal.h"

#include <dbus/dbus.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/log/Log.h"

namespace hx::capture {

namespace {

constexpr const char* kPortalName = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kCameraInterface = "org.freedesktop.portal.Camera";
constexpr const char* kRequestInterface = "org.freedesktop.portal.Request";
constexpr const char* kSandboxMarker = "/.flatpak-info";
// How long one call may take, and how long the user may take to answer the portal's question.
constexpr int kCallMilliseconds = 5000;
constexpr auto kAnswerPatience = std::chrono::seconds(60);
// The Response codes of a portal request.
constexpr uint32_t kResponseGranted = 0;

struct Remembered {
    std::mutex mutex;
    std::optional<CaptureAuthorizationStatus> answer;
};

Remembered& remembered() {
    static Remembered* const instance = new Remembered;
    return *instance;
}

// A private connection to the session bus, closed when it goes.
class Bus {
  public:
    explicit Bus(std::string* error) {
        // The address is read afresh each time: the library's own lookup keeps the first one it
        // saw for the whole process.
        const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        if (!address || !*address) {
            *error = "no session bus (DBUS_SESSION_BUS_ADDRESS is not set)";
            return;
        }
        DBusError e;
        dbus_error_init(&e);
        connection_ = dbus_connection_open_private(address, &e);
        if (connection_) {
            dbus_connection_set_exit_on_disconnect(connection_, false);
            if (!dbus_bus_register(connection_, &e)) {
                dbus_connection_close(connection_);
                dbus_connection_unref(connection_);
                connection_ = nullptr;
            }
        }
        if (!connection_) {
            *error = std::string("no session bus (") + (e.message ? e.message : "") + ")";
            dbus_error_free(&e);
        }
    }
    ~Bus() {
        if (!connection_) return;
        dbus_connection_close(connection_);
        dbus_connection_unref(connection_);
    }
    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;

    DBusConnection* get() const { return connection_; }

    // Sends and waits for the reply; null with the reason when there is none.
    DBusMessage* call(DBusMessage* message, std::string* error) {
        DBusError e;
        dbus_error_init(&e);
        DBusMessage* reply =
            dbus_connection_send_with_reply_and_block(connection_, message, kCallMilliseconds, &e);
        dbus_message_unref(message);
        if (!reply) {
            *error = e.message ? e.message : "no answer";
            dbus_error_free(&e);
        }
        return reply;
    }

  private:
    DBusConnection* connection_ = nullptr;
};

// A method call of the portal's Camera interface with an a{sv} of text options.
DBusMessage* cameraCall(const char* method,
                        const std::vector<std::pair<std::string, std::string>>& options) {
    DBusMessage* message =
        dbus_message_new_method_call(kPortalName, kPortalPath, kCameraInterface, method);
    DBusMessageIter arguments, dictionary, entry, variant;
    dbus_message_iter_init_append(message, &arguments);
    dbus_message_iter_open_container(&arguments, DBUS_TYPE_ARRAY, "{sv}", &dictionary);
    for (const auto& [key, value] : options) {
        const char* k = key.c_str();
        const char* v = value.c_str();
        dbus_message_iter_open_container(&dictionary, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
        dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &k);
        dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, "s", &variant);
        dbus_message_iter_append_basic(&variant, DBUS_TYPE_STRING, &v);
        dbus_message_iter_close_container(&entry, &variant);
        dbus_message_iter_close_container(&dictionary, &entry);
    }
    dbus_message_iter_close_container(&arguments, &dictionary);
    return message;
}

// The portal's IsCameraPresent property; empty with the reason when it cannot be read.
std::optional<bool> cameraPresent(Bus& bus, std::string* error) {
    DBusMessage* message = dbus_message_new_method_call(kPortalName, kPortalPath,
                                                        "org.freedesktop.DBus.Properties", "Get");
    const char* interface = kCameraInterface;
    const char* property = "IsCameraPresent";
    dbus_message_append_args(message, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property,
                             DBUS_TYPE_INVALID);
    DBusMessage* reply = bus.call(message, error);
    if (!reply) return std::nullopt;
    std::optional<bool> present;
    DBusMessageIter arguments, variant;
    if (dbus_message_iter_init(reply, &arguments) &&
        dbus_message_iter_get_arg_type(&arguments) == DBUS_TYPE_VARIANT) {
        dbus_message_iter_recurse(&arguments, &variant);
        if (dbus_message_iter_get_arg_type(&variant) == DBUS_TYPE_BOOLEAN) {
            dbus_bool_t value = false;
            dbus_message_iter_get_basic(&variant, &value);
            present = value != 0;
        }
    }
    dbus_message_unref(reply);
    if (!present) *error = "IsCameraPresent is not a boolean";
    return present;
}

// The object path the portal gives a request made with this token by this connection.
std::string requestPath(Bus& bus, const std::string& token) {
    std::string sender = dbus_bus_get_unique_name(bus.get());
    if (!sender.empty() && sender.front() == ':') sender.erase(0, 1);
    for (char& c : sender)
        if (c == '.') c = '_';
    return std::string(kPortalPath) + "/request/" + sender + "/" + token;
}

// Waits for the Response of the request at one of the paths; empty with the reason when none
// comes.
std::optional<uint32_t> awaitResponse(Bus& bus, const std::vector<std::string>& paths,
                                      std::string* error) {
    const auto deadline = std::chrono::steady_clock::now() + kAnswerPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        while (DBusMessage* message = dbus_connection_pop_message(bus.get())) {
            std::optional<uint32_t> response;
            const char* path = dbus_message_get_path(message);
            const bool ours =
                path && std::find(paths.begin(), paths.end(), std::string(path)) != paths.end();
            if (ours && dbus_message_is_signal(message, kRequestInterface, "Response")) {
                DBusMessageIter arguments;
                if (dbus_message_iter_init(message, &arguments) &&
                    dbus_message_iter_get_arg_type(&arguments) == DBUS_TYPE_UINT32) {
                    dbus_uint32_t code = 0;
                    dbus_message_iter_get_basic(&arguments, &code);
                    response = code;
                }
            }
            dbus_message_unref(message);
            if (response) return response;
        }
        if (!dbus_connection_read_write(bus.get(), 100)) {
            *error = "the session bus went away";
            return std::nullopt;
        }
    }
    *error = "the portal did not answer";
    return std::nullopt;
}

CameraPortal::Access remember(CameraPortal::Access access) {
    std::lock_guard lock(remembered().mutex);
    remembered().answer = access.status;
    return access;
}

}  // namespace

bool CameraPortal::inSandbox() {
    if (const char* forced = std::getenv("HALIDEX_SANDBOX"); forced && *forced)
        return std::string(forced) != "0";
    std::error_code ec;
    return std::filesystem::exists(kSandboxMarker, ec);
}

CameraPortal::Access CameraPortal::requestAccess() {
    static std::atomic<int> requests{0};
    Access access;
    auto unreachable = [&](const std::string& why) {
        access.status = AVAuthorizationStatusRestricted;
        access.error = "the desktop portal cannot be asked for the camera: " + why;
        return remember(access);
    };
    Bus bus(&access.error);
    if (!bus.get()) return unreachable(access.error);

    std::string error;
    const std::optional<bool> present = cameraPresent(bus, &error);
    if (!present) return unreachable(error);
    access.cameraPresent = *present;

    // The request's path is known before asking, so that its answer cannot slip by.
    const std::string token =
        "halidex" + std::to_string(::getpid()) + "_" + std::to_string(++requests);
    std::vector<std::string> paths{requestPath(bus, token)};
    const std::string rule =
        std::string("type='signal',interface='") + kRequestInterface + "',member='Response'";
    DBusError e;
    dbus_error_init(&e);
    dbus_bus_add_match(bus.get(), rule.c_str(), &e);
    if (dbus_error_is_set(&e)) {
        const std::string why = e.message ? e.message : "no signals";
        dbus_error_free(&e);
        return unreachable(why);
    }
    DBusMessage* reply = bus.call(cameraCall("AccessCamera", {{"handle_token", token}}), &error);
    if (!reply) return unreachable(error);
    const char* handle = nullptr;
    if (dbus_message_get_args(reply, nullptr, DBUS_TYPE_OBJECT_PATH, &handle, DBUS_TYPE_INVALID) &&
        handle && paths.front() != handle)
        paths.push_back(handle);
    dbus_message_unref(reply);

    const std::optional<uint32_t> response = awaitResponse(bus, paths, &error);
    if (!response) return unreachable(error);
    if (*response != kResponseGranted) {
        access.status = AVAuthorizationStatusDenied;
        access.error = "the desktop portal denied access to the camera";
        return remember(access);
    }
    access.status = AVAuthorizationStatusAuthorized;

    reply = bus.call(cameraCall("OpenPipeWireRemote", {}), &error);
    if (!reply) {
        access.error = "the desktop portal gave no PipeWire remote: " + error;
        return remember(access);
    }
    int fd = -1;
    if (!dbus_message_get_args(reply, nullptr, DBUS_TYPE_UNIX_FD, &fd, DBUS_TYPE_INVALID))
        access.error = "the desktop portal gave no PipeWire remote";
    dbus_message_unref(reply);
    access.pipeWireFd = fd;
    return remember(access);
}

std::optional<CaptureAuthorizationStatus> CameraPortal::lastAnswer() {
    std::lock_guard lock(remembered().mutex);
    return remembered().answer;
}

void CameraPortal::reset() {
    std::lock_guard lock(remembered().mutex);
    remembered().answer.reset();
}

}  // namespace hx::capture

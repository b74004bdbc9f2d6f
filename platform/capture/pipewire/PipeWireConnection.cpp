#include "platform/capture/pipewire/PipeWireConnection.h"

#include <pipewire/pipewire.h>
#include <spa/node/command.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <spa/utils/result.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <optional>
#include <set>
#include <utility>

#include "platform/log/Log.h"

namespace hx::capture {

namespace {

constexpr int kAnswerSeconds = 5;

// The threads of every open connection. At exit they stop before the process's own objects
// (log, clock, queues) are torn down, so that no frame arrives into a half-destroyed program.
struct LiveLoops {
    std::mutex mutex;
    std::set<pw_thread_loop*> loops;
};

LiveLoops& liveLoops() {
    static LiveLoops* const instance = new LiveLoops;
    return *instance;
}

void stopEveryLoop() {
    LiveLoops& live = liveLoops();
    std::lock_guard lock(live.mutex);
    for (pw_thread_loop* loop : live.loops) pw_thread_loop_stop(loop);
    live.loops.clear();
}

void initialiseOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        pw_init(nullptr, nullptr);
        std::atexit(stopEveryLoop);
    });
}

std::optional<CameraPixelFormat> pixelFormatOf(uint32_t videoFormat) {
    switch (videoFormat) {
        case SPA_VIDEO_FORMAT_YUY2:
            return CameraPixelFormat::YUY2;
        case SPA_VIDEO_FORMAT_NV12:
            return CameraPixelFormat::NV12;
        case SPA_VIDEO_FORMAT_I420:
            return CameraPixelFormat::I420;
        case SPA_VIDEO_FORMAT_RGB:
            return CameraPixelFormat::RGB;
        case SPA_VIDEO_FORMAT_BGR:
            return CameraPixelFormat::BGR;
        case SPA_VIDEO_FORMAT_BGRx:
        case SPA_VIDEO_FORMAT_BGRA:
            return CameraPixelFormat::BGRA;
        case SPA_VIDEO_FORMAT_RGBx:
        case SPA_VIDEO_FORMAT_RGBA:
            return CameraPixelFormat::RGBA;
        default:
            return std::nullopt;
    }
}

// The values a format property allows: the one value, the alternatives of a list, or the
// default and the largest of a range.
template <typename T>
std::vector<T> allowedValues(const spa_pod* pod, uint32_t type) {
    uint32_t count = 0, choice = 0;
    const spa_pod* values = spa_pod_get_values(pod, &count, &choice);
    if (!values || values->type != type || count == 0) return {};
    const T* items = static_cast<const T*>(SPA_POD_BODY_CONST(values));
    std::vector<T> out;
    switch (choice) {
        case SPA_CHOICE_Enum:
            for (uint32_t i = count > 1 ? 1 : 0; i < count; ++i) out.push_back(items[i]);
            break;
        case SPA_CHOICE_Range:
        case SPA_CHOICE_Step:
            out.push_back(items[0]);
            if (count > 2) out.push_back(items[2]);
            break;
        default:
            out.push_back(items[0]);
    }
    return out;
}

// The layouts one EnumFormat parameter offers.
std::vector<PipeWireFormat> formatsOf(const spa_pod* param) {
    uint32_t mediaType = 0, mediaSubtype = 0;
    if (!param || spa_format_parse(param, &mediaType, &mediaSubtype) < 0 ||
        mediaType != SPA_MEDIA_TYPE_video)
        return {};
    std::vector<CameraPixelFormat> pixels;
    if (mediaSubtype == SPA_MEDIA_SUBTYPE_mjpg) {
        pixels.push_back(CameraPixelFormat::MJPEG);
    } else if (mediaSubtype == SPA_MEDIA_SUBTYPE_raw) {
        const spa_pod_prop* prop = spa_pod_find_prop(param, nullptr, SPA_FORMAT_VIDEO_format);
        if (!prop) return {};
        for (uint32_t id : allowedValues<uint32_t>(&prop->value, SPA_TYPE_Id))
            if (auto pixel = pixelFormatOf(id)) pixels.push_back(*pixel);
    }
    const spa_pod_prop* sizeProp = spa_pod_find_prop(param, nullptr, SPA_FORMAT_VIDEO_size);
    if (!sizeProp) return {};
    std::vector<PipeWireFormat> out;
    for (const spa_rectangle& size :
         allowedValues<spa_rectangle>(&sizeProp->value, SPA_TYPE_Rectangle))
        for (CameraPixelFormat pixel : pixels)
            if (size.width > 0 && size.height > 0)
                out.push_back({pixel, {int32_t(size.width), int32_t(size.height)}});
    return out;
}

std::string lowered(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string property(const spa_dict* props, const char* key) {
    const char* value = props ? spa_dict_lookup(props, key) : nullptr;
    return value ? value : "";
}

}  // namespace

// ---- the registry

struct PipeWireConnection::State {
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_registry* registry = nullptr;
    spa_hook coreListener{}, registryListener{};
    int pendingSync = -1;
    bool synced = false;
    bool broken = false;

    struct Node {
        State* state = nullptr;
        PipeWireCamera camera;
        pw_proxy* proxy = nullptr;
        spa_hook listener{};
    };
    std::map<uint32_t, std::unique_ptr<Node>> nodes;

    // Streams that were closed: disconnected at once, freed a while later. The daemon's thread
    // may still have work queued for a stream that has just been disconnected, and freeing it
    // then would leave that work pointing at freed memory.
    struct Retired {
        pw_stream* stream;
        std::chrono::steady_clock::time_point when;
    };
    std::vector<Retired> retired;

    std::map<int, ArrivalObserver> arrivalObservers, removalObservers;
    int nextObserver = 0;

    void freeRetired(bool all) {
        const auto now = std::chrono::steady_clock::now();
        std::erase_if(retired, [&](const Retired& r) {
            if (!all && now - r.when < std::chrono::seconds(1)) return false;
            pw_stream_destroy(r.stream);
            return true;
        });
    }

    static void coreDone(void* data, uint32_t id, int seq) {
        auto* self = static_cast<State*>(data);
        if (id == PW_ID_CORE && seq == self->pendingSync) {
            self->synced = true;
            pw_thread_loop_signal(self->loop, false);
        }
    }

    static void coreError(void* data, uint32_t id, int, int res, const char* message) {
        auto* self = static_cast<State*>(data);
        if (id == PW_ID_CORE && res == -EPIPE) {
            hxLog("PipeWire: the daemon went away (%s)", message ? message : "");
            self->broken = true;
            pw_thread_loop_signal(self->loop, false);
        }
    }

    static void nodeInfo(void* data, const pw_node_info* info) {
        auto* node = static_cast<Node*>(data);
        if (!(info->change_mask & PW_NODE_CHANGE_MASK_PROPS)) return;
        const spa_dict* props = info->props;
        PipeWireCamera& camera = node->camera;
        const std::string description = property(props, PW_KEY_NODE_DESCRIPTION);
        if (!description.empty()) camera.description = description;
        camera.vendor = property(props, "device.vendor.name");
        camera.product = property(props, "device.product.name");
        if (camera.product.empty()) camera.product = property(props, "api.v4l2.cap.card");
        if (camera.product.empty()) camera.product = camera.description;
        const std::string location = lowered(property(props, "api.libcamera.location"));
        const std::string words = lowered(camera.description + " " + camera.name);
        if (location == "front" ||
            (location.empty() && (words.find("front") != std::string::npos ||
                                  words.find("user facing") != std::string::npos ||
                                  words.find("user-facing") != std::string::npos ||
                                  words.find("integrated") != std::string::npos)))
            camera.position = AVCaptureDevicePositionFront;
        else
            camera.position = AVCaptureDevicePositionBack;
    }

    static void nodeParam(void* data, int, uint32_t id, uint32_t, uint32_t, const spa_pod* param) {
        auto* node = static_cast<Node*>(data);
        if (id != SPA_PARAM_EnumFormat) return;
        std::vector<PipeWireFormat>& formats = node->camera.formats;
        for (const PipeWireFormat& format : formatsOf(param)) {
            const bool known = std::any_of(formats.begin(), formats.end(), [&](const auto& f) {
                return f.pixelFormat == format.pixelFormat && f.size == format.size;
            });
            if (!known) formats.push_back(format);
        }
    }

    static void global(void* data, uint32_t id, uint32_t, const char* type, uint32_t,
                       const spa_dict* props) {
        auto* self = static_cast<State*>(data);
        if (std::strcmp(type, PW_TYPE_INTERFACE_Node) != 0) return;
        if (property(props, PW_KEY_MEDIA_CLASS) != "Video/Source") return;
        auto node = std::make_unique<Node>();
        node->state = self;
        node->camera.id = id;
        node->camera.name = property(props, PW_KEY_NODE_NAME);
        node->camera.description = property(props, PW_KEY_NODE_DESCRIPTION);
        if (node->camera.description.empty()) node->camera.description = node->camera.name;
        node->camera.product = node->camera.description;
        node->proxy = static_cast<pw_proxy*>(
            pw_registry_bind(self->registry, id, PW_TYPE_INTERFACE_Node, PW_VERSION_NODE, 0));
        if (!node->proxy) return;
        static const pw_node_events events = [] {
            pw_node_events e{};
            e.version = PW_VERSION_NODE_EVENTS;
            e.info = nodeInfo;
            e.param = nodeParam;
            return e;
        }();
        pw_node_add_listener(reinterpret_cast<pw_node*>(node->proxy), &node->listener, &events,
                             node.get());
        pw_node_enum_params(reinterpret_cast<pw_node*>(node->proxy), 0, SPA_PARAM_EnumFormat, 0,
                            UINT32_MAX, nullptr);
        const std::string name = node->camera.name;
        self->nodes[id] = std::move(node);
        // A copy: an observer may stop observing while it is told.
        const auto observers = self->arrivalObservers;
        for (const auto& [token, observer] : observers) observer(name);
    }

    static void globalRemove(void* data, uint32_t id) {
        auto* self = static_cast<State*>(data);
        auto it = self->nodes.find(id);
        if (it == self->nodes.end()) return;
        const std::string name = it->second->camera.name;
        spa_hook_remove(&it->second->listener);
        pw_proxy_destroy(it->second->proxy);
        self->nodes.erase(it);
        const auto observers = self->removalObservers;
        for (const auto& [token, observer] : observers) observer(name);
    }
};

PipeWireConnection::PipeWireConnection() : state_(std::make_unique<State>()) {}

PipeWireConnection::~PipeWireConnection() {
    State& s = *state_;
    if (!s.loop) return;
    pw_thread_loop_lock(s.loop);
    s.freeRetired(true);
    for (auto& [id, node] : s.nodes) {
        spa_hook_remove(&node->listener);
        pw_proxy_destroy(node->proxy);
    }
    s.nodes.clear();
    if (s.registry) {
        spa_hook_remove(&s.registryListener);
        pw_proxy_destroy(reinterpret_cast<pw_proxy*>(s.registry));
    }
    if (s.core) {
        spa_hook_remove(&s.coreListener);
        pw_core_disconnect(s.core);
    }
    pw_thread_loop_unlock(s.loop);
    {
        LiveLoops& live = liveLoops();
        std::lock_guard lock(live.mutex);
        if (live.loops.erase(s.loop)) pw_thread_loop_stop(s.loop);
    }
    if (s.context) pw_context_destroy(s.context);
    pw_thread_loop_destroy(s.loop);
}

std::shared_ptr<PipeWireConnection> PipeWireConnection::open(std::string* error, int remoteFd) {
    initialiseOnce();
    std::shared_ptr<PipeWireConnection> connection(new PipeWireConnection);
    State& s = *connection->state_;
    auto fail = [&](const char* why) -> std::shared_ptr<PipeWireConnection> {
        if (error) *error = why;
        if (remoteFd >= 0) ::close(remoteFd);
        return nullptr;
    };
    s.loop = pw_thread_loop_new("pipewire camera", nullptr);
    if (!s.loop) return fail("no thread for the PipeWire connection");
    s.context = pw_context_new(pw_thread_loop_get_loop(s.loop), nullptr, 0);
    if (!s.context) return fail("PipeWire could not be set up");
    {
        LiveLoops& live = liveLoops();
        std::lock_guard lock(live.mutex);
        if (pw_thread_loop_start(s.loop) != 0) return fail("no thread for the PipeWire connection");
        live.loops.insert(s.loop);
    }

    {
        Lock lock(*connection);
        const int fd = std::exchange(remoteFd, -1);
        if (!connection->connectLocked(fd)) return fail("no PipeWire daemon answers");
    }
    // Waiting gives the lock back once only, so it is not held around the wait.
    if (!connection->synchronise()) return fail("the PipeWire daemon does not answer");
    return connection;
}

bool PipeWireConnection::connectLocked(int remoteFd) {
    State& s = *state_;
    // PipeWire owns the remote's descriptor from here on, whether it connects or not.
    s.core = remoteFd >= 0 ? pw_context_connect_fd(s.context, remoteFd, nullptr, 0)
                           : pw_context_connect(s.context, nullptr, 0);
    if (!s.core) return false;
    static const pw_core_events coreEvents = [] {
        pw_core_events e{};
        e.version = PW_VERSION_CORE_EVENTS;
        e.done = State::coreDone;
        e.error = State::coreError;
        return e;
    }();
    pw_core_add_listener(s.core, &s.coreListener, &coreEvents, &s);
    s.registry = pw_core_get_registry(s.core, PW_VERSION_REGISTRY, 0);
    static const pw_registry_events registryEvents = [] {
        pw_registry_events e{};
        e.version = PW_VERSION_REGISTRY_EVENTS;
        e.global = State::global;
        e.global_remove = State::globalRemove;
        return e;
    }();
    pw_registry_add_listener(s.registry, &s.registryListener, &registryEvents, &s);
    return true;
}

PipeWireConnection::Lock::Lock(const PipeWireConnection& connection)
    : loop_(connection.state_->loop) {
    pw_thread_loop_lock(loop_);
}

PipeWireConnection::Lock::~Lock() {
    pw_thread_loop_unlock(loop_);
}

bool PipeWireConnection::synchronise() const {
    // The wait gives the lock back once only, so it must not be held already.
    State& s = *state_;
    Lock lock(*this);
    // Twice: the first answer brings the nodes, which are then asked for their details.
    for (int round = 0; round < 2; ++round) {
        if (s.broken) return false;
        s.synced = false;
        s.pendingSync = pw_core_sync(s.core, PW_ID_CORE, s.pendingSync);
        timespec deadline{};
        pw_thread_loop_get_time(s.loop, &deadline, int64_t{kAnswerSeconds} * SPA_NSEC_PER_SEC);
        while (!s.synced && !s.broken)
            if (pw_thread_loop_timed_wait_full(s.loop, &deadline) != 0) return false;
    }
    return !s.broken;
}

std::vector<PipeWireCamera> PipeWireConnection::cameras() const {
    Lock lock(*this);
    std::vector<PipeWireCamera> out;
    for (const auto& [id, node] : state_->nodes) out.push_back(node->camera);
    return out;
}

bool PipeWireConnection::isPresent(const std::string& nodeName) const {
    Lock lock(*this);
    for (const auto& [id, node] : state_->nodes)
        if (node->camera.name == nodeName) return true;
    return false;
}

void PipeWireConnection::suspend(const std::string& nodeName) {
    for (const auto& [id, node] : state_->nodes) {
        if (node->camera.name != nodeName) continue;
        const spa_command command = SPA_NODE_COMMAND_INIT(SPA_NODE_COMMAND_Suspend);
        pw_node_send_command(reinterpret_cast<pw_node*>(node->proxy), &command);
    }
}

int PipeWireConnection::observeArrivals(ArrivalObserver observer) {
    const int token = ++state_->nextObserver;
    state_->arrivalObservers[token] = std::move(observer);
    return token;
}

int PipeWireConnection::observeRemovals(ArrivalObserver observer) {
    const int token = ++state_->nextObserver;
    state_->removalObservers[token] = std::move(observer);
    return token;
}

void PipeWireConnection::stopObservingArrivals(int token) {
    state_->arrivalObservers.erase(token);
    state_->removalObservers.erase(token);
}

// ---- consumer streams

struct PipeWireConnection::Stream::Impl {
    Stream* owner = nullptr;
    PipeWireConnection::State* connection = nullptr;
    pw_stream* stream = nullptr;
    spa_hook listener{};
    bool ended = false;

    void end(const std::string& why) {
        if (ended) return;
        ended = true;
        if (owner->ended) owner->ended(why);
    }

    static void stateChanged(void* data, pw_stream_state, pw_stream_state state,
                             const char* error) {
        auto* self = static_cast<Impl*>(data);
        if (state == PW_STREAM_STATE_ERROR)
            self->end(error ? error : "the camera's stream failed");
        else if (state == PW_STREAM_STATE_UNCONNECTED)
            self->end("the camera went away");
    }

    static void paramChanged(void* data, uint32_t id, const spa_pod* param) {
        auto* self = static_cast<Impl*>(data);
        if (id != SPA_PARAM_Format || !param) return;
        uint32_t mediaType = 0, mediaSubtype = 0;
        if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0) return;
        Stream& owner = *self->owner;
        if (mediaSubtype == SPA_MEDIA_SUBTYPE_mjpg) {
            spa_video_info_mjpg info{};
            if (spa_format_video_mjpg_parse(param, &info) < 0) return;
            owner.pixelFormat = CameraPixelFormat::MJPEG;
            owner.size = {int32_t(info.size.width), int32_t(info.size.height)};
        } else {
            spa_video_info_raw info{};
            if (spa_format_video_raw_parse(param, &info) < 0) return;
            auto pixel = pixelFormatOf(info.format);
            if (!pixel) return;
            owner.pixelFormat = *pixel;
            owner.size = {int32_t(info.size.width), int32_t(info.size.height)};
        }
        owner.negotiated = true;
    }

    static void process(void* data) {
        auto* self = static_cast<Impl*>(data);
        pw_buffer* buffer = pw_stream_dequeue_buffer(self->stream);
        if (!buffer) return;
        Stream& owner = *self->owner;
        spa_buffer* b = buffer->buffer;
        if (owner.negotiated && b->n_datas > 0 && b->datas[0].data && b->datas[0].chunk) {
            const spa_data& d = b->datas[0];
            const uint32_t offset = std::min(d.chunk->offset, d.maxsize);
            CameraFrame frame;
            frame.format = owner.pixelFormat;
            frame.width = owner.size.width;
            frame.height = owner.size.height;
            frame.data = static_cast<const uint8_t*>(d.data) + offset;
            frame.size = std::min(d.chunk->size, d.maxsize - offset);
            frame.stride = d.chunk->stride > 0 ? d.chunk->stride : 0;
            if (b->n_datas > 1 && b->datas[1].data && b->datas[1].chunk) {
                const spa_data& c = b->datas[1];
                frame.chroma =
                    static_cast<const uint8_t*>(c.data) + std::min(c.chunk->offset, c.maxsize);
                frame.chromaStride = c.chunk->stride;
            }
            if (frame.size > 0) {
                if (owner.tap) owner.tap(frame);
                if (owner.frame) owner.frame(frame);
            }
        }
        pw_stream_queue_buffer(self->stream, buffer);
    }
};

PipeWireConnection::Stream::~Stream() {
    if (!impl || !impl->stream) return;
    spa_hook_remove(&impl->listener);
    pw_stream_disconnect(impl->stream);
    impl->connection->retired.push_back({impl->stream, std::chrono::steady_clock::now()});
}

std::unique_ptr<PipeWireConnection::Stream> PipeWireConnection::openStream(
    const PipeWireCamera& camera, VideoDimensions size,
    std::function<void(const CameraFrame&)> frame) {
    State& s = *state_;
    if (s.broken) return nullptr;
    // The node of that name now: a camera that left and came back has a new id.
    uint32_t target = 0;
    bool present = false;
    for (const auto& [id, node] : s.nodes)
        if (node->camera.name == camera.name) {
            target = id;
            present = true;
        }
    if (!present) return nullptr;
    s.freeRetired(false);
    auto stream = std::make_unique<Stream>();
    stream->frame = std::move(frame);
    stream->impl = std::make_unique<Stream::Impl>();
    stream->impl->owner = stream.get();
    stream->impl->connection = &s;
    pw_properties* props = pw_properties_new(
        PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_MEDIA_ROLE, "Camera",
        PW_KEY_TARGET_OBJECT, camera.name.c_str(), PW_KEY_NODE_NAME, "halidex-camera",
        // Never moved to another camera when this one goes away.
        PW_KEY_NODE_DONT_RECONNECT, "true", nullptr);
    stream->impl->stream = pw_stream_new(s.core, "Halidex Camera", props);
    if (!stream->impl->stream) return nullptr;
    static const pw_stream_events events = [] {
        pw_stream_events e{};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.state_changed = Stream::Impl::stateChanged;
        e.param_changed = Stream::Impl::paramChanged;
        e.process = Stream::Impl::process;
        return e;
    }();
    pw_stream_add_listener(stream->impl->stream, &stream->impl->listener, &events,
                           stream->impl.get());

    // Every layout we convert, at exactly the size asked for; the camera picks among them.
    uint8_t storage[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const spa_rectangle rectangle{uint32_t(size.width), uint32_t(size.height)};
    const spa_fraction rate{30, 1}, slowest{0, 1}, fastest{1000, 1};
    const spa_pod* params[2];
    params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
        SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
        SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
        SPA_POD_CHOICE_ENUM_Id(10, SPA_VIDEO_FORMAT_YUY2, SPA_VIDEO_FORMAT_YUY2,
                               SPA_VIDEO_FORMAT_NV12, SPA_VIDEO_FORMAT_I420, SPA_VIDEO_FORMAT_BGRx,
                               SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA,
                               SPA_VIDEO_FORMAT_RGB, SPA_VIDEO_FORMAT_BGR),
        SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&rectangle), SPA_FORMAT_VIDEO_framerate,
        SPA_POD_CHOICE_RANGE_Fraction(&rate, &slowest, &fastest)));
    params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
        SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
        SPA_POD_Id(SPA_MEDIA_SUBTYPE_mjpg), SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&rectangle),
        SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&rate, &slowest, &fastest)));
    const int result = pw_stream_connect(
        stream->impl->stream, PW_DIRECTION_INPUT, target,
        static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS),
        params, 2);
    if (result < 0) {
        hxLog("PipeWire: no stream from %s (%s)", camera.description.c_str(), spa_strerror(result));
        return nullptr;
    }
    return stream;
}

}  // namespace hx::capture

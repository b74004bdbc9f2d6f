#pragma once
// A stand-in for the kernel's video devices, for tests of the V4L2 backend: cameras with the
// layouts, sizes, rates and controls a test gives them, frames of a known picture (the left half
// red, the right half blue), and the failures a real camera cannot be made to show: a node busy
// elsewhere, a camera pulled out mid-stream, a control refused, frames shorter than their size.
// Every ioctl a camera is given is recorded.

#include <libyuv.h>
#include <linux/videodev2.h>
#include <sys/mman.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/capture/v4l2/V4l2Io.h"

namespace hx::capture::testing {

struct FakeLayout {
    uint32_t fourcc = V4L2_PIX_FMT_YUYV;
    std::vector<VideoDimensions> sizes;
    uint32_t framesPerSecond = 30;
};

struct FakeControl {
    int32_t minimum = 0, maximum = 1, step = 1, defaultValue = 0, value = 0;
    bool refuse = false;        // S_CTRL fails with EINVAL
    std::vector<int64_t> menu;  // an integer menu's values
};

struct FakeCamera {
    std::string path = "/dev/video0";
    std::string card = "Fake Cam", driver = "fakevideo", bus = "usb-0000:00:14.0-1";
    uint32_t caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    std::vector<FakeLayout> layouts{{V4L2_PIX_FMT_YUYV, {{640, 480}}, 30}};
    bool listsSizes = true;  // false: ENUM_FRAMESIZES fails, TRY_FMT tells the one size
    std::map<uint32_t, FakeControl> controls;
    int openError = 0;         // errno of open(), 0 for none
    bool shortFrames = false;  // frames fill half their buffer
    bool saysWhenGone = true;  // false: pulled out, its open file just falls silent
    bool present = true;

    // Recorded.
    std::vector<VideoDimensions> formatsSet;  // S_FMT sizes, in order
    std::vector<std::pair<uint32_t, int32_t>> controlsSet;
    int streamOns = 0, opens = 0;
    int framesSent = 0;
};

class FakeV4l2Io : public V4l2Io {
  public:
    std::mutex mutex;
    std::vector<FakeCamera> cameras;

    FakeCamera& camera(size_t i = 0) { return cameras.at(i); }

    // Pulls the camera out (its node goes, its open file fails) or plugs it in again.
    void setPresent(size_t i, bool present) {
        std::lock_guard lock(mutex);
        cameras.at(i).present = present;
    }

    template <typename F>
    auto with(F f) {
        std::lock_guard lock(mutex);
        return f(*this);
    }

    int openFiles() {
        std::lock_guard lock(mutex);
        return int(files_.size());
    }
    int mappedBuffers() {
        std::lock_guard lock(mutex);
        int n = 0;
        for (const auto& [fd, file] : files_)
            for (const Buffer& b : file.buffers) n += b.mapped;
        return n;
    }

    std::vector<std::string> nodes() override {
        std::lock_guard lock(mutex);
        std::vector<std::string> out;
        for (const FakeCamera& c : cameras)
            if (c.present) out.push_back(c.path);
        return out;
    }

    int open(const std::string& path, int) override {
        std::lock_guard lock(mutex);
        for (size_t i = 0; i < cameras.size(); ++i) {
            FakeCamera& c = cameras[i];
            if (c.path != path || !c.present) continue;
            if (c.openError) return fail(c.openError);
            ++c.opens;
            const int fd = nextFd_++;
            files_[fd].camera = i;
            return fd;
        }
        return fail(ENOENT);
    }

    int close(int fd) override {
        std::lock_guard lock(mutex);
        return files_.erase(fd) ? 0 : fail(EBADF);
    }

    void* map(size_t length, int fd, off_t offset) override {
        std::lock_guard lock(mutex);
        auto it = files_.find(fd);
        const size_t index = size_t(offset) / kOffsetStep;
        if (it == files_.end() || index >= it->second.buffers.size() ||
            it->second.buffers[index].bytes.size() != length) {
            errno = EINVAL;
            return MAP_FAILED;
        }
        it->second.buffers[index].mapped = true;
        return it->second.buffers[index].bytes.data();
    }

    int unmap(void* address, size_t) override {
        std::lock_guard lock(mutex);
        for (auto& [fd, file] : files_)
            for (Buffer& b : file.buffers)
                if (b.bytes.data() == address) b.mapped = false;
        // A file already closed took its buffers with it, as the kernel keeps a mapping alive.
        return 0;
    }

    int poll(pollfd* fds, nfds_t count, int timeout) override {
        // Frames come about every 5 ms; a camera that is not streaming waits the whole time.
        {
            std::lock_guard lock(mutex);
            auto it = files_.find(fds[0].fd);
            const bool pulled = it != files_.end() && !cameras[it->second.camera].present;
            if (count == 1 && pulled && cameras[it->second.camera].saysWhenGone) {
                fds[0].revents = POLLERR;
                return 1;
            }
            if (it == files_.end() || !it->second.streaming || pulled) {
                fds[0].revents = 0;
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeout, 20)));
                return 0;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        fds[0].revents = POLLIN;
        return 1;
    }

    int ioctl(int fd, unsigned long request, void* argument) override {
        std::lock_guard lock(mutex);
        auto it = files_.find(fd);
        if (it == files_.end()) return fail(EBADF);
        File& file = it->second;
        FakeCamera& c = cameras[file.camera];
        if (!c.present) return fail(ENODEV);
        switch (request) {
            case VIDIOC_QUERYCAP: {
                auto* cap = static_cast<v4l2_capability*>(argument);
                *cap = {};
                copy(cap->card, sizeof cap->card, c.card);
                copy(cap->driver, sizeof cap->driver, c.driver);
                copy(cap->bus_info, sizeof cap->bus_info, c.bus);
                cap->capabilities = c.caps | V4L2_CAP_DEVICE_CAPS;
                cap->device_caps = c.caps;
                return 0;
            }
            case VIDIOC_ENUM_FMT: {
                auto* d = static_cast<v4l2_fmtdesc*>(argument);
                if (d->index >= c.layouts.size()) return fail(EINVAL);
                d->pixelformat = c.layouts[d->index].fourcc;
                return 0;
            }
            case VIDIOC_ENUM_FRAMESIZES: {
                auto* s = static_cast<v4l2_frmsizeenum*>(argument);
                const FakeLayout* layout = layoutOf(c, s->pixel_format);
                if (!c.listsSizes || !layout || s->index >= layout->sizes.size())
                    return fail(EINVAL);
                s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
                s->discrete.width = uint32_t(layout->sizes[s->index].width);
                s->discrete.height = uint32_t(layout->sizes[s->index].height);
                return 0;
            }
            case VIDIOC_ENUM_FRAMEINTERVALS: {
                auto* f = static_cast<v4l2_frmivalenum*>(argument);
                const FakeLayout* layout = layoutOf(c, f->pixel_format);
                if (!layout || f->index > 0) return fail(EINVAL);
                f->type = V4L2_FRMIVAL_TYPE_DISCRETE;
                f->discrete = {1, layout->framesPerSecond};
                return 0;
            }
            case VIDIOC_TRY_FMT:
            case VIDIOC_S_FMT: {
                if (request == VIDIOC_S_FMT && file.streaming) return fail(EBUSY);
                auto* f = static_cast<v4l2_format*>(argument);
                adjust(c, f->fmt.pix);
                if (request == VIDIOC_S_FMT) {
                    file.format = f->fmt.pix;
                    c.formatsSet.push_back({int32_t(f->fmt.pix.width), int32_t(f->fmt.pix.height)});
                }
                return 0;
            }
            case VIDIOC_REQBUFS: {
                auto* r = static_cast<v4l2_requestbuffers*>(argument);
                if (file.streaming) return fail(EBUSY);
                file.buffers.clear();
                file.queue.clear();
                for (uint32_t i = 0; i < r->count; ++i)
                    file.buffers.push_back({std::vector<uint8_t>(file.format.sizeimage), false});
                if (r->count) paint(file);
                return 0;
            }
            case VIDIOC_QUERYBUF: {
                auto* b = static_cast<v4l2_buffer*>(argument);
                if (b->index >= file.buffers.size()) return fail(EINVAL);
                b->length = uint32_t(file.buffers[b->index].bytes.size());
                b->m.offset = b->index * kOffsetStep;
                return 0;
            }
            case VIDIOC_QBUF: {
                auto* b = static_cast<v4l2_buffer*>(argument);
                if (b->index >= file.buffers.size()) return fail(EINVAL);
                file.queue.push_back(b->index);
                return 0;
            }
            case VIDIOC_DQBUF: {
                auto* b = static_cast<v4l2_buffer*>(argument);
                if (!file.streaming || file.queue.empty()) return fail(EAGAIN);
                b->index = file.queue.front();
                file.queue.erase(file.queue.begin());
                const size_t size = file.buffers[b->index].bytes.size();
                b->bytesused = uint32_t(c.shortFrames ? size / 2 : size);
                b->flags = 0;
                ++c.framesSent;
                return 0;
            }
            case VIDIOC_STREAMON:
                if (file.buffers.empty()) return fail(EINVAL);
                file.streaming = true;
                ++c.streamOns;
                return 0;
            case VIDIOC_STREAMOFF:
                file.streaming = false;
                return 0;
            case VIDIOC_QUERYCTRL: {
                auto* q = static_cast<v4l2_queryctrl*>(argument);
                auto control = c.controls.find(q->id);
                if (control == c.controls.end()) return fail(EINVAL);
                q->minimum = control->second.minimum;
                q->maximum = control->second.maximum;
                q->step = control->second.step;
                q->default_value = control->second.defaultValue;
                q->flags = 0;
                return 0;
            }
            case VIDIOC_QUERYMENU: {
                auto* m = static_cast<v4l2_querymenu*>(argument);
                auto control = c.controls.find(m->id);
                if (control == c.controls.end()) return fail(EINVAL);
                const int64_t i = int64_t(m->index) - control->second.minimum;
                if (i < 0 || i >= int64_t(control->second.menu.size())) return fail(EINVAL);
                m->value = control->second.menu[size_t(i)];
                return 0;
            }
            case VIDIOC_G_CTRL: {
                auto* v = static_cast<v4l2_control*>(argument);
                auto control = c.controls.find(v->id);
                if (control == c.controls.end()) return fail(EINVAL);
                v->value = control->second.value;
                return 0;
            }
            case VIDIOC_S_CTRL: {
                auto* v = static_cast<v4l2_control*>(argument);
                auto control = c.controls.find(v->id);
                c.controlsSet.emplace_back(v->id, v->value);
                if (control == c.controls.end() || control->second.refuse) return fail(EINVAL);
                control->second.value = v->value;
                return 0;
            }
            default:
                return fail(ENOTTY);
        }
    }

  private:
    static constexpr size_t kOffsetStep = 1 << 28;
    struct Buffer {
        std::vector<uint8_t> bytes;
        bool mapped = false;
    };
    struct File {
        size_t camera = 0;
        v4l2_pix_format format{};
        std::vector<Buffer> buffers;
        std::vector<uint32_t> queue;
        bool streaming = false;
    };

    static int fail(int error) {
        errno = error;
        return -1;
    }

    static void copy(uint8_t* to, size_t size, const std::string& text) {
        std::memset(to, 0, size);
        std::memcpy(to, text.data(), std::min(size - 1, text.size()));
    }

    static const FakeLayout* layoutOf(const FakeCamera& c, uint32_t fourcc) {
        for (const FakeLayout& layout : c.layouts)
            if (layout.fourcc == fourcc) return &layout;
        return nullptr;
    }

    // What a driver does with a format asked for: its own layout and a size it has.
    static void adjust(const FakeCamera& c, v4l2_pix_format& pix) {
        const FakeLayout* layout = layoutOf(c, pix.pixelformat);
        if (!layout) layout = &c.layouts.front();
        VideoDimensions size = layout->sizes.front();
        if (c.listsSizes)
            for (VideoDimensions s : layout->sizes)
                if (uint32_t(s.width) == pix.width && uint32_t(s.height) == pix.height) size = s;
        pix.pixelformat = layout->fourcc;
        pix.width = uint32_t(size.width);
        pix.height = uint32_t(size.height);
        pix.field = V4L2_FIELD_NONE;
        const bool nv12 = layout->fourcc == V4L2_PIX_FMT_NV12;
        pix.bytesperline = uint32_t(nv12 ? size.width : size.width * 2);
        pix.sizeimage =
            uint32_t(nv12 ? size.width * size.height * 3 / 2 : size.width * size.height * 2);
    }

    // Every buffer holds the picture: the left half red, the right half blue.
    static void paint(File& file) {
        const int w = int(file.format.width), h = int(file.format.height);
        std::vector<uint8_t> bgra(size_t(w) * h * 4);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = &bgra[(size_t(y) * w + x) * 4];
                const bool left = x < w / 2;
                p[0] = left ? 0 : 255;
                p[1] = 0;
                p[2] = left ? 255 : 0;
                p[3] = 255;
            }
        for (Buffer& buffer : file.buffers) {
            uint8_t* out = buffer.bytes.data();
            if (file.format.pixelformat == V4L2_PIX_FMT_NV12)
                libyuv::ARGBToNV12(bgra.data(), w * 4, out, w, out + size_t(w) * h, w, w, h);
            else
                libyuv::ARGBToYUY2(bgra.data(), w * 4, out, w * 2, w, h);
        }
    }

    std::map<int, File> files_;
    int nextFd_ = 1000;
};

}  // namespace hx::capture::testing

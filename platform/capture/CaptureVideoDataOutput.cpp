#include "platform/capture/CaptureVideoDataOutput.h"

#include "platform/log/Log.h"

namespace hx::capture {

std::shared_ptr<CaptureVideoDataOutput> CaptureVideoDataOutput::create() {
    std::shared_ptr<CaptureVideoDataOutput> output(new CaptureVideoDataOutput);
    output->videoSettings_.set(kCVPixelBufferPixelFormatTypeKey,
                               static_cast<int64_t>(kCVPixelFormatType_32BGRA));
    return output;
}

bool CaptureVideoDataOutput::setVideoSettings(const image::PropertyDictionary& settings) {
    for (const auto& [key, value] : settings) {
        if (key != kCVPixelBufferPixelFormatTypeKey) {
            hxLog("Video settings: \"%s\" is not offered", key.c_str());
            return false;
        }
    }
    const auto format = settings.integer(kCVPixelBufferPixelFormatTypeKey);
    if (format && *format != kCVPixelFormatType_32BGRA) {
        hxLog("Video settings: pixel format 0x%08x is not offered; frames are 32-bit BGRA",
              static_cast<unsigned>(*format));
        return false;
    }
    std::lock_guard lock(mutex_);
    videoSettings_ = image::PropertyDictionary{
        {kCVPixelBufferPixelFormatTypeKey, static_cast<int64_t>(kCVPixelFormatType_32BGRA)}};
    return true;
}

image::PropertyDictionary CaptureVideoDataOutput::videoSettings() const {
    std::lock_guard lock(mutex_);
    return videoSettings_;
}

std::vector<uint32_t> CaptureVideoDataOutput::availableVideoCVPixelFormatTypes() const {
    return {kCVPixelFormatType_32BGRA};
}

void CaptureVideoDataOutput::setSampleBufferDelegate(
    CaptureVideoDataOutputSampleBufferDelegate* delegate, DispatchQueue* queue) {
    if (delegate && !queue) {
        hxLog("setSampleBufferDelegate: a delegate needs a queue");
        return;
    }
    std::lock_guard lock(mutex_);
    delegate_ = delegate;
    queue_ = delegate ? queue : nullptr;
}

CaptureVideoDataOutputSampleBufferDelegate* CaptureVideoDataOutput::sampleBufferDelegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

DispatchQueue* CaptureVideoDataOutput::sampleBufferCallbackQueue() const {
    std::lock_guard lock(mutex_);
    return queue_;
}

PixelBufferPoolRef CaptureVideoDataOutput::poolFor(VideoDimensions dimensions) {
    std::lock_guard lock(mutex_);
    const size_t width = static_cast<size_t>(dimensions.width);
    const size_t height = static_cast<size_t>(dimensions.height);
    if (!pool_ || pool_->width() != width || pool_->height() != height)
        pool_ = PixelBufferPool::create(width, height, kPoolCapacity);
    return pool_;
}

void CaptureVideoDataOutput::drop(const char* reason, double time,
                                  const CaptureConnectionRef& connection) {
    std::lock_guard lock(mutex_);
    if (!delegate_) return;
    auto sample = std::make_shared<const SampleBuffer>(nullptr, time, reason);
    queue_->async([self = shared_from_this(), sample, connection, delegate = delegate_] {
        if (self->sampleBufferDelegate() != delegate) return;
        delegate->captureOutputDidDropSampleBuffer(*self, sample, *connection);
    });
}

void CaptureVideoDataOutput::deliverFrame(gpu::PixelBufferRef buffer, double time,
                                          const CaptureConnectionRef& connection) {
    if (!connection) return;
    if (!buffer) {
        drop(kCMSampleBufferDroppedFrameReason_OutOfBuffers, time, connection);
        return;
    }
    if (discardsLateFrames_ && framePending_.exchange(true)) {
        drop(kCMSampleBufferDroppedFrameReason_FrameWasLate, time, connection);
        return;
    }
    std::lock_guard lock(mutex_);
    if (!delegate_) {
        framePending_ = false;
        return;
    }
    auto sample = std::make_shared<const SampleBuffer>(std::move(buffer), time);
    queue_->async([self = shared_from_this(), sample, connection, delegate = delegate_] {
        // The delegate may have been changed or cleared while the frame waited. Frames that
        // come while it is still busy with this one are late.
        if (self->sampleBufferDelegate() == delegate)
            delegate->captureOutputDidOutputSampleBuffer(*self, sample, *connection);
        self->framePending_ = false;
    });
}

}  // namespace hx::capture

#pragma once

// One video frame as the video data output hands it over: a BGRA pixel buffer and its time.
// A dropped frame carries no buffer, only the reason it was dropped. Holding the sample buffer
// (or its pixel buffer, or a texture made over it) keeps that buffer out of the camera's pool.
//
// Threads: immutable; any thread may read it.

#include <memory>
#include <string>

#include "platform/gpu/PixelBuffer.h"

namespace hx::capture {

// Why a frame was dropped.
inline constexpr const char* kCMSampleBufferDroppedFrameReason_FrameWasLate = "FrameWasLate";
inline constexpr const char* kCMSampleBufferDroppedFrameReason_OutOfBuffers = "OutOfBuffers";

class SampleBuffer {
  public:
    SampleBuffer(gpu::PixelBufferRef imageBuffer, double presentationTime,
                 std::string droppedFrameReason = {})
        : imageBuffer_(std::move(imageBuffer)),
          presentationTime_(presentationTime),
          droppedFrameReason_(std::move(droppedFrameReason)) {}

    const gpu::PixelBufferRef& imageBuffer() const { return imageBuffer_; }
    // Seconds on the run loop's clock when the frame was taken.
    double presentationTimeStamp() const { return presentationTime_; }
    // Empty for a delivered frame.
    const std::string& droppedFrameReason() const { return droppedFrameReason_; }

  private:
    gpu::PixelBufferRef imageBuffer_;
    double presentationTime_;
    std::string droppedFrameReason_;
};
using SampleBufferRef = std::shared_ptr<const SampleBuffer>;

inline gpu::PixelBufferRef CMSampleBufferGetImageBuffer(const SampleBufferRef& sampleBuffer) {
    return sampleBuffer ? sampleBuffer->imageBuffer() : nullptr;
}

}  // namespace hx::capture

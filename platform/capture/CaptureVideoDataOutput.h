#pragma once

// Frames for a live preview. While its session runs, the output hands each frame to its
// sample-buffer delegate on the delegate's queue (the main queue, for the camera screen).
// Frames are 32-bit BGRA, the size the session preset gives, turned as the connection's video
// orientation asks. With alwaysDiscardsLateVideoFrames (the default) a frame that arrives
// while the previous one still waits for its queue, or while the delegate is still busy with
// it, is dropped instead of piling up.
//
// Threads: every member may be called from any thread. The delegate is not owned: clear it
// (on the delegate queue, or before that queue can run again) before the delegate goes away.

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/capture/CaptureOutput.h"
#include "platform/capture/PixelBufferPool.h"
#include "platform/capture/SampleBuffer.h"
#include "platform/image/PropertyDictionary.h"
#include "platform/runloop/DispatchQueue.h"

namespace hx::capture {

class CaptureVideoDataOutputSampleBufferDelegate {
  public:
    virtual ~CaptureVideoDataOutputSampleBufferDelegate() = default;
    virtual void captureOutputDidOutputSampleBuffer(CaptureOutput& output,
                                                    const SampleBufferRef& sampleBuffer,
                                                    CaptureConnection& connection) = 0;
    virtual void captureOutputDidDropSampleBuffer(CaptureOutput& output,
                                                  const SampleBufferRef& sampleBuffer,
                                                  CaptureConnection& connection) {}
};

class CaptureVideoDataOutput : public CaptureOutput,
                               public std::enable_shared_from_this<CaptureVideoDataOutput> {
  public:
    static std::shared_ptr<CaptureVideoDataOutput> create();

    // Only {kCVPixelBufferPixelFormatTypeKey: kCVPixelFormatType_32BGRA} is offered; other
    // settings are refused with a log line and leave the output as it was.
    bool setVideoSettings(const image::PropertyDictionary& settings);
    image::PropertyDictionary videoSettings() const;
    std::vector<uint32_t> availableVideoCVPixelFormatTypes() const;

    // A delegate needs a queue; null for both stops the deliveries.
    void setSampleBufferDelegate(CaptureVideoDataOutputSampleBufferDelegate* delegate,
                                 DispatchQueue* queue);
    CaptureVideoDataOutputSampleBufferDelegate* sampleBufferDelegate() const;
    DispatchQueue* sampleBufferCallbackQueue() const;

    bool alwaysDiscardsLateVideoFrames() const { return discardsLateFrames_.load(); }
    void setAlwaysDiscardsLateVideoFrames(bool discards) { discardsLateFrames_ = discards; }

    // Frames in the camera's pool for this output: reused once nobody holds them.
    static constexpr size_t kPoolCapacity = 4;

    // For the session: the pool for frames of this size, kept while the size stays.
    PixelBufferPoolRef poolFor(VideoDimensions dimensions);
    // For the session: hands a frame (null: the pool had none) to the delegate.
    void deliverFrame(gpu::PixelBufferRef buffer, double time,
                      const CaptureConnectionRef& connection);

  protected:
    CaptureVideoOrientation defaultVideoOrientation() const override {
        return AVCaptureVideoOrientationLandscapeRight;
    }

  private:
    CaptureVideoDataOutput() = default;
    void drop(const char* reason, double time, const CaptureConnectionRef& connection);

    mutable std::mutex mutex_;
    image::PropertyDictionary videoSettings_;
    CaptureVideoDataOutputSampleBufferDelegate* delegate_ = nullptr;
    DispatchQueue* queue_ = nullptr;
    PixelBufferPoolRef pool_;
    std::atomic<bool> discardsLateFrames_{true};
    std::atomic<bool> framePending_{false};
};
using CaptureVideoDataOutputRef = std::shared_ptr<CaptureVideoDataOutput>;

}  // namespace hx::capture

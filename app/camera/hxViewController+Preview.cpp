// Placeholder until the preview lands.
#include "app/camera/hxViewController.h"

namespace hx::app {
void hxViewController::setupView() {}
void hxViewController::captureOutputDidOutputSampleBuffer(capture::CaptureOutput&,
                                                          const capture::SampleBufferRef&,
                                                          capture::CaptureConnection&) {}
void hxViewController::drawInMTKView(MTKView& view) {}
void hxViewController::drawPreviewFrame(MTKView& view) {}
CGPoint hxViewController::checkBounds(CGPoint point) const { return point; }
}  // namespace hx::app

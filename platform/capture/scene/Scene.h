#pragma once

// What the simulated camera looks at. A scene is a picture without pixels: any point of it can
// be painted at any size, so a zoomed still shows real detail instead of enlarged pixels.
//
// Scene units: the back wide-angle lens, held upright at zoom 1, sees x from -0.375 to 0.375
// (left to right) and y from -0.5 to 0.5 (top to bottom). Wider lenses see more, longer lenses
// and zoom see less of the same plane.
//
// Threads: a scene never changes after it is made (pictures it loads are cached under a lock);
// any number of threads may paint it at once.

#include <cstdint>

namespace hx::capture::scene {

// A row of pixels through the scene: pixel i sits at (x + i * stepX, y + i * stepY).
struct SceneSpan {
    double x = 0;
    double y = 0;
    double stepX = 0;
    double stepY = 0;
    int count = 0;
    // The size of one pixel in scene units: detail finer than this is painted as its average.
    double footprint = 0.001;
    // Seconds on the run loop's clock: where moving things are.
    double time = 0;
};

class Scene {
  public:
    virtual ~Scene() = default;

    // Writes span.count opaque BGRA pixels.
    virtual void renderSpan(const SceneSpan& span, uint8_t* bgra) const = 0;
    // How much light falls on the scene: 1 for daylight, less indoors. Sets exposure times,
    // sensitivity and whether an automatic flash fires.
    virtual double illuminance() const { return 1; }
    // A scene made of pictures fills whatever field a lens has instead of being seen wider or
    // narrower through each lens.
    virtual bool fillsLensField() const { return false; }

    // Mean linear luminance (0 to 1) of a square around (x, y), for metering.
    double meanLuminance(double x, double y, double halfSize, double time) const;
};

}  // namespace hx::capture::scene

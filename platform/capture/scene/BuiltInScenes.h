#pragma once

// The scenes the simulated camera shows when no folder of pictures is given.
//
// Outdoors, for the back cameras: sky with sun and clouds over hills and grass, a tree and a
// barn for the wide lenses, and a board carrying a colour chart, a portrait and skin swatches,
// a turning resolution star, print that gets smaller line by line, a grey step wedge, bar
// targets, a hue strip and a bouncing ball.
//
// Indoors, for the front camera: a person close up before a papered wall, with a window, a
// framed colour chart and a wall clock whose second hand moves; dimmer than outdoors.

#include <memory>
#include <vector>

#include "platform/capture/scene/Paint.h"
#include "platform/capture/scene/Scene.h"

namespace hx::capture::scene {

std::shared_ptr<const Scene> makeOutdoorScene();
std::shared_ptr<const Scene> makeIndoorScene();

// The 24 sRGB patches of the colour checker on the outdoor board, in the checker's usual order
// (four rows of six, dark skin first), and where the centre of each lies in scene units.
const std::vector<Rgb>& colourCheckerPatches();
struct ScenePoint {
    double x = 0, y = 0;
};
ScenePoint colourCheckerPatchCentre(int index);

}  // namespace hx::capture::scene

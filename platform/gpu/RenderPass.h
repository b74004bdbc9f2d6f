#pragma once

#include "platform/gpu/Texture.h"

namespace hx::gpu {

struct RenderPassColorAttachment {
    TextureRef texture;
    LoadAction loadAction = LoadAction::DontCare;
    StoreAction storeAction = StoreAction::DontCare;
    ClearColor clearColor;
};

struct RenderPassDescriptor {
    RenderPassColorAttachment colorAttachments[1];
};

}  // namespace hx::gpu

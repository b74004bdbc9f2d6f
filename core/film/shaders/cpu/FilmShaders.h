#pragma once
// The film shader library for the CPU GPU backend. Live and full-resolution functions share
// their mathematics; only the sizes they run at differ. The library registers itself with the
// backend when the program starts (ShaderLibrary.cpp); the renderers open it through
// Device::newDefaultLibrary().

#include "platform/gpu/cpu/ShaderABI.h"

namespace hx::shaders {

void mapVertex(const gpu::cpu::ShaderBindings&, uint32_t vertexId, gpu::cpu::VertexOutput& out);
void monochromeFragment(const gpu::cpu::ShaderBindings&, const gpu::cpu::RenderTarget&,
                        const gpu::cpu::FragmentBand&);
void colorFragment(const gpu::cpu::ShaderBindings&, const gpu::cpu::RenderTarget&,
                   const gpu::cpu::FragmentBand&);
void softenFragment(const gpu::cpu::ShaderBindings&, const gpu::cpu::RenderTarget&,
                    const gpu::cpu::FragmentBand&);

}  // namespace hx::shaders

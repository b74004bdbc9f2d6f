#include "core/film/RenderContract.h"

namespace hx::film {

PassParameters PassParameters::make(gpu::Device& device, const FilmRenderState& state,
                                    const TexCoordTable& texCoords, float texelWidth,
                                    float texelHeight) {
    // A 3-float vector takes a 16-byte slot; the last 4 bytes carry nothing.
    float mix[4] = {state.channelMixerValue[0], state.channelMixerValue[1],
                    state.channelMixerValue[2], 0.0f};
    uint8_t sharp[4] = {uint8_t(state.sharpFlag ? 1 : 0), 0, 0, 0};
    uint8_t blur[4] = {uint8_t(state.blurFlag ? 1 : 0), 0, 0, 0};
    PassParameters p;
    p.texCoords = device.newBufferWithBytes(&texCoords, sizeof texCoords);
    p.channelMix = device.newBufferWithBytes(mix, sizeof mix);
    p.sharpFlag = device.newBufferWithBytes(sharp, sizeof sharp);
    p.blurFlag = device.newBufferWithBytes(blur, sizeof blur);
    p.sharpness = device.newBufferWithBytes(&state.currentSharpness, sizeof(float));
    p.texelWidth = device.newBufferWithBytes(&texelWidth, sizeof texelWidth);
    p.texelHeight = device.newBufferWithBytes(&texelHeight, sizeof texelHeight);
    return p;
}

namespace {

void bindVertexBuffers(gpu::RenderCommandEncoder& encoder, const PassParameters& p) {
    encoder.setVertexBuffer(p.texCoords, 0, kVertexTexCoords);
    encoder.setVertexBuffer(p.sharpness, 0, kVertexSharpness);
    encoder.setVertexBuffer(p.texelWidth, 0, kVertexTexelWidth);
    encoder.setVertexBuffer(p.texelHeight, 0, kVertexTexelHeight);
}

void drawQuad(gpu::RenderCommandEncoder& encoder) {
    encoder.drawPrimitives(gpu::PrimitiveType::TriangleStrip, 0, 4, 1);
}

}  // namespace

void encodeFilmPasses(gpu::CommandBuffer& commandBuffer, const FilmPasses& f) {
    const PassParameters& p = f.parameters;
    if (f.blur) {
        auto encoder = commandBuffer.renderCommandEncoderWithDescriptor(f.prePass);
        if (encoder) {
            encoder->setLabel(kOffscreenRenderPass);
            encoder->setRenderPipelineState(f.prePipeline);
            if (f.source) encoder->setFragmentTexture(f.source, kSourceTexture);
            encoder->setFragmentBuffer(p.channelMix, 0, kMonoChannelMix);
            encoder->setFragmentBuffer(p.sharpFlag, 0, kMonoSharpFlag);
            encoder->setFragmentBuffer(p.blurFlag, 0, kMonoBlurFlag);
            bindVertexBuffers(*encoder, p);
            drawQuad(*encoder);
            encoder->endEncoding();
        }
    }

    auto encoder = commandBuffer.renderCommandEncoderWithDescriptor(f.mainPass);
    if (!encoder) return;
    encoder->pushDebugGroup(f.color ? kRenderColorFrame : kRenderFrame);
    encoder->setRenderPipelineState(f.mainPipeline);
    if (f.source) {
        gpu::TextureRef input = f.blur ? f.prePass.colorAttachments[0].texture : f.source;
        encoder->setFragmentTexture(input, kSourceTexture);
    }
    if (f.table) encoder->setFragmentTexture(f.table, kTableTexture);
    if (f.color) {
        encoder->setFragmentBuffer(p.sharpFlag, 0, kColorSharpFlag);
        encoder->setFragmentBuffer(p.blurFlag, 0, kColorBlurFlag);
    } else {
        encoder->setFragmentBuffer(p.channelMix, 0, kMonoChannelMix);
        encoder->setFragmentBuffer(p.sharpFlag, 0, kMonoSharpFlag);
        encoder->setFragmentBuffer(p.blurFlag, 0, kMonoBlurFlag);
    }
    bindVertexBuffers(*encoder, p);
    drawQuad(*encoder);
    encoder->popDebugGroup();
    encoder->endEncoding();
}

}  // namespace hx::film

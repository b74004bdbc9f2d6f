#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "GpuTestSupport.h"
#include "platform/log/CaptureScope.h"

namespace hx::gpu {
namespace {

using namespace test;
using ::testing::HasSubstr;

class PipelineTest : public BackendTest {
  protected:
    void SetUp() override {
        BackendTest::SetUp();
        device = testDevice();
        library = device->newDefaultLibrary();
        ASSERT_TRUE(library);
        descriptor.label = "grade";
        descriptor.vertexFunction = library->newFunctionWithName(kQuadVertex);
        descriptor.fragmentFunction = library->newFunctionWithName(kCopyFragment);
        descriptor.colorAttachments[0].pixelFormat = PixelFormat::BGRA8Unorm;
    }
    RenderPipelineStateRef build(std::string* error) {
        return device->newRenderPipelineStateWithDescriptor(descriptor, error);
    }

    DeviceRef device;
    LibraryRef library;
    RenderPipelineDescriptor descriptor;
};

HX_GPU_BACKEND_SUITE(ShaderLibrary);

TEST_P(ShaderLibrary, FindsFunctionsByNameWithTheirStage) {
    LibraryRef library = testDevice()->newDefaultLibrary();
    ASSERT_TRUE(library);
    FunctionRef vertex = library->newFunctionWithName(kQuadVertex);
    FunctionRef fragment = library->newFunctionWithName(kCopyFragment);
    ASSERT_TRUE(vertex);
    ASSERT_TRUE(fragment);
    EXPECT_EQ(vertex->name(), kQuadVertex);
    EXPECT_EQ(vertex->functionType(), FunctionType::Vertex);
    EXPECT_EQ(fragment->functionType(), FunctionType::Fragment);
    EXPECT_FALSE(library->newFunctionWithName("noSuchFunction"));
    EXPECT_FALSE(library->newFunctionWithName(""));

    auto names = library->functionNames();
    EXPECT_NE(std::find(names.begin(), names.end(), kConstantFragment), names.end());
    if (currentBackend() == "cpu") {
        EXPECT_NE(std::find(names.begin(), names.end(), kProbeFragment), names.end());
    }
}

TEST_P(ShaderLibrary, LeavesOutAFunctionWithoutAnEntryPointForItsStage) {
    LibraryRef library = testDevice()->newDefaultLibrary();
    ASSERT_TRUE(library);
    EXPECT_FALSE(library->newFunctionWithName(kBrokenVertex));
    auto names = library->functionNames();
    EXPECT_EQ(std::find(names.begin(), names.end(), kBrokenVertex), names.end());
}

INSTANTIATE_TEST_SUITE_P(Backends, PipelineTest, ::testing::ValuesIn(backends()), backendName);

TEST_P(PipelineTest, GoodDescriptorMakesAPipelineWithItsLabelAndFormat) {
    std::string error = "untouched";
    RenderPipelineStateRef pipeline = build(&error);
    ASSERT_TRUE(pipeline) << error;
    EXPECT_EQ(pipeline->label(), "grade");
    EXPECT_EQ(pipeline->colorPixelFormat(), PixelFormat::BGRA8Unorm);
}

TEST_P(PipelineTest, MissingVertexFunctionIsRefusedWithItsReason) {
    descriptor.vertexFunction = library->newFunctionWithName("noSuchVertex");  // null
    std::string error;
    EXPECT_FALSE(build(&error));
    EXPECT_THAT(error, HasSubstr("vertex function"));
    EXPECT_THAT(error, HasSubstr("grade"));
}

TEST_P(PipelineTest, MissingFragmentFunctionIsRefusedWithItsReason) {
    descriptor.fragmentFunction = nullptr;
    std::string error;
    EXPECT_FALSE(build(&error));
    EXPECT_THAT(error, HasSubstr("fragment function"));
    EXPECT_THAT(error, HasSubstr("grade"));
}

TEST_P(PipelineTest, FunctionsOfTheWrongStageAreRefusedByName) {
    descriptor.vertexFunction = library->newFunctionWithName(kConstantFragment);
    std::string error;
    EXPECT_FALSE(build(&error));
    EXPECT_THAT(error, HasSubstr(kConstantFragment));
    EXPECT_THAT(error, HasSubstr("not a vertex function"));

    descriptor.vertexFunction = library->newFunctionWithName(kQuadVertex);
    descriptor.fragmentFunction = library->newFunctionWithName(kQuadVertex);
    error.clear();
    EXPECT_FALSE(build(&error));
    EXPECT_THAT(error, HasSubstr(kQuadVertex));
    EXPECT_THAT(error, HasSubstr("not a fragment function"));
}

TEST_P(PipelineTest, NonRenderableAttachmentFormatsAreRefusedByName) {
    for (PixelFormat format : {PixelFormat::R8Unorm, PixelFormat::Invalid}) {
        descriptor.colorAttachments[0].pixelFormat = format;
        std::string error;
        EXPECT_FALSE(build(&error)) << pixelFormatName(format);
        EXPECT_THAT(error, HasSubstr(pixelFormatName(format)));
        EXPECT_THAT(error, HasSubstr("not renderable"));
    }
}

TEST_P(PipelineTest, MultisamplingIsRefused) {
    descriptor.rasterSampleCount = 4;
    std::string error;
    EXPECT_FALSE(build(&error));
    EXPECT_THAT(error, HasSubstr("sample count"));
}

TEST_P(PipelineTest, RefusalWithoutAnErrorPointerStillReturnsNull) {
    descriptor.fragmentFunction = nullptr;
    EXPECT_FALSE(build(nullptr));
}

TEST_P(PipelineTest, ReusedDescriptorMakesASecondPipelineWithTheNewSettings) {
    RenderPipelineStateRef first = build(nullptr);
    descriptor.label = "preview";
    descriptor.fragmentFunction = library->newFunctionWithName(kConstantFragment);
    descriptor.colorAttachments[0].pixelFormat = PixelFormat::RGBA8Unorm;
    RenderPipelineStateRef second = build(nullptr);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->label(), "grade");
    EXPECT_EQ(first->colorPixelFormat(), PixelFormat::BGRA8Unorm);
    EXPECT_EQ(second->label(), "preview");
    EXPECT_EQ(second->colorPixelFormat(), PixelFormat::RGBA8Unorm);

    // Each pipeline keeps the fragment function it was built with.
    TextureRef target = makeTarget(PixelFormat::RGBA8Unorm, 4, 2);
    auto commandBuffer =
        commitPass(target, LoadAction::DontCare, {}, [&](RenderCommandEncoder& encoder) {
            encodeQuad(encoder, second, makeQuad(), nullptr, colourBuffer({9, 8, 7, 6}));
        });
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(texelAt(readTexels(*target), PixelFormat::RGBA8Unorm, 4, 3, 1), (Rgba{9, 8, 7, 6}));
}

HX_GPU_BACKEND_SUITE(PipelineUse);

TEST_P(PipelineUse, PipelineForAnotherFormatLeavesTheTargetAloneAndFailsTheBuffer) {
    log::CaptureScope log;
    TextureRef target = makeTarget(PixelFormat::RGBA8Unorm, 8, 4);
    std::vector<uint8_t> before = readTexels(*target);
    auto pipeline = makePipeline(kConstantFragment, PixelFormat::BGRA8Unorm, "mismatched");
    ASSERT_TRUE(pipeline);
    auto commandBuffer =
        commitPass(target, LoadAction::DontCare, {}, [&](RenderCommandEncoder& encoder) {
            encodeQuad(encoder, pipeline, makeQuad(), nullptr, colourBuffer({1, 2, 3, 4}));
        });
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Error);
    EXPECT_THAT(commandBuffer->errorDescription(), HasSubstr("mismatched"));
    EXPECT_EQ(readTexels(*target), before);
}

}  // namespace
}  // namespace hx::gpu

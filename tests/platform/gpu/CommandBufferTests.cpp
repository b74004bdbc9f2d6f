#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "GpuTestSupport.h"
#include "platform/gpu/cpu/ShaderABI.h"
#include "platform/log/CaptureScope.h"

namespace hx::gpu {
namespace {

using namespace test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr PixelFormat kFormat = PixelFormat::BGRA8Unorm;

// Keeps the device busy inside a scheduled handler until released, so that buffers committed
// meanwhile are known to be waiting their turn.
class ExecutorGate {
  public:
    ExecutorGate() {
        std::shared_future<void> opened = open_.get_future().share();
        buffer_ = testDevice()->newCommandQueue()->commandBuffer();
        buffer_->addScheduledHandler([this, opened](CommandBuffer&) {
            entered_.set_value();
            opened.wait();
        });
        buffer_->commit();
        entered_.get_future().wait();
    }
    ~ExecutorGate() { release(); }
    void release() {
        if (released_) return;
        released_ = true;
        open_.set_value();
        buffer_->waitUntilCompleted();
    }

  private:
    std::promise<void> entered_, open_;
    bool released_ = false;
    CommandBufferRef buffer_;
};

RenderPassDescriptor passOver(const TextureRef& target, LoadAction load = LoadAction::DontCare) {
    RenderPassDescriptor pass;
    pass.colorAttachments[0].texture = target;
    pass.colorAttachments[0].loadAction = load;
    pass.colorAttachments[0].storeAction = StoreAction::Store;
    return pass;
}

// Encodes a full-target fill with `colour` into the command buffer as one pass.
void encodeFill(CommandBuffer& commandBuffer, const TextureRef& target, Rgba colour) {
    auto encoder = commandBuffer.renderCommandEncoderWithDescriptor(passOver(target));
    ASSERT_TRUE(encoder);
    encodeQuad(*encoder, makePipeline(kConstantFragment, target->pixelFormat()), makeQuad(),
               nullptr, colourBuffer(colour));
    encoder->endEncoding();
}

Rgba centreOf(const TextureRef& target) {
    return texelAt(readTexels(*target), target->pixelFormat(), target->width(), target->width() / 2,
                   target->height() / 2);
}

bool allTexelsAre(const TextureRef& target, Rgba colour) {
    auto texels = readTexels(*target);
    for (size_t y = 0; y < target->height(); ++y)
        for (size_t x = 0; x < target->width(); ++x)
            if (texelAt(texels, target->pixelFormat(), target->width(), x, y) != colour)
                return false;
    return true;
}

HX_GPU_BACKEND_SUITE(CommandBufferHandlers);

TEST_P(CommandBufferHandlers, ScheduledRunBeforeCompletedInOrderAddedOffTheCommittingThread) {
    TextureRef target = makeTarget(kFormat, 64, 48);
    auto commandBuffer = testDevice()->newCommandQueue()->commandBuffer();
    encodeFill(*commandBuffer, target, {10, 20, 30, 255});

    std::mutex mutex;
    std::vector<std::string> events;
    std::vector<std::thread::id> threads;
    CommandBufferStatus statusWhenScheduled{}, statusWhenCompleted{};
    bool drawnWhenCompleted = false;
    std::promise<void> done;
    auto record = [&](const char* event) {
        std::lock_guard lock(mutex);
        events.push_back(event);
        threads.push_back(std::this_thread::get_id());
    };
    commandBuffer->addScheduledHandler([&](CommandBuffer& buffer) {
        statusWhenScheduled = buffer.status();
        record("scheduled 1");
    });
    commandBuffer->addScheduledHandler([&](CommandBuffer&) { record("scheduled 2"); });
    commandBuffer->addCompletedHandler([&](CommandBuffer& buffer) {
        statusWhenCompleted = buffer.status();
        // Completed means the results are already in the target.
        drawnWhenCompleted = allTexelsAre(target, {10, 20, 30, 255});
        record("completed 1");
    });
    commandBuffer->addCompletedHandler([&](CommandBuffer&) {
        record("completed 2");
        done.set_value();
    });
    commandBuffer->commit();
    done.get_future().wait();

    std::lock_guard lock(mutex);
    EXPECT_THAT(events, ElementsAre("scheduled 1", "scheduled 2", "completed 1", "completed 2"));
    for (auto id : threads) EXPECT_NE(id, std::this_thread::get_id());
    EXPECT_EQ(statusWhenScheduled, CommandBufferStatus::Scheduled);
    EXPECT_EQ(statusWhenCompleted, CommandBufferStatus::Completed);
    EXPECT_TRUE(drawnWhenCompleted);
}

HX_GPU_BACKEND_SUITE(CommandBufferStatusTest);

TEST_P(CommandBufferStatusTest, MovesFromNotEnqueuedThroughCommittedAndScheduledToCompleted) {
    auto queue = testDevice()->newCommandQueue();
    auto commandBuffer = queue->commandBuffer();
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::NotEnqueued);
    CommandBufferStatus seenWhenScheduled{};
    commandBuffer->addScheduledHandler(
        [&](CommandBuffer& buffer) { seenWhenScheduled = buffer.status(); });
    {
        ExecutorGate gate;
        commandBuffer->commit();
        EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Committed);
    }
    commandBuffer->waitUntilScheduled();
    EXPECT_NE(commandBuffer->status(), CommandBufferStatus::Committed);
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(seenWhenScheduled, CommandBufferStatus::Scheduled);
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Completed);
    EXPECT_EQ(commandBuffer->errorDescription(), "");
}

TEST_P(CommandBufferStatusTest, AnEmptyBufferCompletesAndRunsItsHandlers) {
    auto commandBuffer = testDevice()->newCommandQueue()->commandBuffer();
    int handlersRun = 0;
    commandBuffer->addScheduledHandler([&](CommandBuffer&) { ++handlersRun; });
    commandBuffer->addCompletedHandler([&](CommandBuffer&) { ++handlersRun; });
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Completed);
    // The handlers run before the status is published or right after; a later buffer on the
    // same device finishes only after them.
    auto later = testDevice()->newCommandQueue()->commandBuffer();
    later->commit();
    later->waitUntilCompleted();
    EXPECT_EQ(handlersRun, 2);
}

HX_GPU_BACKEND_SUITE(CommandBufferWaiting);

TEST_P(CommandBufferWaiting, WaitUntilCompletedReturnsWithEveryDrawVisible) {
    TextureRef target = makeTarget(kFormat, 1001, 301);
    TextureRef source = makeSource(kFormat, 1001, 301, patternTexels(1001, 301, 5));
    auto commandBuffer = testDevice()->newCommandQueue()->commandBuffer();
    auto encoder = commandBuffer->renderCommandEncoderWithDescriptor(passOver(target));
    ASSERT_TRUE(encoder);
    encodeQuad(*encoder, makePipeline(kCopyFragment, kFormat), makeQuad(), source);
    encoder->endEncoding();
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Completed);
    EXPECT_EQ(readTexels(*target), readTexels(*source));
}

TEST_P(CommandBufferWaiting, WaitingOnABufferNeverCommittedReturns) {
    auto commandBuffer = testDevice()->newCommandQueue()->commandBuffer();
    commandBuffer->waitUntilScheduled();
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::NotEnqueued);
}

TEST_P(CommandBufferWaiting, SecondCommitIsIgnored) {
    auto commandBuffer = testDevice()->newCommandQueue()->commandBuffer();
    std::atomic<int> runs{0};
    commandBuffer->addScheduledHandler([&](CommandBuffer&) { runs.fetch_add(1); });
    commandBuffer->commit();
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    // Anything run twice would have run before a buffer committed afterwards completes.
    auto later = testDevice()->newCommandQueue()->commandBuffer();
    later->commit();
    later->waitUntilCompleted();
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Completed);
}

HX_GPU_BACKEND_SUITE(CommandBufferOrder);

TEST_P(CommandBufferOrder, BuffersOnOneQueueExecuteInCommitOrder) {
    TextureRef target = makeTarget(kFormat, 32, 32);
    auto queue = testDevice()->newCommandQueue();
    std::mutex mutex;
    std::vector<int> scheduled, completed;
    std::vector<CommandBufferRef> buffers;
    for (int i = 0; i < 8; ++i) {
        auto commandBuffer = queue->commandBuffer();
        encodeFill(*commandBuffer, target, {uint8_t(i), 0, 0, 255});
        commandBuffer->addScheduledHandler([&, i](CommandBuffer&) {
            std::lock_guard lock(mutex);
            scheduled.push_back(i);
        });
        commandBuffer->addCompletedHandler([&, i](CommandBuffer&) {
            std::lock_guard lock(mutex);
            completed.push_back(i);
        });
        buffers.push_back(commandBuffer);
    }
    {
        ExecutorGate gate;  // all eight are committed before the first may start
        for (auto& commandBuffer : buffers) commandBuffer->commit();
    }
    for (auto& commandBuffer : buffers) commandBuffer->waitUntilCompleted();
    auto last = queue->commandBuffer();
    last->commit();
    last->waitUntilCompleted();

    std::lock_guard lock(mutex);
    EXPECT_THAT(scheduled, ElementsAre(0, 1, 2, 3, 4, 5, 6, 7));
    EXPECT_THAT(completed, ElementsAre(0, 1, 2, 3, 4, 5, 6, 7));
    EXPECT_TRUE(allTexelsAre(target, {7, 0, 0, 255}));
}

TEST_P(CommandBufferOrder, BuffersOnTwoQueuesOfOneDeviceExecuteInCommitOrder) {
    TextureRef target = makeTarget(kFormat, 32, 32);
    CommandQueueRef queues[2] = {testDevice()->newCommandQueue(), testDevice()->newCommandQueue()};
    std::mutex mutex;
    std::vector<int> order;
    std::vector<CommandBufferRef> buffers;
    for (int i = 0; i < 6; ++i) {
        auto commandBuffer = queues[i % 2]->commandBuffer();
        encodeFill(*commandBuffer, target, {0, uint8_t(10 * i), 0, 255});
        commandBuffer->addScheduledHandler([&, i](CommandBuffer&) {
            std::lock_guard lock(mutex);
            order.push_back(i);
        });
        buffers.push_back(commandBuffer);
    }
    // Committed in the reverse of creation order, alternating queues.
    for (auto it = buffers.rbegin(); it != buffers.rend(); ++it) (*it)->commit();
    for (auto& commandBuffer : buffers) commandBuffer->waitUntilCompleted();

    std::lock_guard lock(mutex);
    EXPECT_THAT(order, ElementsAre(5, 4, 3, 2, 1, 0));
    EXPECT_TRUE(allTexelsAre(target, {0, 0, 0, 255}));
}

TEST_P(CommandBufferOrder, CompletedHandlerMayCommitTheNextBuffer) {
    TextureRef target = makeTarget(kFormat, 16, 16);
    auto queue = testDevice()->newCommandQueue();
    auto first = queue->commandBuffer();
    auto second = queue->commandBuffer();
    encodeFill(*first, target, {1, 1, 1, 255});
    encodeFill(*second, target, {2, 2, 2, 255});
    std::promise<void> secondDone;
    second->addCompletedHandler([&](CommandBuffer&) { secondDone.set_value(); });
    first->addCompletedHandler([&](CommandBuffer&) { second->commit(); });
    first->commit();
    secondDone.get_future().wait();
    EXPECT_TRUE(allTexelsAre(target, {2, 2, 2, 255}));
}

HX_GPU_BACKEND_SUITE(RenderEncoders);

TEST_P(RenderEncoders, ASecondEncoderWhileOneIsOpenIsRefused) {
    TextureRef target = makeTarget(kFormat, 16, 8);
    auto commandBuffer = testDevice()->newCommandQueue()->commandBuffer();
    auto first = commandBuffer->renderCommandEncoderWithDescriptor(passOver(target));
    ASSERT_TRUE(first);
    EXPECT_FALSE(commandBuffer->renderCommandEncoderWithDescriptor(passOver(target)));
    encodeQuad(*first, makePipeline(kConstantFragment, kFormat), makeQuad(), nullptr,
               colourBuffer({200, 0, 0, 255}));
    first->endEncoding();

    // Once the first pass ends, a second one runs after it on the same target.
    auto second =
        commandBuffer->renderCommandEncoderWithDescriptor(passOver(target, LoadAction::Load));
    ASSERT_TRUE(second);
    encodeQuad(*second, makePipeline(kConstantFragment, kFormat), makeQuad(kUpright, -1, -1, 0, 1),
               nullptr, colourBuffer({0, 200, 0, 255}));
    second->endEncoding();
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Completed);

    auto texels = readTexels(*target);
    for (size_t y = 0; y < 8; ++y) {
        for (size_t x = 0; x < 16; ++x) {
            Rgba expected = x < 8 ? Rgba{0, 200, 0, 255} : Rgba{200, 0, 0, 255};
            ASSERT_EQ(texelAt(texels, kFormat, 16, x, y), expected) << x << ", " << y;
        }
    }
}

TEST_P(RenderEncoders, NoEncoderAfterCommit) {
    TextureRef target = makeTarget(kFormat, 4, 4);
    auto commandBuffer = testDevice()->newCommandQueue()->commandBuffer();
    commandBuffer->commit();
    EXPECT_FALSE(commandBuffer->renderCommandEncoderWithDescriptor(passOver(target)));
    commandBuffer->waitUntilCompleted();
}

TEST_P(RenderEncoders, DrawsAfterEndEncodingAreNotRecorded) {
    TextureRef target = makeTarget(kFormat, 8, 8);
    auto commandBuffer = testDevice()->newCommandQueue()->commandBuffer();
    auto encoder = commandBuffer->renderCommandEncoderWithDescriptor(passOver(target));
    ASSERT_TRUE(encoder);
    encodeQuad(*encoder, makePipeline(kConstantFragment, kFormat), makeQuad(), nullptr,
               colourBuffer({1, 1, 1, 255}));
    encoder->endEncoding();
    encodeQuad(*encoder, makePipeline(kConstantFragment, kFormat), makeQuad(), nullptr,
               colourBuffer({9, 9, 9, 255}));
    encoder->endEncoding();
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    EXPECT_TRUE(allTexelsAre(target, {1, 1, 1, 255}));
}

TEST_P(RenderEncoders, CommitWithAnOpenEncoderDropsThePassAndEndsInError) {
    log::CaptureScope log;
    TextureRef target = makeTarget(kFormat, 8, 8);
    auto commandBuffer = testDevice()->newCommandQueue()->commandBuffer();
    commandBuffer->setLabel("unfinished frame");
    auto encoder = commandBuffer->renderCommandEncoderWithDescriptor(passOver(target));
    ASSERT_TRUE(encoder);
    encodeQuad(*encoder, makePipeline(kConstantFragment, kFormat), makeQuad(), nullptr,
               colourBuffer({50, 60, 70, 255}));
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Error);
    EXPECT_THAT(commandBuffer->errorDescription(), HasSubstr("encoder"));
    EXPECT_TRUE(log.contains("unfinished frame"));
    EXPECT_TRUE(allTexelsAre(target, {0, 0, 0, 0}));
}

TEST_P(RenderEncoders, PassEndedAfterItsBufferWasCommittedStaysDropped) {
    TextureRef target = makeTarget(kFormat, 8, 8);
    auto commandBuffer = testDevice()->newCommandQueue()->commandBuffer();
    auto encoder = commandBuffer->renderCommandEncoderWithDescriptor(passOver(target));
    ASSERT_TRUE(encoder);
    encodeQuad(*encoder, makePipeline(kConstantFragment, kFormat), makeQuad(), nullptr,
               colourBuffer({50, 60, 70, 255}));
    log::CaptureScope log;
    {
        ExecutorGate gate;  // the buffer waits its turn while the late endEncoding() arrives
        commandBuffer->commit();
        encoder->endEncoding();
    }
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Error);
    EXPECT_TRUE(allTexelsAre(target, {0, 0, 0, 0}));
}

TEST_P(RenderEncoders, TargetWithoutRenderTargetUsageFailsTheBuffer) {
    log::CaptureScope log;
    TextureRef readOnly = makeSource(kFormat, 8, 8, std::vector<uint8_t>(8 * 8 * 4, 33));
    auto commandBuffer = testDevice()->newCommandQueue()->commandBuffer();
    auto encoder = commandBuffer->renderCommandEncoderWithDescriptor(passOver(readOnly));
    ASSERT_TRUE(encoder);
    encoder->setLabel("into a read-only texture");
    encodeQuad(*encoder, makePipeline(kConstantFragment, kFormat), makeQuad(), nullptr,
               colourBuffer({1, 2, 3, 4}));
    encoder->endEncoding();
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Error);
    EXPECT_THAT(commandBuffer->errorDescription(), HasSubstr("into a read-only texture"));
    EXPECT_EQ(readTexels(*readOnly), std::vector<uint8_t>(8 * 8 * 4, 33));
}

TEST_P(RenderEncoders, PassWithoutTargetFailsTheBuffer) {
    log::CaptureScope log;
    auto commandBuffer = testDevice()->newCommandQueue()->commandBuffer();
    auto encoder = commandBuffer->renderCommandEncoderWithDescriptor(passOver(nullptr));
    ASSERT_TRUE(encoder);
    encodeQuad(*encoder, makePipeline(kConstantFragment, kFormat), makeQuad(), nullptr,
               colourBuffer({1, 2, 3, 4}));
    encoder->endEncoding();
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Error);
}

TEST(CpuRenderEncoders, DrawsOtherThanRectangularQuadStripsFailTheBufferAndDrawNothing) {
    log::CaptureScope log;
    auto pipeline = makePipeline(kConstantFragment, kFormat);
    Quad skewed = makeQuad();
    skewed[2].x = -0.5f;  // the top edge moves right: a parallelogram, not a rectangle
    skewed[3].x = 1.5f;
    struct Case {
        const char* name;
        PrimitiveType type;
        size_t count;
        Quad quad;
    };
    for (const Case& c : {Case{"three vertices", PrimitiveType::TriangleStrip, 3, makeQuad()},
                          Case{"triangles", PrimitiveType::Triangle, 4, makeQuad()},
                          Case{"skewed", PrimitiveType::TriangleStrip, 4, skewed}}) {
        TextureRef target = makeTarget(kFormat, 8, 8);
        auto commandBuffer = commitPass(target, LoadAction::DontCare, {}, [&](auto& encoder) {
            encoder.setRenderPipelineState(pipeline);
            encoder.setVertexBuffer(vertexBuffer(c.quad), 0, 0);
            encoder.setFragmentBuffer(colourBuffer({5, 5, 5, 255}), 0, 0);
            encoder.drawPrimitives(c.type, 0, c.count);
        });
        commandBuffer->waitUntilCompleted();
        EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Error) << c.name;
        EXPECT_FALSE(commandBuffer->errorDescription().empty()) << c.name;
        EXPECT_TRUE(allTexelsAre(target, {0, 0, 0, 0})) << c.name;
    }
}

TEST_P(RenderEncoders, DrawWithoutPipelineDrawsNothingWhileThePassStillClears) {
    TextureRef target = makeTarget(kFormat, 8, 8);
    auto commandBuffer =
        commitPass(target, LoadAction::Clear, {0, 1, 0, 1}, [&](RenderCommandEncoder& encoder) {
            encoder.setVertexBuffer(vertexBuffer(makeQuad()), 0, 0);
            encoder.setFragmentBuffer(colourBuffer({5, 5, 5, 255}), 0, 0);
            encoder.drawPrimitives(PrimitiveType::TriangleStrip, 0, 4);
        });
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Completed);
    EXPECT_TRUE(allTexelsAre(target, {0, 255, 0, 255}));
}

TEST_P(RenderEncoders, ZeroVerticesOrInstancesDrawNothing) {
    TextureRef target = makeTarget(kFormat, 8, 8);
    auto pipeline = makePipeline(kConstantFragment, kFormat);
    auto commandBuffer = commitPass(target, LoadAction::Load, {}, [&](auto& encoder) {
        encoder.setRenderPipelineState(pipeline);
        encoder.setVertexBuffer(vertexBuffer(makeQuad()), 0, 0);
        encoder.setFragmentBuffer(colourBuffer({5, 5, 5, 255}), 0, 0);
        encoder.drawPrimitives(PrimitiveType::TriangleStrip, 0, 0);
        encoder.drawPrimitives(PrimitiveType::TriangleStrip, 0, 4, 0);
    });
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Completed);
    EXPECT_TRUE(allTexelsAre(target, {0, 0, 0, 0}));
}

HX_GPU_BACKEND_SUITE(EncodedParameters);

TEST_P(EncodedParameters, KeepTheValuesTheyHadWhenEncoded) {
    TextureRef target = makeTarget(kFormat, 16, 16);
    Rgba colour{11, 22, 33, 255};
    auto commandBuffer = testDevice()->newCommandQueue()->commandBuffer();
    auto encoder = commandBuffer->renderCommandEncoderWithDescriptor(passOver(target));
    ASSERT_TRUE(encoder);
    encodeQuad(*encoder, makePipeline(kConstantFragment, kFormat), makeQuad(), nullptr,
               testDevice()->newBufferWithBytes(&colour, sizeof(colour)));
    encoder->endEncoding();
    colour = {99, 99, 99, 99};  // the caller reuses its variable before the commit
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    EXPECT_TRUE(allTexelsAre(target, {11, 22, 33, 255}));
}

TEST_P(EncodedParameters, EachPassSeesItsOwnParameterBuffer) {
    TextureRef left = makeTarget(kFormat, 8, 8), right = makeTarget(kFormat, 8, 8);
    auto commandBuffer = testDevice()->newCommandQueue()->commandBuffer();
    auto pipeline = makePipeline(kConstantFragment, kFormat);
    Rgba colour{1, 2, 3, 255};
    for (const TextureRef& target : {left, right}) {
        auto encoder = commandBuffer->renderCommandEncoderWithDescriptor(passOver(target));
        ASSERT_TRUE(encoder);
        encodeQuad(*encoder, pipeline, makeQuad(), nullptr,
                   testDevice()->newBufferWithBytes(&colour, sizeof(colour)));
        encoder->endEncoding();
        colour = {4, 5, 6, 255};
    }
    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    EXPECT_TRUE(allTexelsAre(left, {1, 2, 3, 255}));
    EXPECT_TRUE(allTexelsAre(right, {4, 5, 6, 255}));
}

TEST_P(EncodedParameters, BufferOffsetsSelectTheBytesTheShaderSees) {
    const Rgba colours[2] = {{10, 10, 10, 255}, {20, 30, 40, 255}};
    BufferRef buffer = testDevice()->newBufferWithBytes(colours, sizeof(colours));
    ASSERT_TRUE(buffer);
    EXPECT_EQ(buffer->length(), sizeof(colours));
    auto pipeline = makePipeline(kConstantFragment, kFormat);

    TextureRef second = makeTarget(kFormat, 4, 4);
    commitPass(second, LoadAction::DontCare, {}, [&](auto& encoder) {
        encodeQuad(encoder, pipeline, makeQuad(), nullptr, nullptr);
        encoder.setFragmentBuffer(buffer, sizeof(Rgba), 0);
        encoder.drawPrimitives(PrimitiveType::TriangleStrip, 0, 4);
    })->waitUntilCompleted();
    EXPECT_EQ(centreOf(second), colours[1]);

    // An offset past the end leaves the slot unbound: the shader falls back to its default.
    TextureRef past = makeTarget(kFormat, 4, 4);
    commitPass(past, LoadAction::DontCare, {}, [&](auto& encoder) {
        encoder.setRenderPipelineState(pipeline);
        encoder.setVertexBuffer(vertexBuffer(makeQuad()), 0, 0);
        encoder.setFragmentBuffer(buffer, sizeof(colours) + 1, 0);
        encoder.drawPrimitives(PrimitiveType::TriangleStrip, 0, 4);
    })->waitUntilCompleted();
    EXPECT_EQ(centreOf(past), (Rgba{1, 2, 3, 4}));
}

TEST_P(EncodedParameters, BindingSlotsBeyondTheLastAreIgnored) {
    TextureRef target = makeTarget(kFormat, 4, 4);
    auto pipeline = makePipeline(kConstantFragment, kFormat);
    auto commandBuffer = commitPass(target, LoadAction::DontCare, {}, [&](auto& encoder) {
        encoder.setRenderPipelineState(pipeline);
        encoder.setVertexBuffer(vertexBuffer(makeQuad()), 0, 0);
        encoder.setFragmentBuffer(colourBuffer({7, 7, 7, 255}), 0, 0);
        encoder.setFragmentBuffer(colourBuffer({1, 1, 1, 1}), 0, cpu::kMaxBindings);
        encoder.setVertexBuffer(vertexBuffer(makeQuad()), 0, cpu::kMaxBindings + 5);
        encoder.setFragmentTexture(target, cpu::kMaxBindings);
        encoder.drawPrimitives(PrimitiveType::TriangleStrip, 0, 4);
    });
    commandBuffer->waitUntilCompleted();
    EXPECT_EQ(commandBuffer->status(), CommandBufferStatus::Completed);
    EXPECT_TRUE(allTexelsAre(target, {7, 7, 7, 255}));
}

TEST_P(EncodedParameters, BuffersCopyTheirBytesAndRefuseNothingToCopy) {
    std::vector<uint8_t> bytes = {1, 2, 3, 4, 5};
    BufferRef buffer = testDevice()->newBufferWithBytes(bytes.data(), bytes.size());
    ASSERT_TRUE(buffer);
    bytes.assign(5, 0);
    bytes.shrink_to_fit();
    ASSERT_EQ(buffer->length(), 5u);
    auto* contents = static_cast<const uint8_t*>(buffer->contents());
    EXPECT_EQ(std::vector<uint8_t>(contents, contents + 5), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_FALSE(testDevice()->newBufferWithBytes(nullptr, 16));
    EXPECT_FALSE(testDevice()->newBufferWithBytes(bytes.data(), 0));
}

TEST(GpuDevice, TheSystemDefaultDeviceIsSharedAndNamed) {
    DeviceRef device = createSystemDefaultDevice();
    ASSERT_TRUE(device);
    EXPECT_EQ(device, createSystemDefaultDevice());
    EXPECT_FALSE(device->name().empty());
}

HX_GPU_BACKEND_SUITE(GpuDeviceLifetime);

TEST_P(GpuDeviceLifetime, WorkCommittedBeforeTheCallerLetsGoOfEverythingStillCompletes) {
    std::promise<void> open;
    std::shared_future<void> opened = open.get_future().share();
    std::promise<void> completed;
    std::weak_ptr<CommandBuffer> watched;
    {
        // A device of its own, so that the work in flight holds its last reference.
        DeviceRef device = createDevice(GetParam(), nullptr);
        ASSERT_TRUE(device);
        TextureRef target = device->newTextureWithDescriptor([] {
            auto d = TextureDescriptor::texture2D(kFormat, 4, 4);
            d.usage = TextureUsageRenderTarget;
            return d;
        }());
        CommandBufferRef commandBuffer = device->newCommandQueue()->commandBuffer();
        auto encoder =
            commandBuffer->renderCommandEncoderWithDescriptor(passOver(target, LoadAction::Clear));
        ASSERT_TRUE(encoder);
        encoder->endEncoding();
        commandBuffer->addScheduledHandler([opened](CommandBuffer&) { opened.wait(); });
        commandBuffer->addCompletedHandler([&](CommandBuffer& buffer) {
            EXPECT_EQ(buffer.status(), CommandBufferStatus::Completed);
            completed.set_value();
        });
        commandBuffer->commit();
        watched = commandBuffer;
    }  // the device, its queue and the buffer are only held by the work in flight now
    open.set_value();
    completed.get_future().wait();
    while (!watched.expired()) std::this_thread::yield();
}

}  // namespace
}  // namespace hx::gpu

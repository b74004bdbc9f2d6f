// Shader libraries registered by backend name: made once on first use, replaced by a later
// registration, and what the CPU device opens as its default library.

#include <gtest/gtest.h>

#include "platform/gpu/Device.h"
#include "platform/gpu/ShaderLibraryRegistry.h"
#include "platform/gpu/cpu/CpuLibrary.h"

namespace hx::gpu {
namespace {

void noVertex(const cpu::ShaderBindings&, uint32_t, cpu::VertexOutput&) {}

LibraryRef libraryWith(const char* functionName) {
    return std::make_shared<cpu::CpuLibrary>(
        std::vector<cpu::ShaderFunction>{{functionName, FunctionType::Vertex, noVertex, nullptr}});
}

TEST(ShaderLibraryRegistry, MakesTheLibraryOnceOnFirstUse) {
    int made = 0;
    registerShaderLibrary("registry-test", [&made] {
        ++made;
        return libraryWith("first");
    });
    EXPECT_EQ(made, 0);
    LibraryRef library = registeredShaderLibrary("registry-test");
    ASSERT_TRUE(library);
    EXPECT_EQ(library->functionNames(), std::vector<std::string>{"first"});
    EXPECT_EQ(registeredShaderLibrary("registry-test"), library);
    EXPECT_EQ(made, 1);

    registerShaderLibrary("registry-test", [] { return libraryWith("second"); });
    EXPECT_EQ(registeredShaderLibrary("registry-test")->functionNames(),
              std::vector<std::string>{"second"});
}

TEST(ShaderLibraryRegistry, UnknownBackendOrEmptyMakerGivesNone) {
    EXPECT_FALSE(registeredShaderLibrary("no-such-backend"));
    registerShaderLibrary("registry-empty", [] { return LibraryRef(); });
    EXPECT_FALSE(registeredShaderLibrary("registry-empty"));
}

TEST(ShaderLibraryRegistry, CpuDeviceOpensTheLibraryOfItsBackend) {
    LibraryRef previous = registeredShaderLibrary(cpu::kBackendName);
    LibraryRef library = libraryWith("registered");
    const ShaderLibraryRegistration registration(cpu::kBackendName, [library] { return library; });
    EXPECT_EQ(createDevice("cpu", nullptr)->newDefaultLibrary(), library);
    // The other tests of this program keep their library.
    registerShaderLibrary(cpu::kBackendName, [previous] { return previous; });
}

}  // namespace
}  // namespace hx::gpu

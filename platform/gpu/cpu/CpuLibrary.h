#pragma once

#include <map>
#include <memory>

#include "platform/gpu/Library.h"
#include "platform/gpu/RenderPipeline.h"
#include "platform/gpu/cpu/ShaderABI.h"

namespace hx::gpu::cpu {

class CpuFunction final : public Function {
  public:
    explicit CpuFunction(ShaderFunction function) : function_(std::move(function)) {}
    const std::string& name() const override { return function_.name; }
    FunctionType functionType() const override { return function_.type; }
    const ShaderFunction& shader() const { return function_; }

  private:
    ShaderFunction function_;
};

class CpuLibrary final : public Library {
  public:
    explicit CpuLibrary(const std::vector<ShaderFunction>& functions);
    FunctionRef newFunctionWithName(const std::string& name) const override;
    std::vector<std::string> functionNames() const override;

  private:
    std::map<std::string, ShaderFunction> functions_;
};

class CpuRenderPipelineState final : public RenderPipelineState {
  public:
    CpuRenderPipelineState(std::string label, VertexFunction vertex, FragmentFunction fragment,
                           PixelFormat format)
        : label_(std::move(label)), vertex_(vertex), fragment_(fragment), format_(format) {}
    const std::string& label() const override { return label_; }
    PixelFormat colorPixelFormat() const override { return format_; }
    VertexFunction vertex() const { return vertex_; }
    FragmentFunction fragment() const { return fragment_; }

  private:
    std::string label_;
    VertexFunction vertex_;
    FragmentFunction fragment_;
    PixelFormat format_;
};

// Checks the descriptor and makes the pipeline, or explains in *error why it cannot.
std::shared_ptr<CpuRenderPipelineState> makeRenderPipeline(const RenderPipelineDescriptor& d,
                                                           std::string* error);

}  // namespace hx::gpu::cpu

#pragma once
// A window's picture drawn with GL, so that its GPU views show their drawables without a
// read-back: the GPU layer's GL devices share textures with this widget's context (see
// platform/gpu/gl/GlPresentation.h), so each frame draws the GPU views' drawables straight from
// their textures, then the rest of the window, drawn by UIRenderer into an image with holes where
// those views are, over them (see DrawableComposition.h).
//
// Threads: main thread only.

#include <functional>
#include <memory>
#include <vector>

#include <QOpenGLWidget>

#include "platform/gpu/Texture.h"

class QOpenGLShaderProgram;

namespace hx {

class UIWindow;

class GlWindowSurface : public QOpenGLWidget {
  public:
    // `zoom` gives the window pixels per point; `painted` runs after every frame.
    GlWindowSurface(std::shared_ptr<UIWindow> window, std::function<double()> zoom,
                    std::function<void()> painted, QWidget* parent);
    ~GlWindowSurface() override;

    // Whether windows can be drawn this way: Qt has a GL context that the GPU layer's devices
    // share textures with.
    static bool available();

  protected:
    void initializeGL() override;
    void paintGL() override;

  private:
    void release();
    // Lets go of the drawables of the frame before once the GPU is done reading them.
    void retireLastFrame();

    std::shared_ptr<UIWindow> window_;
    std::function<double()> zoom_;
    std::function<void()> painted_;
    std::unique_ptr<QOpenGLShaderProgram> program_;
    unsigned pictureTexture_ = 0;
    int pictureWidth_ = 0, pictureHeight_ = 0;
    unsigned linearSampler_ = 0, nearestSampler_ = 0;
    // The drawables the last frame read and the fence after its commands: a drawable held here
    // is not handed out for rendering again (the GPU view reuses only drawables no one holds).
    std::vector<gpu::TextureRef> inFlight_;
    void* fence_ = nullptr;
};

}  // namespace hx

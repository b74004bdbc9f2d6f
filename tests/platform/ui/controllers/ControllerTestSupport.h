#pragma once
// Shared set-up of the controller tests: offscreen Qt, the manual clock, the default phone
// profile in portrait, a fresh application state, and a window in a headless host; helpers to
// tap views through hit-testing and to record appearance calls.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/ui/controllers/UIViewController.h"
#include "platform/ui/host/HeadlessHost.h"
#include "platform/ui/window/UIWindow.h"
#include "platform/ui/window/UIWindowScene.h"
#include "tests/platform/ui/views/UITestSupport.h"

namespace hx::testing {

class ControllerTest : public UITest {
  protected:
    void SetUp() override {
        UITest::SetUp();
        host = std::make_unique<HeadlessHost>();
        window = host->window();
        window->makeKeyAndVisible();
    }

    void TearDown() override {
        window->setRootViewController(nullptr);
        host.reset();
        window.reset();
        UIWindowScene::mainScene().setInterfaceOrientation(UIInterfaceOrientation::Portrait);
        UITest::TearDown();
    }

    // A tap at the centre of the view, through the window's hit-testing.
    void tap(const UIView& view) { host->tap(centreOf(view)); }
    static CGPoint centreOf(const UIView& view) {
        CGRect b = view.bounds();
        return view.convertPointToView(CGPointMake(b.midX(), b.midY()), nullptr);
    }

    std::unique_ptr<HeadlessHost> host;
    std::shared_ptr<UIWindow> window;
};

// A view controller that writes its appearance calls into a shared journal as "name.call".
class JournalingController : public UIViewController {
  public:
    JournalingController(std::string name, std::shared_ptr<std::vector<std::string>> journal,
                         std::string nibName = {}, Bundle* bundle = nullptr)
        : UIViewController(std::move(nibName), bundle),
          name_(std::move(name)),
          journal_(std::move(journal)) {}

    void viewDidLoad() override { note("viewDidLoad"); }
    void viewWillAppear(bool) override { note("viewWillAppear"); }
    void viewDidAppear(bool) override { note("viewDidAppear"); }
    void viewWillDisappear(bool) override { note("viewWillDisappear"); }
    void viewDidDisappear(bool) override { note("viewDidDisappear"); }

  protected:
    void note(const std::string& call) { journal_->push_back(name_ + "." + call); }

  private:
    std::string name_;
    std::shared_ptr<std::vector<std::string>> journal_;
};

// A folder of its own under the temporary folder, removed afterwards.
class TemporaryFolder {
  public:
    TemporaryFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("hx-ui-controllers-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string write(const std::string& name, const std::string& text) const {
        std::filesystem::path file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
        return file.string();
    }

  private:
    std::filesystem::path path_;
};

}  // namespace hx::testing

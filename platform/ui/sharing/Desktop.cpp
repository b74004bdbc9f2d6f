#include "platform/ui/sharing/Desktop.h"

#include <mutex>

#include "platform/ui/sharing/desktop/XdgDesktop.h"

namespace hx::ui {

namespace {

std::mutex& currentMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<Desktop>& installed() {
    static std::shared_ptr<Desktop> desktop;
    return desktop;
}

}  // namespace

std::shared_ptr<Desktop> Desktop::current() {
    std::lock_guard lock(currentMutex());
    if (!installed()) installed() = std::make_shared<desktop::XdgDesktop>();
    return installed();
}

void Desktop::setCurrent(std::shared_ptr<Desktop> desktop) {
    std::lock_guard lock(currentMutex());
    installed() = std::move(desktop);
}

}  // namespace hx::ui

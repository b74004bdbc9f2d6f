#include "platform/image/metadata/Exiv2Setup.h"

#include <exiv2/exiv2.hpp>

#include <mutex>
#include <string>

#include "platform/log/Log.h"

namespace hx::image::metadata::detail {
namespace {

void logExiv2Message(int level, const char* message) {
    if (level < Exiv2::LogMsg::warn || message == nullptr) return;
    std::string text(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (text.empty()) return;
    hxLog("exiv2: %s", text.c_str());
}

}  // namespace

void prepareExiv2() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::warn);
        Exiv2::LogMsg::setHandler(logExiv2Message);
        Exiv2::XmpParser::initialize();
    });
}

}  // namespace hx::image::metadata::detail

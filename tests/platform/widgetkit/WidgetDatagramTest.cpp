// The widget host's request datagrams: what is taken as a request and what is refused, and why.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/widgetkit/WidgetCenter.h"
#include "platform/widgetkit/WidgetDatagram.h"

namespace hx {
namespace {

using namespace std::string_literals;

TEST(WidgetDatagram, TheCameraRequestIsReadWithOrWithoutALineEnd) {
    for (std::string bytes : {"reload-all-timelines"s, "reload-all-timelines\n"s}) {
        WidgetDatagram datagram;
        std::string error;
        ASSERT_TRUE(WidgetDatagram::parse(bytes, &datagram, &error)) << bytes << ": " << error;
        EXPECT_EQ(datagram.request, WidgetRequest::reloadAllTimelines);
        EXPECT_TRUE(datagram.argument.empty());
    }
    // What the camera sends is what the host reads.
    EXPECT_EQ(WidgetDatagram::encode(WidgetRequest::reloadAllTimelines),
              WidgetCenter::kReloadAllTimelinesMessage);
    EXPECT_TRUE(WidgetDatagram::parse(WidgetCenter::kReloadAllTimelinesMessage, nullptr, nullptr));
}

struct Refused {
    std::string bytes;
    std::string reason;  // a part of the message
};

TEST(WidgetDatagram, MalformedRequestsAreRefusedWithTheirReason) {
    const Refused cases[] = {
        {"", "empty request"},
        {"\n", "no name"},
        {"hello", "unknown request \"hello\""},
        {"Reload-All-Timelines", "unknown request"},
        {"reload-all-timelines-now", "unknown request"},
        {"reload", "unknown request \"reload\""},
        {"reload-all-timelines x", "takes no argument, got \"x\""},
        {"reload-all-timelines ", "a space with no argument"},
        {" reload-all-timelines", "starts with a space"},
        {"reload-all-timelines\n\n", "more than one line"},
        {"reload-all-timelines\nreload-all-timelines", "more than one line"},
        {"reload-all-timelines a b", "more than one argument"},
        {"reload-all-timelines\r\n", "byte 0x0D at offset 20"},
        {"reload-all-timelines\0"s, "byte 0x00 at offset 20"},
        {"\0reload-all-timelines"s, "byte 0x00 at offset 0"},
        {"reload\tall", "byte 0x09 at offset 6"},
        {"r\xC3\xA9load", "byte 0xC3 at offset 1"},
        {"\xFF\xFE", "byte 0xFF at offset 0"},
        {"reload-all-timelines\x7F", "byte 0x7F"},
        {"reload-all-timelines" + std::string(WidgetDatagram::kMaxBytes, '\n'),
         "a request of 276 bytes, more than the 256"},
    };
    for (const Refused& c : cases) {
        WidgetDatagram datagram;
        std::string error;
        EXPECT_FALSE(WidgetDatagram::parse(c.bytes, &datagram, &error)) << c.bytes;
        EXPECT_NE(error.find(c.reason), std::string::npos)
            << "for \"" << c.bytes << "\": " << error;
    }
}

TEST(WidgetDatagram, ARequestAtTheSizeLimitIsStillJudgedByItsContent) {
    // 256 bytes is allowed in size; what refuses it is the unknown name, not its length.
    std::string error;
    EXPECT_FALSE(
        WidgetDatagram::parse(std::string(WidgetDatagram::kMaxBytes, 'a'), nullptr, &error));
    EXPECT_NE(error.find("unknown request"), std::string::npos) << error;
    EXPECT_FALSE(
        WidgetDatagram::parse(std::string(WidgetDatagram::kMaxBytes + 1, 'a'), nullptr, &error));
    EXPECT_NE(error.find("257 bytes"), std::string::npos) << error;
}

}  // namespace
}  // namespace hx

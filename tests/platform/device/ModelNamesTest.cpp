// Model names by identifier, through the table alone and through the current device.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <set>
#include <string>

#include "platform/device/DeviceProfile.h"
#include "platform/device/ModelNames.h"
#include "platform/device/UIDevice.h"
#include "platform/log/CaptureScope.h"

namespace {

using hx::DeviceProfile;
using hx::modelNameForModelIdentifier;
using hx::UIDevice;

TEST(ModelNames, EachIdentifierOnceAndNamedInsideItsFamily) {
    // Identifier prefix and the start of the names of that family.
    const std::pair<std::string_view, std::string_view> families[] = {
        {"iPhone", "iPhone "}, {"iPad", "iPad"}, {"iPod", "iPod touch "}, {"AppleTV", "Apple TV "}};
    std::set<std::string_view> seen;
    ASSERT_FALSE(hx::modelNameTable().empty());
    for (const auto& row : hx::modelNameTable()) {
        EXPECT_FALSE(row.identifiers[0].empty()) << row.name;
        for (std::string_view identifier : row.identifiers) {
            if (identifier.empty()) continue;
            EXPECT_TRUE(seen.insert(identifier).second) << identifier << " appears twice";
            // "<family><major>,<minor>", named by the table as a model of that family.
            const auto family =
                std::find_if(std::begin(families), std::end(families), [&](const auto& f) {
                    return identifier.starts_with(f.first) && identifier.size() > f.first.size() &&
                           std::isdigit(identifier[f.first.size()]);
                });
            ASSERT_NE(family, std::end(families)) << identifier;
            EXPECT_NE(identifier.find(','), std::string_view::npos) << identifier;
            EXPECT_TRUE(row.name.starts_with(family->second)) << identifier << " " << row.name;
            EXPECT_EQ(modelNameForModelIdentifier(identifier, 390), row.name) << identifier;
        }
    }
}

TEST(ModelNames, KnownModels) {
    EXPECT_EQ(modelNameForModelIdentifier("iPhone1,1", 390), "iPhone 1G");
    EXPECT_EQ(modelNameForModelIdentifier("iPhone12,8", 390), "iPhone SE(2nd)");
    // Identifiers that share one name.
    EXPECT_EQ(modelNameForModelIdentifier("iPhone10,1", 390),
              modelNameForModelIdentifier("iPhone10,4", 390));
    EXPECT_EQ(modelNameForModelIdentifier("AppleTV3,1", 390),
              modelNameForModelIdentifier("AppleTV3,2", 390));
}

TEST(ModelNames, UnknownIdentifiersComeBackUnchanged) {
    for (const char* identifier :
         {"iPhone99,1", "iPhone12", "iphone12,8", "iPad8,13", "aarch64", "x86_64 ", ""})
        EXPECT_EQ(modelNameForModelIdentifier(identifier, 390), identifier);
}

TEST(ModelNames, SimulatorIsNamedAfterTheScreenWidth) {
    EXPECT_EQ(modelNameForModelIdentifier("x86_64", 375), "iPhone Simulator");
    EXPECT_EQ(modelNameForModelIdentifier("x86_64", 1024), "iPad Simulator");
    EXPECT_EQ(modelNameForModelIdentifier("x86_64", 767.5), "iPhone Simulator");
    EXPECT_EQ(modelNameForModelIdentifier("x86_64", 768), "iPad Simulator");
    EXPECT_EQ(modelNameForModelIdentifier("i386", 320), "iPhone Simulator");
    EXPECT_EQ(modelNameForModelIdentifier("i686", 1024), "iPad Simulator");
}

class DeviceWithProfile : public ::testing::Test {
  protected:
    void TearDown() override { DeviceProfile::resetCurrent(); }
};

TEST_F(DeviceWithProfile, ModelComesFromTheProfileElseTheMachine) {
    UIDevice& device = UIDevice::currentDevice();
    std::string machine = device.getSysInfoByName("hw.machine");

    DeviceProfile phone = *DeviceProfile::named("phone");
    phone.modelIdentifier = "iPhone12,8";
    DeviceProfile::setCurrent(phone);
    EXPECT_EQ(device.getSysInfoByName("hw.machine"), "iPhone12,8");
    EXPECT_EQ(device.modelIdentifier(), "iPhone12,8");
    EXPECT_EQ(device.modelName(), "iPhone SE(2nd)");

    // The simulator rule reads the profile's screen.
    phone.modelIdentifier = "x86_64";
    DeviceProfile::setCurrent(phone);
    EXPECT_EQ(device.modelName(), "iPhone Simulator");
    DeviceProfile tablet = *DeviceProfile::named("tablet");
    tablet.modelIdentifier = "x86_64";
    DeviceProfile::setCurrent(tablet);
    EXPECT_EQ(device.modelName(), "iPad Simulator");
    EXPECT_EQ(device.userInterfaceIdiom(), hx::UserInterfaceIdiom::Pad);

    // Without an identifier in the profile, the machine's own name.
    DeviceProfile::setCurrent(*DeviceProfile::named("phone"));
    EXPECT_FALSE(machine.empty());
    EXPECT_EQ(device.modelIdentifier(), machine);
    EXPECT_EQ(device.getSysInfoByName("kern.ostype"), "Linux");
}

TEST_F(DeviceWithProfile, UnknownSystemInformationIsEmptyAndLogged) {
    hx::log::CaptureScope log;
    EXPECT_EQ(UIDevice::currentDevice().getSysInfoByName("hw.nonsense"), "");
    EXPECT_EQ(UIDevice::currentDevice().getSysInfoByName(nullptr), "");
    EXPECT_TRUE(log.contains("hw.nonsense"));
}

}  // namespace

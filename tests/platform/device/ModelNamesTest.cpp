// Model names by identifier, through the table alone and through the current device.

#include <gtest/gtest.h>

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

TEST(ModelNames, TableHasEveryRowOnceAndEachIdentifierOnce) {
    EXPECT_EQ(hx::modelNameTable().size(), 82u);
    std::set<std::string_view> seen;
    size_t identifiers = 0;
    for (const auto& row : hx::modelNameTable()) {
        EXPECT_FALSE(row.identifiers[0].empty()) << row.name;
        for (std::string_view identifier : row.identifiers) {
            if (identifier.empty()) continue;
            ++identifiers;
            EXPECT_TRUE(seen.insert(identifier).second) << identifier << " appears twice";
        }
    }
    EXPECT_EQ(identifiers, 102u);
}

TEST(ModelNames, SampleRowsFromEveryFamily) {
    const std::pair<const char*, const char*> rows[] = {
        {"iPhone1,1", "iPhone 1G"},
        {"iPhone3,2", "iPhone 4 (GSM Rev A)"},
        {"iPhone10,4", "iPhone 8"},
        {"iPhone10,6", "iPhone X"},
        {"iPhone11,8", "iPhone XR"},
        {"iPhone12,1", "iPhone 11"},
        {"iPhone12,8", "iPhone SE(2nd)"},
        {"iPad4,3", "iPad Air"},
        {"iPad6,12", "iPad 5"},
        {"iPad7,11", "iPad 6"},
        {"iPad4,9", "iPad mini 3G (Cellular)"},
        {"iPad6,4", "iPad Pro (9.7 inch) 1G (Cellular)"},
        {"iPad8,3", "iPad Pro (11 inch)"},
        {"iPad8,8", "iPad Pro (12.9 inch)"},
        {"iPad8,10", "iPad Pro (11 inch 2G)"},
        {"iPad8,12", "iPad Pro (12.9 inch 4G)"},
        {"iPod7,1", "iPod touch 6G"},
        {"iPod9,1", "iPod touch 7G"},
        {"AppleTV3,1", "Apple TV 3G"},
        {"AppleTV3,2", "Apple TV 3G"},
        {"AppleTV5,3", "Apple TV 4G"},
    };
    for (const auto& [identifier, name] : rows)
        EXPECT_EQ(modelNameForModelIdentifier(identifier, 390), name) << identifier;
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

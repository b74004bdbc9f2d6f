#include "platform/device/ModelNames.h"

namespace hx {

namespace {

constexpr ModelNameRow kRows[] = {
    // Phones.
    {{"iPhone1,1"}, "iPhone 1G"},
    {{"iPhone1,2"}, "iPhone 3G"},
    {{"iPhone2,1"}, "iPhone 3GS"},
    {{"iPhone3,1"}, "iPhone 4 (GSM)"},
    {{"iPhone3,2"}, "iPhone 4 (GSM Rev A)"},
    {{"iPhone3,3"}, "iPhone 4 (CDMA)"},
    {{"iPhone4,1"}, "iPhone 4S"},
    {{"iPhone5,1"}, "iPhone 5 (GSM)"},
    {{"iPhone5,2"}, "iPhone 5 (Global)"},
    {{"iPhone5,3"}, "iPhone 5c (GSM)"},
    {{"iPhone5,4"}, "iPhone 5c (Global)"},
    {{"iPhone6,1"}, "iPhone 5s (GSM)"},
    {{"iPhone6,2"}, "iPhone 5s (Global)"},
    {{"iPhone7,1"}, "iPhone 6 Plus"},
    {{"iPhone7,2"}, "iPhone 6"},
    {{"iPhone8,1"}, "iPhone 6s"},
    {{"iPhone8,2"}, "iPhone 6s Plus"},
    {{"iPhone8,4"}, "iPhone SE"},
    {{"iPhone9,2"}, "iPhone 7 Plus"},
    {{"iPhone9,3"}, "iPhone 7"},
    {{"iPhone10,1", "iPhone10,4"}, "iPhone 8"},
    {{"iPhone10,2", "iPhone10,5"}, "iPhone 8 Plus"},
    {{"iPhone10,3", "iPhone10,6"}, "iPhone X"},
    {{"iPhone11,8"}, "iPhone XR"},
    {{"iPhone11,2"}, "iPhone XS"},
    {{"iPhone11,6"}, "iPhone XS Max"},
    {{"iPhone12,1"}, "iPhone 11"},
    {{"iPhone12,3"}, "iPhone 11 Pro"},
    {{"iPhone12,5"}, "iPhone 11 Pro Max"},
    {{"iPhone12,8"}, "iPhone SE(2nd)"},
    // Tablets.
    {{"iPad1,1"}, "iPad 1G"},
    {{"iPad2,1"}, "iPad 2 (Wi-Fi)"},
    {{"iPad2,2"}, "iPad 2 (GSM)"},
    {{"iPad2,3"}, "iPad 2 (CDMA)"},
    {{"iPad2,4"}, "iPad 2 (Rev A)"},
    {{"iPad3,1"}, "iPad 3 (Wi-Fi)"},
    {{"iPad3,2"}, "iPad 3 (GSM)"},
    {{"iPad3,3"}, "iPad 3 (Global)"},
    {{"iPad3,4"}, "iPad 4 (Wi-Fi)"},
    {{"iPad3,5"}, "iPad 4 (GSM)"},
    {{"iPad3,6"}, "iPad 4 (Global)"},
    {{"iPad4,1"}, "iPad Air (Wi-Fi)"},
    {{"iPad4,2"}, "iPad Air (Cellular)"},
    {{"iPad4,3"}, "iPad Air"},
    {{"iPad5,3"}, "iPad Air 2 (Wi-Fi)"},
    {{"iPad5,4"}, "iPad Air 2 (Cellular)"},
    {{"iPad11,3", "iPad11,4"}, "iPad Air 3"},
    {{"iPad6,11", "iPad6,12"}, "iPad 5"},
    {{"iPad7,5", "iPad7,6", "iPad7,11"}, "iPad 6"},
    {{"iPad7,12"}, "iPad 7"},
    {{"iPad2,5"}, "iPad mini 1G (Wi-Fi)"},
    {{"iPad2,6"}, "iPad mini 1G (GSM)"},
    {{"iPad2,7"}, "iPad mini 1G (Global)"},
    {{"iPad4,4"}, "iPad mini 2G (Wi-Fi)"},
    {{"iPad4,5", "iPad4,6"}, "iPad mini 2G (Cellular)"},
    {{"iPad4,7"}, "iPad mini 3G (Wi-Fi)"},
    {{"iPad4,8", "iPad4,9"}, "iPad mini 3G (Cellular)"},
    {{"iPad5,1"}, "iPad mini 4G (Wi-Fi)"},
    {{"iPad5,2"}, "iPad mini 4G (Cellular)"},
    {{"iPad11,1"}, "iPad mini 5G (Wi-Fi)"},
    {{"iPad11,2"}, "iPad mini 5G (Cellular)"},
    {{"iPad6,3"}, "iPad Pro (9.7 inch) 1G (Wi-Fi)"},
    {{"iPad6,4"}, "iPad Pro (9.7 inch) 1G (Cellular)"},
    {{"iPad6,7"}, "iPad Pro (12.9 inch) 1G (Wi-Fi)"},
    {{"iPad6,8"}, "iPad Pro (12.9 inch) 1G (Cellular)"},
    {{"iPad7,1", "iPad7,2"}, "iPad Pro (12.9 inch) 2G"},
    {{"iPad7,3", "iPad7,4"}, "iPad Pro (10.5 inch)"},
    {{"iPad8,1", "iPad8,2", "iPad8,3", "iPad8,4"}, "iPad Pro (11 inch)"},
    {{"iPad8,5", "iPad8,6", "iPad8,7", "iPad8,8"}, "iPad Pro (12.9 inch)"},
    {{"iPad8,9", "iPad8,10"}, "iPad Pro (11 inch 2G)"},
    {{"iPad8,11", "iPad8,12"}, "iPad Pro (12.9 inch 4G)"},
    // Music players.
    {{"iPod1,1"}, "iPod touch 1G"},
    {{"iPod2,1"}, "iPod touch 2G"},
    {{"iPod3,1"}, "iPod touch 3G"},
    {{"iPod4,1"}, "iPod touch 4G"},
    {{"iPod5,1"}, "iPod touch 5G"},
    {{"iPod7,1"}, "iPod touch 6G"},
    {{"iPod9,1"}, "iPod touch 7G"},
    // Television boxes.
    {{"AppleTV1,1"}, "Apple TV 1G"},
    {{"AppleTV2,1"}, "Apple TV 2G"},
    {{"AppleTV3,1", "AppleTV3,2"}, "Apple TV 3G"},
    {{"AppleTV5,3"}, "Apple TV 4G"},
};

}  // namespace

std::span<const ModelNameRow> modelNameTable() {
    return kRows;
}

std::string modelNameForModelIdentifier(std::string_view identifier, double mainScreenWidth) {
    for (const ModelNameRow& row : kRows) {
        for (std::string_view candidate : row.identifiers) {
            if (candidate.empty()) break;
            if (candidate == identifier) return std::string(row.name);
        }
    }
    if (identifier.ends_with("86") || identifier == "x86_64")
        return mainScreenWidth < 768 ? "iPhone Simulator" : "iPad Simulator";
    return std::string(identifier);
}

}  // namespace hx

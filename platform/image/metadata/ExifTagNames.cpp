#include "platform/image/metadata/ExifTagNames.h"

#include <exiv2/exiv2.hpp>

#include <map>
#include <set>
#include <string_view>
#include <unordered_map>

namespace hx::image::metadata::detail {
namespace {

// Dictionary keys that differ from exiv2's tag names.
struct Alias {
    ExifGroup group;
    const char* key;
    const char* tagName;
};
constexpr Alias kAliases[] = {
    {ExifGroup::Photo, "FlashPixVersion", "FlashpixVersion"},
    {ExifGroup::Photo, "SubsecTime", "SubSecTime"},
    {ExifGroup::Photo, "SubsecTimeOriginal", "SubSecTimeOriginal"},
    {ExifGroup::Photo, "SubsecTimeDigitized", "SubSecTimeDigitized"},
    {ExifGroup::Photo, "FocalLenIn35mmFilm", "FocalLengthIn35mmFilm"},
    {ExifGroup::Gps, "GPSVersion", "GPSVersionID"},
    {ExifGroup::Gps, "Differental", "GPSDifferential"},
};

// Tags that belong to the file's structure rather than to the photo's description. In a TIFF
// file most of them describe the pixel data, which only the encoder may write.
// clang-format off
const std::set<std::string_view> kStructuralImageTags = {
    // layout of the pixel data
    "NewSubfileType", "SubfileType", "ImageWidth", "ImageLength", "BitsPerSample", "Compression",
    "PhotometricInterpretation", "Thresholding", "CellWidth", "CellLength", "FillOrder",
    "StripOffsets", "SamplesPerPixel", "RowsPerStrip", "StripByteCounts", "PlanarConfiguration",
    "T4Options", "T6Options", "Predictor", "ColorMap", "TileWidth", "TileLength", "TileOffsets",
    "TileByteCounts", "ExtraSamples", "SampleFormat", "SMinSampleValue", "SMaxSampleValue",
    "YCbCrSubSampling",
    // old-style JPEG data inside TIFF, and the thumbnail of a JPEG
    "JPEGTables", "JPEGProc", "JPEGInterchangeFormat", "JPEGInterchangeFormatLength",
    "JPEGRestartInterval", "JPEGLosslessPredictors", "JPEGPointTransforms", "JPEGQTables",
    "JPEGDCTables", "JPEGACTables",
    // pointers to other directories
    "SubIFDs", "ExifTag", "GPSTag",
    // other metadata blocks, kept by their own means
    "XMLPacket", "IPTCNAA", "ImageResources", "InterColorProfile", "PrintImageMatching",
    "DNGPrivateData"};
// clang-format on
const std::set<std::string_view> kStructuralPhotoTags = {"MakerNote", "InteroperabilityTag"};

const char* groupName(ExifGroup group) {
    switch (group) {
        case ExifGroup::Image:
            return "Image";
        case ExifGroup::Photo:
            return "Photo";
        case ExifGroup::Gps:
            return "GPSInfo";
    }
    return "";
}

bool isCarried(ExifGroup group, std::string_view tagName) {
    if (group == ExifGroup::Image) return kStructuralImageTags.count(tagName) == 0;
    if (group == ExifGroup::Photo) return kStructuralPhotoTags.count(tagName) == 0;
    return true;
}

std::string keyFromTagName(ExifGroup group, const std::string& tagName) {
    for (const Alias& alias : kAliases)
        if (alias.group == group && tagName == alias.tagName) return alias.key;
    if (group == ExifGroup::Gps && tagName.rfind("GPS", 0) == 0) return tagName.substr(3);
    return tagName;
}

// The carried tags of one group, by dictionary key and by tag number. Built once from exiv2's
// table; function-local statics make that safe from several threads.
struct GroupTable {
    std::unordered_map<std::string, const Exiv2::TagInfo*> byKey;
    std::map<uint16_t, std::pair<std::string, const Exiv2::TagInfo*>> byTag;
};

GroupTable buildTable(ExifGroup group) {
    GroupTable table;
    const Exiv2::TagInfo* info = Exiv2::ExifTags::tagList(groupName(group));
    for (; info != nullptr && info->tag_ != 0xffff; ++info) {
        if (info->name_ == nullptr || !isCarried(group, info->name_)) continue;
        const std::string key = keyFromTagName(group, info->name_);
        table.byKey.emplace(key, info);
        table.byTag.emplace(info->tag_, std::make_pair(key, info));
    }
    // Exiv2's own spelling is accepted as well when writing.
    for (const Alias& alias : kAliases) {
        if (alias.group != group) continue;
        auto found = table.byKey.find(alias.key);
        if (found != table.byKey.end()) table.byKey.emplace(alias.tagName, found->second);
    }
    return table;
}

const GroupTable& tableFor(ExifGroup group) {
    static const GroupTable image = buildTable(ExifGroup::Image);
    static const GroupTable photo = buildTable(ExifGroup::Photo);
    static const GroupTable gps = buildTable(ExifGroup::Gps);
    switch (group) {
        case ExifGroup::Image:
            return image;
        case ExifGroup::Photo:
            return photo;
        case ExifGroup::Gps:
            return gps;
    }
    return image;
}

}  // namespace

const Exiv2::TagInfo* tagForKey(ExifGroup group, const std::string& key) {
    const GroupTable& table = tableFor(group);
    auto found = table.byKey.find(key);
    return found == table.byKey.end() ? nullptr : found->second;
}

bool groupForName(const std::string& name, ExifGroup* group) {
    for (ExifGroup candidate : {ExifGroup::Image, ExifGroup::Photo, ExifGroup::Gps}) {
        if (name == groupName(candidate)) {
            *group = candidate;
            return true;
        }
    }
    return false;
}

std::string keyForTag(ExifGroup group, uint16_t tag) {
    const GroupTable& table = tableFor(group);
    auto found = table.byTag.find(tag);
    return found == table.byTag.end() ? std::string() : found->second.first;
}

const Exiv2::TagInfo* carriedTag(ExifGroup group, uint16_t tag) {
    const GroupTable& table = tableFor(group);
    auto found = table.byTag.find(tag);
    return found == table.byTag.end() ? nullptr : found->second.second;
}

}  // namespace hx::image::metadata::detail

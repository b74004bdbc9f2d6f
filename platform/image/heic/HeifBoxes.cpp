#include "platform/image/heic/HeifBoxes.h"

#include <algorithm>
#include <limits>
#include <new>

namespace hx::image::heif {
namespace {

constexpr uint32_t fourcc(const char (&name)[5]) {
    return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 |
           uint32_t(uint8_t(name[2])) << 8 | uint32_t(uint8_t(name[3]));
}

std::string fourccName(uint32_t type) {
    std::string name;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((type >> shift) & 0xFF);
        name += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return name;
}

bool fail(std::string* error, const std::string& message) {
    if (error) *error = "HEIF file: " + message;
    return false;
}

// Big-endian fields within [position, end); a read past the end sets the reader failed and
// returns zero, so callers check ok() once after a group of reads.
class FieldReader {
  public:
    FieldReader(const uint8_t* data, size_t position, size_t end)
        : data_(data), position_(position), end_(end) {}

    uint64_t read(size_t bytes) {
        if (!ok_ || end_ - position_ < bytes) {
            ok_ = false;
            return 0;
        }
        uint64_t value = 0;
        for (size_t i = 0; i < bytes; ++i) value = value << 8 | data_[position_ + i];
        position_ += bytes;
        return value;
    }
    uint8_t u8() { return uint8_t(read(1)); }
    uint16_t u16() { return uint16_t(read(2)); }
    uint32_t u24() { return uint32_t(read(3)); }
    uint32_t u32() { return uint32_t(read(4)); }

    size_t position() const { return position_; }
    bool ok() const { return ok_; }

  private:
    const uint8_t* data_;
    size_t position_;
    size_t end_;
    bool ok_ = true;
};

struct Box {
    enum class SizeField { Compact, Large, ToEnd };
    uint32_t type = 0;
    size_t start = 0;    // first byte of the header
    size_t payload = 0;  // first byte after the header
    size_t end = 0;      // one past the last byte
    SizeField sizeField = SizeField::Compact;
};

// Reads the box header at `position`; the box must fit inside `end`.
bool readBox(const uint8_t* data, size_t position, size_t end, Box& box, std::string* error) {
    FieldReader reader(data, position, end);
    const uint32_t compactSize = reader.u32();
    box.type = reader.u32();
    uint64_t size = compactSize;
    box.sizeField = Box::SizeField::Compact;
    if (compactSize == 1) {
        size = reader.read(8);
        box.sizeField = Box::SizeField::Large;
    } else if (compactSize == 0) {
        size = end - position;
        box.sizeField = Box::SizeField::ToEnd;
    }
    if (box.type == fourcc("uuid")) reader.read(16);
    if (!reader.ok()) return fail(error, "a box header is cut off");
    const size_t headerSize = reader.position() - position;
    if (size < headerSize || size > end - position)
        return fail(error, "box '" + fourccName(box.type) + "' does not fit in its container");
    box.start = position;
    box.payload = reader.position();
    box.end = position + size_t(size);
    return true;
}

bool listBoxes(const uint8_t* data, size_t begin, size_t end, std::vector<Box>& boxes,
               std::string* error) {
    boxes.clear();
    for (size_t position = begin; position < end;) {
        Box box;
        if (!readBox(data, position, end, box, error)) return false;
        boxes.push_back(box);
        position = box.end;
    }
    return true;
}

const Box* findBox(const std::vector<Box>& boxes, uint32_t type) {
    for (const Box& box : boxes)
        if (box.type == type) return &box;
    return nullptr;
}

struct MetaLayout {
    Box meta, iprp, ipco;
    std::vector<Box> properties;  // the children of 'ipco'; property index i is properties[i - 1]
    std::vector<Box> associationBoxes;  // every 'ipma'
    std::optional<Box> iloc;
    uint32_t primaryItemId = 0;
};

// Finds the file-level 'meta' box. Boxes behind it are not looked at, so a file cut off in its
// media data still shows its properties.
bool findMeta(const uint8_t* data, size_t size, Box& meta, std::string* error) {
    for (size_t position = 0; position < size;) {
        if (!readBox(data, position, size, meta, error)) return false;
        if (meta.type == fourcc("meta")) return true;
        position = meta.end;
    }
    return fail(error, "there is no 'meta' box");
}

bool parseMeta(const uint8_t* data, size_t size, MetaLayout& layout, std::string* error) {
    if (!findMeta(data, size, layout.meta, error)) return false;
    // 'meta' is a full box: version and flags come before its children.
    if (layout.meta.end - layout.meta.payload < 4) return fail(error, "'meta' box is cut off");
    std::vector<Box> children;
    if (!listBoxes(data, layout.meta.payload + 4, layout.meta.end, children, error)) return false;

    const Box* pitm = findBox(children, fourcc("pitm"));
    if (!pitm) return fail(error, "there is no primary item ('pitm')");
    FieldReader pitmReader(data, pitm->payload, pitm->end);
    const uint8_t pitmVersion = pitmReader.u8();
    pitmReader.u24();
    layout.primaryItemId = pitmVersion == 0 ? pitmReader.u16() : pitmReader.u32();
    if (!pitmReader.ok()) return fail(error, "'pitm' box is cut off");

    const Box* iprp = findBox(children, fourcc("iprp"));
    if (!iprp) return fail(error, "there are no item properties ('iprp')");
    layout.iprp = *iprp;
    if (const Box* iloc = findBox(children, fourcc("iloc"))) layout.iloc = *iloc;

    std::vector<Box> propertyBoxes;
    if (!listBoxes(data, iprp->payload, iprp->end, propertyBoxes, error)) return false;
    const Box* ipco = findBox(propertyBoxes, fourcc("ipco"));
    if (!ipco) return fail(error, "there is no property container ('ipco')");
    layout.ipco = *ipco;
    for (const Box& box : propertyBoxes)
        if (box.type == fourcc("ipma")) layout.associationBoxes.push_back(box);
    return listBoxes(data, ipco->payload, ipco->end, layout.properties, error);
}

struct Association {
    uint16_t index = 0;
    bool essential = false;
};

struct ItemAssociations {
    bool found = false;
    bool wideIndices = false;  // 15-bit property indices
    size_t countPosition = 0;  // the association count byte
    size_t end = 0;            // one past the item's last association
    std::vector<Association> associations;
};

bool findItemAssociations(const uint8_t* data, const Box& ipma, uint32_t itemId,
                          ItemAssociations& result, std::string* error) {
    FieldReader reader(data, ipma.payload, ipma.end);
    const uint8_t version = reader.u8();
    const uint32_t flags = reader.u24();
    const uint32_t entryCount = reader.u32();
    // Every entry takes at least three bytes, so a truncated box ends the loop early.
    for (uint32_t entry = 0; entry < entryCount && reader.ok(); ++entry) {
        const uint32_t id = version < 1 ? reader.u16() : reader.u32();
        const size_t countPosition = reader.position();
        const uint8_t count = reader.u8();
        std::vector<Association> associations;
        for (int i = 0; i < count && reader.ok(); ++i) {
            Association association;
            if (flags & 1) {
                const uint16_t value = reader.u16();
                association = {uint16_t(value & 0x7FFF), (value & 0x8000) != 0};
            } else {
                const uint8_t value = reader.u8();
                association = {uint16_t(value & 0x7F), (value & 0x80) != 0};
            }
            associations.push_back(association);
        }
        if (reader.ok() && id == itemId && !result.found) {
            result = {true, (flags & 1) != 0, countPosition, reader.position(),
                      std::move(associations)};
        }
    }
    if (!reader.ok()) return fail(error, "'ipma' box is cut off");
    return true;
}

bool findPrimaryAssociations(const uint8_t* data, const MetaLayout& layout,
                             ItemAssociations& result, const Box*& ipma, std::string* error) {
    for (const Box& box : layout.associationBoxes) {
        if (!findItemAssociations(data, box, layout.primaryItemId, result, error)) return false;
        if (result.found) {
            ipma = &box;
            return true;
        }
    }
    return true;
}

// An insertion of `bytes` before the byte at `position` of the original file.
struct Insertion {
    size_t position = 0;
    std::vector<uint8_t> bytes;
};

void writeField(std::vector<uint8_t>& file, size_t position, size_t bytes, uint64_t value) {
    for (size_t i = 0; i < bytes; ++i) file[position + i] = uint8_t(value >> (8 * (bytes - 1 - i)));
}

bool growBox(std::vector<uint8_t>& file, const Box& box, size_t growth, std::string* error) {
    const uint64_t newSize = uint64_t(box.end - box.start) + growth;
    switch (box.sizeField) {
        case Box::SizeField::ToEnd:
            return true;
        case Box::SizeField::Large:
            writeField(file, box.start + 8, 8, newSize);
            return true;
        case Box::SizeField::Compact:
            if (newSize > std::numeric_limits<uint32_t>::max())
                return fail(error, "box '" + fourccName(box.type) + "' would grow too large");
            writeField(file, box.start, 4, newSize);
            return true;
    }
    return true;
}

bool validFieldSize(uint64_t bytes) {
    return bytes == 0 || bytes == 4 || bytes == 8;
}

// Moves the file offsets in 'iloc' (construction method 0 in this file) past the insertions.
bool moveItemLocations(const uint8_t* data, const Box& iloc,
                       const std::vector<Insertion>& insertions, std::vector<uint8_t>& patched,
                       std::string* error) {
    auto shiftFor = [&](uint64_t offset) {
        uint64_t shift = 0;
        for (const Insertion& insertion : insertions)
            if (insertion.position <= offset) shift += insertion.bytes.size();
        return shift;
    };
    auto patch = [&](size_t position, size_t bytes, uint64_t value) {
        if (bytes == 4 && value > std::numeric_limits<uint32_t>::max())
            return fail(error, "an item location would no longer fit in 'iloc'");
        writeField(patched, position, bytes, value);
        return true;
    };

    FieldReader reader(data, iloc.payload, iloc.end);
    const uint8_t version = reader.u8();
    reader.u24();
    const uint8_t sizes = reader.u8();
    const uint8_t moreSizes = reader.u8();
    const size_t offsetSize = sizes >> 4, lengthSize = sizes & 15, baseOffsetSize = moreSizes >> 4;
    const size_t indexSize = (version == 1 || version == 2) ? (moreSizes & 15) : 0;
    if (version > 2) return fail(error, "unsupported 'iloc' version");
    if (!validFieldSize(offsetSize) || !validFieldSize(lengthSize) ||
        !validFieldSize(baseOffsetSize) || !validFieldSize(indexSize))
        return fail(error, "unsupported 'iloc' field size");
    const uint32_t itemCount = version < 2 ? reader.u16() : reader.u32();
    for (uint32_t item = 0; item < itemCount && reader.ok(); ++item) {
        reader.read(version < 2 ? 2 : 4);  // item ID
        const int constructionMethod = version >= 1 ? (reader.u16() & 15) : 0;
        const uint16_t dataReference = reader.u16();
        const size_t basePosition = reader.position();
        const uint64_t baseOffset = reader.read(baseOffsetSize);
        const uint16_t extentCount = reader.u16();
        const bool inThisFile = constructionMethod == 0 && dataReference == 0;
        bool baseMoved = false;
        for (int extent = 0; extent < extentCount && reader.ok(); ++extent) {
            reader.read(indexSize);
            const size_t offsetPosition = reader.position();
            const uint64_t offset = reader.read(offsetSize);
            reader.read(lengthSize);
            if (!reader.ok() || !inThisFile) continue;
            if (offset > std::numeric_limits<uint64_t>::max() - baseOffset)
                return fail(error, "an item location in 'iloc' overflows");
            const uint64_t shift = shiftFor(baseOffset + offset);
            if (shift == 0) continue;
            if (offsetSize > 0) {
                if (!patch(offsetPosition, offsetSize, offset + shift)) return false;
            } else if (baseOffsetSize > 0) {
                // Without extent offsets every extent starts at the base offset.
                if (!baseMoved && !patch(basePosition, baseOffsetSize, baseOffset + shift))
                    return false;
                baseMoved = true;
            } else {
                return fail(error, "an item location in 'iloc' cannot be moved");
            }
        }
    }
    if (!reader.ok()) return fail(error, "'iloc' box is cut off");
    return true;
}

std::vector<uint8_t> propertyBox(const char (&type)[5], uint8_t value) {
    const uint32_t name = fourcc(type);
    return {
        0,    0, 0, 9, uint8_t(name >> 24), uint8_t(name >> 16), uint8_t(name >> 8), uint8_t(name),
        value};
}

}  // namespace

std::optional<PrimaryItemProperties> readPrimaryItemProperties(const uint8_t* file, size_t size,
                                                               std::string* error) {
    if (!file || size == 0) {
        fail(error, "empty input");
        return std::nullopt;
    }
    MetaLayout layout;
    if (!parseMeta(file, size, layout, error)) return std::nullopt;
    ItemAssociations associations;
    const Box* ipma = nullptr;
    if (!findPrimaryAssociations(file, layout, associations, ipma, error)) return std::nullopt;

    PrimaryItemProperties result;
    result.itemId = layout.primaryItemId;
    for (const Association& association : associations.associations) {
        if (association.index == 0) continue;  // "no property"
        if (association.index > layout.properties.size()) {
            fail(error, "the primary item refers to a missing property");
            return std::nullopt;
        }
        const Box& property = layout.properties[association.index - 1];
        FieldReader reader(file, property.payload, property.end);
        if (property.type == fourcc("ispe")) {
            reader.u32();  // version and flags
            const uint32_t width = reader.u32(), height = reader.u32();
            if (reader.ok()) result.width = width, result.height = height;
        } else if (property.type == fourcc("irot")) {
            const uint8_t angle = reader.u8();
            if (reader.ok())
                result.transforms.push_back({TransformStep::Kind::Rotation, angle & 3});
        } else if (property.type == fourcc("imir")) {
            const uint8_t axis = reader.u8();
            if (reader.ok()) result.transforms.push_back({TransformStep::Kind::Mirror, axis & 1});
        } else if (property.type == fourcc("clap")) {
            result.hasCleanAperture = true;
        }
        if (!reader.ok()) {
            fail(error, "property '" + fourccName(property.type) + "' is cut off");
            return std::nullopt;
        }
    }
    return result;
}

bool addTransformProperties(std::vector<uint8_t>& file, const std::vector<TransformStep>& steps,
                            std::string* error) {
    if (steps.empty()) return true;
    try {
        MetaLayout layout;
        if (!parseMeta(file.data(), file.size(), layout, error)) return false;
        ItemAssociations associations;
        const Box* ipma = nullptr;
        if (!findPrimaryAssociations(file.data(), layout, associations, ipma, error)) return false;
        if (!ipma) return fail(error, "the primary item has no properties");

        const size_t firstIndex = layout.properties.size() + 1;
        const size_t lastIndex = firstIndex + steps.size() - 1;
        if (lastIndex > (associations.wideIndices ? 0x7FFFu : 0x7Fu) ||
            associations.associations.size() + steps.size() > 0xFF)
            return fail(error, "too many item properties to add a transform");

        Insertion properties{layout.ipco.end, {}};
        Insertion links{associations.end, {}};
        for (size_t i = 0; i < steps.size(); ++i) {
            const TransformStep& step = steps[i];
            const auto box = step.kind == TransformStep::Kind::Rotation
                                 ? propertyBox("irot", uint8_t(step.value & 3))
                                 : propertyBox("imir", uint8_t(step.value & 1));
            properties.bytes.insert(properties.bytes.end(), box.begin(), box.end());
            // Transforms must be understood by every reader: marked essential.
            const size_t index = firstIndex + i;
            if (associations.wideIndices) {
                links.bytes.push_back(uint8_t(0x80 | (index >> 8)));
                links.bytes.push_back(uint8_t(index));
            } else {
                links.bytes.push_back(uint8_t(0x80 | index));
            }
        }
        const std::vector<Insertion> insertions = {properties, links};

        std::vector<uint8_t> patched = file;
        patched[associations.countPosition] =
            uint8_t(associations.associations.size() + steps.size());
        const size_t grown = properties.bytes.size() + links.bytes.size();
        if (!growBox(patched, layout.ipco, properties.bytes.size(), error) ||
            !growBox(patched, *ipma, links.bytes.size(), error) ||
            !growBox(patched, layout.iprp, grown, error) ||
            !growBox(patched, layout.meta, grown, error))
            return false;
        if (layout.iloc &&
            !moveItemLocations(file.data(), *layout.iloc, insertions, patched, error))
            return false;

        std::vector<Insertion> ordered = insertions;
        std::sort(ordered.begin(), ordered.end(),
                  [](const Insertion& a, const Insertion& b) { return a.position < b.position; });
        std::vector<uint8_t> result;
        result.reserve(patched.size() + grown);
        size_t copied = 0;
        for (const Insertion& insertion : ordered) {
            result.insert(result.end(), patched.begin() + copied,
                          patched.begin() + insertion.position);
            result.insert(result.end(), insertion.bytes.begin(), insertion.bytes.end());
            copied = insertion.position;
        }
        result.insert(result.end(), patched.begin() + copied, patched.end());
        file.swap(result);
        return true;
    } catch (const std::bad_alloc&) {
        return fail(error, "out of memory");
    }
}

}  // namespace hx::image::heif

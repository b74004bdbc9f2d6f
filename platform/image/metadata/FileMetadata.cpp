#include <exiv2/exiv2.hpp>

#include <exception>
#include <limits>

#include "platform/image/metadata/ExifMapping.h"
#include "platform/image/metadata/Exiv2Setup.h"
#include "platform/image/metadata/ImageMetadata.h"
#include "platform/image/metadata/PngExifChunk.h"

namespace hx::image::metadata {
namespace {

void setError(std::string* error, const std::string& message) {
    if (error != nullptr) *error = message;
}

const char* kindName(FileKind kind) {
    switch (kind) {
        case FileKind::Jpeg:
            return "JPEG";
        case FileKind::Tiff:
            return "TIFF";
        case FileKind::Png:
            return "PNG";
        case FileKind::Heic:
            return "HEIC";
    }
    return "image";
}

// The kind of the file in `data`, among those this module reads and writes.
std::optional<FileKind> detectKind(const uint8_t* data, size_t size) {
    const int type = Exiv2::ImageFactory::getType(data, static_cast<long>(size));
    if (type == Exiv2::ImageType::jpeg) return FileKind::Jpeg;
    if (type == Exiv2::ImageType::tiff) return FileKind::Tiff;
    if (type == Exiv2::ImageType::png) return FileKind::Png;
    return std::nullopt;
}

bool checkInput(const uint8_t* data, size_t size, std::string* error) {
    if (data == nullptr || size == 0) {
        setError(error, "the file is empty");
        return false;
    }
    if (size > static_cast<size_t>(std::numeric_limits<long>::max())) {
        setError(error, "the file is too large");
        return false;
    }
    return true;
}

std::vector<uint8_t> contentsOf(Exiv2::BasicIo& io) {
    if (io.open() != 0) throw Exiv2::Error(Exiv2::kerDataSourceOpenFailed, io.path());
    std::vector<uint8_t> contents(static_cast<size_t>(io.size()));
    const long read = contents.empty() ? 0 : io.read(contents.data(), long(contents.size()));
    io.close();
    if (read != long(contents.size())) throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
    return contents;
}

bool writePngMetadata(std::vector<uint8_t>& file, const PropertyDictionary& properties,
                      std::string* error) {
    Exiv2::Blob block;
    Exiv2::ExifParser::encode(
        block, Exiv2::littleEndian,
        detail::exifDataForProperties(properties, FileKind::Png, std::nullopt));
    return detail::replacePngExif(file, std::vector<uint8_t>(block.begin(), block.end()), error);
}

}  // namespace

bool writeMetadata(std::vector<uint8_t>& file, FileKind kind, const PropertyDictionary& properties,
                   std::string* error) {
    if (kind == FileKind::Heic) {
        setError(error, "HEIC metadata is written by the HEIC encoder from an Exif block");
        return false;
    }
    if (!checkInput(file.data(), file.size(), error)) return false;
    try {
        detail::prepareExiv2();
        if (detectKind(file.data(), file.size()) != kind) {
            setError(error, std::string("the data is not a ") + kindName(kind) + " file");
            return false;
        }
        if (kind == FileKind::Png) return writePngMetadata(file, properties, error);
        auto image = Exiv2::ImageFactory::open(file.data(), static_cast<long>(file.size()));
        // Read first so that what is not Exif (an ICC profile, XMP) is written back unchanged.
        image->readMetadata();
        image->setExifData(detail::exifDataForProperties(properties, kind, std::nullopt));
        image->writeMetadata();
        std::vector<uint8_t> written = contentsOf(image->io());
        if (written.empty()) {
            setError(error, "writing the metadata produced no data");
            return false;
        }
        file.swap(written);
        return true;
    } catch (const std::exception& e) {
        setError(error, std::string("cannot write the metadata: ") + e.what());
    } catch (...) {
        setError(error, "cannot write the metadata");
    }
    return false;
}

std::optional<PropertyDictionary> readMetadata(const uint8_t* file, size_t size,
                                               std::string* error) {
    if (!checkInput(file, size, error)) return std::nullopt;
    try {
        detail::prepareExiv2();
        if (!detectKind(file, size)) {
            setError(error, "the data is not a JPEG, TIFF or PNG file");
            return std::nullopt;
        }
        auto image = Exiv2::ImageFactory::open(file, static_cast<long>(size));
        image->readMetadata();
        return detail::propertiesForExifData(image->exifData(), image->byteOrder());
    } catch (const std::exception& e) {
        setError(error, std::string("cannot read the metadata: ") + e.what());
    } catch (...) {
        setError(error, "cannot read the metadata");
    }
    return std::nullopt;
}

}  // namespace hx::image::metadata

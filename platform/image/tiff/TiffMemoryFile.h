#pragma once

#include <tiffio.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace hx::image::tiff {

// A libtiff handle over bytes in memory: reads go to a caller's buffer, writes to a caller's
// vector, and the filesystem is never touched. libtiff's warnings are dropped and its errors are
// kept here instead of being printed, so one handle's messages never mix with another's.
//
// Threads: one handle belongs to one thread; separate handles may be used on separate threads.
class TiffMemoryFile {
  public:
    // Opens the TIFF held in `data`, which must outlive this object.
    TiffMemoryFile(const uint8_t* data, size_t size);
    // Starts a new TIFF that is written into `output`, which must outlive this object; its
    // contents are replaced.
    explicit TiffMemoryFile(std::vector<uint8_t>& output);
    ~TiffMemoryFile();
    TiffMemoryFile(const TiffMemoryFile&) = delete;
    TiffMemoryFile& operator=(const TiffMemoryFile&) = delete;

    // Null when opening failed.
    TIFF* tiff() const { return tiff_; }
    // Whether libtiff reported any error since the handle was opened.
    bool hadError() const { return errorCount_ > 0; }
    // The first error libtiff reported, else `fallback`.
    std::string errorText(const char* fallback) const;
    // Closes the handle, which writes out whatever a writer still holds. False when libtiff
    // reported an error at any point.
    bool close();

    // Called back by libtiff.
    struct Stream {
        const uint8_t* input = nullptr;
        size_t inputSize = 0;
        std::vector<uint8_t>* output = nullptr;
        uint64_t position = 0;
    };
    void recordError(const char* module, const char* format, va_list arguments);

  private:
    Stream stream_;
    TIFF* tiff_ = nullptr;
    int errorCount_ = 0;
    char firstError_[512] = {};
};

}  // namespace hx::image::tiff

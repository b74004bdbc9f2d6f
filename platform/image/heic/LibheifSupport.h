#pragma once
// Owning pointers for libheif's objects and the library's one-time set-up, shared by the HEIC
// encoder and decoder.

#include <libheif/heif.h>

#include <memory>
#include <string>

namespace hx::image::heif {

template <auto Release>
struct Releaser {
    template <typename T>
    void operator()(T* object) const {
        Release(object);
    }
};

using ContextPtr = std::unique_ptr<heif_context, Releaser<heif_context_free>>;
using HandlePtr = std::unique_ptr<heif_image_handle, Releaser<heif_image_handle_release>>;
using ImagePtr = std::unique_ptr<heif_image, Releaser<heif_image_release>>;
using EncoderPtr = std::unique_ptr<heif_encoder, Releaser<heif_encoder_release>>;
using EncodingOptionsPtr =
    std::unique_ptr<heif_encoding_options, Releaser<heif_encoding_options_free>>;
using DecodingOptionsPtr =
    std::unique_ptr<heif_decoding_options, Releaser<heif_decoding_options_free>>;

// Registers libheif's codecs once per process (safe from any thread); false with a message when
// the library cannot start. It stays initialised until the process ends.
bool initialiseLibheif(std::string* error);

// Sets *error to "<what>: <libheif's message>" and returns false.
bool failWith(std::string* error, const char* what, const heif_error& cause);
bool failWith(std::string* error, const std::string& message);

inline bool succeeded(const heif_error& result) {
    return result.code == heif_error_Ok;
}

}  // namespace hx::image::heif

#pragma once

// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <csetjmp>

namespace hx::image::jpeg {

// libjpeg reports a fatal error through error_exit, which must not return. Ours longjmps back into
// runGuarded(). Every frame between the two is libjpeg's C code, a step function or a libjpeg
// callback of ours, and all of them hold plain data only, so no destructor is ever skipped. The
// C++ objects that own the codec structures and the pixel memory live in the callers of
// runGuarded().
struct ErrorState {
    jpeg_error_mgr manager;  // first, so libjpeg's pointer to it points to the whole state
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX + 64];
};

// Points `info->err` at `state` with handlers that never print: warnings are dropped, except that
// the decoder running out of data counts as an error, since a caller must never take a picture
// with a grey bottom for a good one. Call before jpeg_create_compress/decompress.
void installErrorHandling(jpeg_common_struct* info, ErrorState* state);

// Stops the running step with `text` as the error message.
[[noreturn]] void fail(jpeg_common_struct* info, const char* text);

template <typename Argument>
bool runGuarded(ErrorState& state, void (*step)(Argument*), Argument* argument) {
    if (setjmp(state.jump) != 0) return false;
    step(argument);
    return true;
}

}  // namespace hx::image::jpeg

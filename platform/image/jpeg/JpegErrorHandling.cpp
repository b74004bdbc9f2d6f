#include "platform/image/jpeg/JpegErrorHandling.h"

#include <jerror.h>

#include <cstring>

namespace hx::image::jpeg {
namespace {

ErrorState* stateOf(jpeg_common_struct* info) {
    return reinterpret_cast<ErrorState*>(info->err);
}

[[noreturn]] void exitWithMessage(jpeg_common_struct* info) {
    ErrorState* state = stateOf(info);
    (*state->manager.format_message)(info, state->message);
    std::longjmp(state->jump, 1);
}

// A decoder that runs out of data fills the rest of the picture with grey and only warns;
// treat that as the error it is for us.
bool isFatalWarning(int code) {
    return code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER;
}

void emitMessage(jpeg_common_struct* info, int level) {
    if (level >= 0) return;  // trace messages
    if (isFatalWarning(info->err->msg_code)) exitWithMessage(info);
    info->err->num_warnings++;
}

void outputNothing(jpeg_common_struct*) {}

}  // namespace

void installErrorHandling(jpeg_common_struct* info, ErrorState* state) {
    jpeg_std_error(&state->manager);
    state->manager.error_exit = exitWithMessage;
    state->manager.emit_message = emitMessage;
    state->manager.output_message = outputNothing;
    state->message[0] = '\0';
    info->err = &state->manager;
}

void fail(jpeg_common_struct* info, const char* text) {
    ErrorState* state = stateOf(info);
    std::snprintf(state->message, sizeof state->message, "%s", text);
    std::longjmp(state->jump, 1);
}

}  // namespace hx::image::jpeg

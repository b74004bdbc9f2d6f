#include "platform/log/Log.h"

#include <errno.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

namespace hx::log {
namespace {

struct LogState {
    std::mutex sinkMutex;
    std::shared_ptr<const Sink> sink;
    // Held while a line is written so that lines from this process never interleave, even when
    // the kernel splits a long write.
    std::mutex writeMutex;
};

// Never destroyed: threads may still log while static objects are torn down at exit.
LogState& state() {
    static LogState* const instance = new LogState;
    return *instance;
}

bool isLengthModifier(char c) {
    return std::strchr("hlLqjzt", c) != nullptr;
}
bool isSpecifierPart(char c) {
    return c && std::strchr("-+ #0123456789.*'hlLqjzt", c) != nullptr;
}

// Rewrites every "%@" conversion as "%s"; flags, width and precision stay, length modifiers go
// (they would turn "%s" into a wide-string conversion).
std::string translateObjectConversions(const char* format) {
    std::string out;
    out.reserve(std::strlen(format) + 8);
    for (const char* p = format; *p;) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        out += *p++;
        if (*p == '%') {
            out += *p++;
            continue;
        }
        std::string specifier;
        while (isSpecifierPart(*p)) specifier += *p++;
        if (*p == '@') {
            for (char c : specifier)
                if (!isLengthModifier(c)) out += c;
            out += 's';
            ++p;
        } else {
            out += specifier;
        }
    }
    return out;
}

std::string formatWithArgs(const char* format, va_list args) {
    if (!format) return "(null format)";
    std::string translated;
    if (std::strchr(format, '@')) {
        translated = translateObjectConversions(format);
        format = translated.c_str();
    }
    char stackBuffer[1024];
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(stackBuffer, sizeof stackBuffer, format, copy);
    va_end(copy);
    if (length < 0) return std::string("(unformattable message) ") + format;
    if (static_cast<size_t>(length) < sizeof stackBuffer) return std::string(stackBuffer, length);
    std::string result(static_cast<size_t>(length), '\0');
    va_copy(copy, args);
    std::vsnprintf(result.data(), result.size() + 1, format, copy);
    va_end(copy);
    return result;
}

std::string linePrefix() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char prefix[128];
    int length = std::snprintf(prefix, sizeof prefix, "%04d-%02d-%02d %02d:%02d:%02d.%03ld %s[%d] ",
                               local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                               local.tm_min, local.tm_sec, now.tv_nsec / 1000000,
                               program_invocation_short_name, static_cast<int>(getpid()));
    if (length < 0) return {};
    return std::string(prefix, std::min<size_t>(static_cast<size_t>(length), sizeof prefix - 1));
}

void writeToStderr(std::string_view message) {
    std::string line = linePrefix();
    line.append(message);
    line += '\n';
    std::lock_guard lock(state().writeMutex);
    const char* data = line.data();
    size_t remaining = line.size();
    while (remaining > 0) {
        ssize_t written = ::write(STDERR_FILENO, data, remaining);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;  // Nowhere left to report a broken stderr.
        }
        data += written;
        remaining -= static_cast<size_t>(written);
    }
}

void emit(std::string message) {
    if (!message.empty() && message.back() == '\n') message.pop_back();
    std::shared_ptr<const Sink> sink;
    {
        std::lock_guard lock(state().sinkMutex);
        sink = state().sink;
    }
    if (sink)
        (*sink)(message);
    else
        writeToStderr(message);
}

}  // namespace

Sink setSink(Sink sink) {
    auto replacement = sink ? std::make_shared<const Sink>(std::move(sink)) : nullptr;
    std::lock_guard lock(state().sinkMutex);
    auto previous = std::exchange(state().sink, std::move(replacement));
    return previous ? *previous : Sink{};
}

void resetSink() {
    setSink(Sink{});
}

std::string vformat(const char* format, va_list args) {
    return formatWithArgs(format, args);
}

std::string format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string result = formatWithArgs(format, args);
    va_end(args);
    return result;
}

}  // namespace hx::log

void hxLogv(const char* format, va_list args) {
    hx::log::emit(hx::log::formatWithArgs(format, args));
}

void hxLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    hxLogv(format, args);
    va_end(args);
}

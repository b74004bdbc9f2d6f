#include "platform/widgetkit/WidgetDatagram.h"

#include <cstdio>

namespace hx {

namespace {

struct RequestName {
    std::string_view name;
    WidgetRequest request;
    bool takesArgument;
};

constexpr RequestName kRequests[] = {
    {"reload-all-timelines", WidgetRequest::reloadAllTimelines, false},
};

bool refuse(std::string* error, std::string message) {
    if (error) *error = std::move(message);
    return false;
}

std::string byteAt(unsigned char byte, std::size_t offset) {
    char text[48];
    std::snprintf(text, sizeof text, "byte 0x%02X at offset %zu", byte, offset);
    return text;
}

// Names and arguments: printable ASCII, no space (0x21 to 0x7E).
bool isWordByte(unsigned char byte) {
    return byte > 0x20 && byte < 0x7F;
}

// `text` quoted for a message; it holds word bytes only, so nothing needs escaping but quotes.
std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

bool WidgetDatagram::parse(std::string_view bytes, WidgetDatagram* datagram, std::string* error) {
    if (bytes.empty()) return refuse(error, "an empty request");
    if (bytes.size() > kMaxBytes)
        return refuse(error, "a request of " + std::to_string(bytes.size()) +
                                 " bytes, more than the " + std::to_string(kMaxBytes) +
                                 " a request may have");
    std::string_view body = bytes;
    if (body.back() == '\n') body.remove_suffix(1);
    if (body.empty()) return refuse(error, "a request with no name");

    std::string_view name = body;
    std::string_view argument;
    bool hasArgument = false;
    for (std::size_t i = 0; i < body.size(); ++i) {
        const auto byte = static_cast<unsigned char>(body[i]);
        if (byte == ' ' && !hasArgument) {
            if (i == 0) return refuse(error, "a request that starts with a space");
            name = body.substr(0, i);
            argument = body.substr(i + 1);
            hasArgument = true;
            if (argument.empty()) return refuse(error, "a space with no argument after it");
            continue;
        }
        if (byte == '\n')
            return refuse(error,
                          "more than one line (line feed at offset " + std::to_string(i) + ")");
        if (byte == ' ')
            return refuse(error,
                          "more than one argument (space at offset " + std::to_string(i) + ")");
        if (!isWordByte(byte)) return refuse(error, "not a request: " + byteAt(byte, i));
    }

    for (const RequestName& known : kRequests) {
        if (known.name != name) continue;
        if (hasArgument && !known.takesArgument)
            return refuse(error, quoted(name) + " takes no argument, got " + quoted(argument));
        if (!hasArgument && known.takesArgument)
            return refuse(error, quoted(name) + " needs an argument");
        if (datagram) {
            datagram->request = known.request;
            datagram->argument = std::string(argument);
        }
        return true;
    }
    return refuse(error, "unknown request " + quoted(name));
}

std::string WidgetDatagram::encode(WidgetRequest request, std::string_view argument) {
    for (const RequestName& known : kRequests) {
        if (known.request != request) continue;
        std::string bytes(known.name);
        if (known.takesArgument) bytes += " " + std::string(argument);
        return bytes;
    }
    return {};
}

}  // namespace hx

#include "app/shell/CameraScript.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "app/shell/CommandLine.h"

namespace hx::app {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The line without its comment: "#" at the start of the line or after white space begins one.
std::string_view withoutComment(std::string_view line) {
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '#' && (i == 0 || isSpace(line[i - 1]))) return line.substr(0, i);
    }
    return line;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> result;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSpace(text[i])) ++i;
        size_t start = i;
        while (i < text.size() && !isSpace(text[i])) ++i;
        if (i > start) result.emplace_back(text.substr(start, i - start));
    }
    return result;
}

// Thrown inside one line's parse; becomes "script line N: message".
struct LineError {
    std::string message;
};

[[noreturn]] void fail(std::string message) {
    throw LineError{std::move(message)};
}

std::string quotedWord(const std::string& word) {
    std::string shown;
    for (char c : word.substr(0, 40)) {
        unsigned char u = static_cast<unsigned char>(c);
        shown += (u < 0x20 || u == 0x7f) ? '?' : c;
    }
    if (word.size() > 40) shown += "...";
    return "'" + shown + "'";
}

// A finite decimal number; a leading "+" is allowed, hexadecimal, "inf" and "nan" are not.
std::optional<double> number(const std::string& word) {
    std::string_view text = word;
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    for (char c : text) {
        bool allowed = (c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'e' || c == 'E';
        if (!allowed) return std::nullopt;
    }
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

class LineParser {
  public:
    LineParser(std::string_view line, int lineNumber) : line_(line), words_(words(line)) {
        command_.line = lineNumber;
    }

    bool empty() const { return words_.empty(); }

    ScriptCommand parse() {
        const std::string& name = words_[0];
        if (parseBrowsing(name)) {
        } else if (name == "wait") {
            command_.kind = ScriptCommandKind::Wait;
            arguments(1, 1, "wait needs SECONDS", "wait takes SECONDS");
            command_.seconds = seconds(1, "SECONDS", /*allowZero=*/true);
        } else if (name == "wait-idle") {
            command_.kind = ScriptCommandKind::WaitIdle;
            arguments(0, 1, "", "wait-idle takes at most SECONDS");
            command_.seconds =
                words_.size() > 1 ? seconds(1, "SECONDS", false) : kScriptDefaultIdleTimeout;
        } else if (name == "tap") {
            command_.kind = ScriptCommandKind::Tap;
            arguments(2, 3, "tap needs X and Y", "tap takes X Y [COUNT]");
            command_.point = point(1);
            if (words_.size() > 3) command_.count = count(3);
        } else if (name == "long-press") {
            command_.kind = ScriptCommandKind::LongPress;
            arguments(3, 3, "long-press needs X, Y and SECONDS", "long-press takes X Y SECONDS");
            command_.point = point(1);
            command_.seconds = seconds(3, "SECONDS", false);
        } else if (name == "drag") {
            command_.kind = ScriptCommandKind::Drag;
            arguments(4, 5, "drag needs X1, Y1, X2 and Y2", "drag takes X1 Y1 X2 Y2 [SECONDS]");
            command_.point = point(1, "X1", "Y1");
            command_.to = point(3, "X2", "Y2");
            command_.seconds =
                words_.size() > 5 ? seconds(5, "SECONDS", false) : kScriptDefaultDragSeconds;
        } else if (name == "pinch") {
            command_.kind = ScriptCommandKind::Pinch;
            arguments(3, 3, "pinch needs X, Y and SCALE", "pinch takes X Y SCALE");
            command_.point = point(1);
            command_.scale = scale(3);
        } else if (name == "key") {
            const char* choices = "volume-up, volume-down, capture or one of 0-9 [ ] g f l + -";
            arguments(1, 1, std::string("key needs ") + choices,
                      std::string("key takes one of ") + choices);
            command_.kind = ScriptCommandKind::Key;
            const std::string& key = words_[1];
            if (key == "volume-up") {
                command_.key = HardwareKey::VolumeUp;
            } else if (key == "volume-down") {
                command_.key = HardwareKey::VolumeDown;
            } else if (key == "capture") {
                command_.key = HardwareKey::Capture;
            } else if (key.size() == 1 && std::string_view(kScriptCameraKeys)
                                                  .find(static_cast<char>(std::tolower(
                                                      static_cast<unsigned char>(key[0])))) !=
                                              std::string_view::npos) {
                command_.kind = ScriptCommandKind::CameraKey;
                command_.cameraKey =
                    static_cast<char>(std::tolower(static_cast<unsigned char>(key[0])));
            } else {
                fail("unknown key " + quotedWord(key) + " (" + choices + ")");
            }
        } else if (name == "film") {
            command_.kind = ScriptCommandKind::Film;
            arguments(1, 1, "film needs N", "film takes one N");
            command_.number = wholeNumber(1, "N", 0, kScriptFilmCount - 1);
        } else if (name == "ev") {
            command_.kind = ScriptCommandKind::Exposure;
            arguments(1, 1, "ev needs STEPS", "ev takes one STEPS");
            command_.number =
                wholeNumber(1, "STEPS", -kScriptMaxExposureSteps, kScriptMaxExposureSteps);
        } else if (name == "zoom") {
            command_.kind = ScriptCommandKind::Zoom;
            arguments(1, 1, "zoom needs FACTOR", "zoom takes one FACTOR");
            command_.factor = numberAt(1, "FACTOR");
            if (command_.factor < 1 || command_.factor > kScriptMaxZoom)
                fail("zoom: FACTOR must be from 1 to 1000, not " + quotedWord(words_[1]));
        } else if (name == "tilt") {
            command_.kind = ScriptCommandKind::Tilt;
            const char* choices = "portrait, upside-down, landscape-left or landscape-right";
            arguments(1, 1, std::string("tilt needs ") + choices,
                      std::string("tilt takes one of ") + choices);
            const std::string& tilt = words_[1];
            if (tilt == "portrait") {
                command_.tilt = Tilt::Portrait;
            } else if (tilt == "upside-down") {
                command_.tilt = Tilt::UpsideDown;
            } else if (tilt == "landscape-left") {
                command_.tilt = Tilt::LandscapeLeft;
            } else if (tilt == "landscape-right") {
                command_.tilt = Tilt::LandscapeRight;
            } else {
                fail("unknown tilt " + quotedWord(tilt) + " (" + choices + ")");
            }
        } else if (name == "background" || name == "foreground" || name == "quit") {
            command_.kind = name == "background"   ? ScriptCommandKind::Background
                            : name == "foreground" ? ScriptCommandKind::Foreground
                                                   : ScriptCommandKind::Quit;
            arguments(0, 0, "", name + " takes nothing");
        } else if (name == "action") {
            command_.kind = ScriptCommandKind::Action;
            arguments(1, 1, "action needs takephoto or takeselfie",
                      "action takes takephoto or takeselfie");
            if (!isQuickActionName(words_[1]))
                fail("unknown action " + quotedWord(words_[1]) + " (takephoto or takeselfie)");
            command_.text = words_[1];
        } else if (name == "press") {
            command_.kind = ScriptCommandKind::Press;
            arguments(1, 1, "press needs NAME", "press takes one NAME");
            if (!isFieldName(words_[1])) fail("press: " + quotedWord(words_[1]) + " is not a name");
            command_.text = words_[1];
        } else if (name == "camera") {
            command_.kind = ScriptCommandKind::Camera;
            arguments(1, 1, "camera needs unplug or plug", "camera takes unplug or plug");
            if (words_[1] != "unplug" && words_[1] != "plug")
                fail("unknown camera change " + quotedWord(words_[1]) + " (unplug or plug)");
            command_.option = words_[1] == "unplug";
        } else if (name == "wait-camera") {
            command_.kind = ScriptCommandKind::WaitCamera;
            arguments(1, 2, "wait-camera needs gone or back",
                      "wait-camera takes gone|back [SECONDS]");
            if (words_[1] != "gone" && words_[1] != "back")
                fail("unknown camera state " + quotedWord(words_[1]) + " (gone or back)");
            command_.option = words_[1] == "gone";
            command_.seconds =
                words_.size() > 2 ? seconds(2, "SECONDS", false) : kScriptDefaultIdleTimeout;
        } else if (name == "screenshot" || name == "stats") {
            command_.kind =
                name == "screenshot" ? ScriptCommandKind::Screenshot : ScriptCommandKind::Stats;
            // The file is the rest of the line, so that names with spaces work.
            std::string_view rest = trimmed(line_);
            rest.remove_prefix(name.size());
            rest = trimmed(rest);
            if (rest.empty()) fail(name + " needs FILE");
            command_.text = std::string(rest);
        } else {
            fail("unknown command " + quotedWord(name));
        }
        return command_;
    }

  private:
    // The commands of the photo browser; false for any other command.
    bool parseBrowsing(const std::string& name) {
        if (name == "item") {
            command_.kind = ScriptCommandKind::Item;
            arguments(1, 1, "item needs N", "item takes one N");
            const std::string& word = words_[1];
            int value = -1;
            auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
            if (ec != std::errc() || end != word.data() + word.size() || value < 0 ||
                value > kScriptMaxItem)
                fail("item: N must be a whole number from 0 to " + std::to_string(kScriptMaxItem) +
                     ", not " + quotedWord(word));
            command_.count = value;
        } else if (name == "swipe") {
            command_.kind = ScriptCommandKind::Swipe;
            arguments(1, 1, "swipe needs left or right", "swipe takes left or right");
            if (words_[1] != "left" && words_[1] != "right")
                fail("unknown swipe " + quotedWord(words_[1]) + " (left or right)");
            command_.option = words_[1] == "left";
        } else if (name == "share") {
            command_.kind = ScriptCommandKind::Share;
            // The folder is the rest of the line, so that names with spaces work.
            std::string_view rest = trimmed(line_);
            rest.remove_prefix(name.size());
            rest = trimmed(rest);
            constexpr std::string_view kFlag = "without-location";
            if (rest.size() >= kFlag.size() && rest.substr(rest.size() - kFlag.size()) == kFlag &&
                (rest.size() == kFlag.size() || isSpace(rest[rest.size() - kFlag.size() - 1]))) {
                command_.option = true;
                rest = trimmed(rest.substr(0, rest.size() - kFlag.size()));
            }
            if (rest.empty()) fail("share needs DIR");
            command_.text = std::string(rest);
        } else {
            return false;
        }
        return true;
    }

    static bool isFieldName(const std::string& word) {
        if (word.empty() || word.size() > 200) return false;
        if (!(std::isalpha(static_cast<unsigned char>(word[0])) || word[0] == '_')) return false;
        for (char c : word) {
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
        }
        return true;
    }

    void arguments(size_t least, size_t most, const std::string& tooFew,
                   const std::string& tooMany) {
        size_t given = words_.size() - 1;
        if (given < least) fail(tooFew);
        if (given > most) fail(tooMany);
    }

    std::string commandName() const { return words_[0]; }

    double numberAt(size_t index, const std::string& what) {
        auto value = number(words_[index]);
        if (!value)
            fail(commandName() + ": " + what + " is not a number: " + quotedWord(words_[index]));
        return *value;
    }

    double coordinate(size_t index, const std::string& what) {
        double value = numberAt(index, what);
        if (std::fabs(value) > kScriptMaxCoordinate)
            fail(commandName() + ": " + what + " is out of range: " + quotedWord(words_[index]));
        return value;
    }

    CGPoint point(size_t index, const std::string& x = "X", const std::string& y = "Y") {
        return {coordinate(index, x), coordinate(index + 1, y)};
    }

    double seconds(size_t index, const std::string& what, bool allowZero) {
        double value = numberAt(index, what);
        bool tooSmall = allowZero ? value < 0 : value <= 0;
        if (tooSmall || value > kScriptMaxSeconds) {
            fail(commandName() + ": " + what + " must be " +
                 (allowZero ? "from 0 to 86400" : "above 0 and at most 86400") + ", not " +
                 quotedWord(words_[index]));
        }
        return value;
    }

    // A whole number from `least` to `most`; a leading '+' or '-' is allowed.
    int wholeNumber(size_t index, const std::string& what, int least, int most) {
        std::string_view word = words_[index];
        if (!word.empty() && word.front() == '+') word.remove_prefix(1);
        int value = 0;
        auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (word.empty() || ec != std::errc() || end != word.data() + word.size() ||
            value < least || value > most) {
            fail(commandName() + ": " + what + " must be a whole number from " +
                 std::to_string(least) + " to " + std::to_string(most) + ", not " +
                 quotedWord(words_[index]));
        }
        return value;
    }

    int count(size_t index) {
        const std::string& word = words_[index];
        int value = 0;
        auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (ec != std::errc() || end != word.data() + word.size() || value < 1 ||
            value > kScriptMaxTapCount) {
            fail(commandName() + ": COUNT must be a whole number from 1 to " +
                 std::to_string(kScriptMaxTapCount) + ", not " + quotedWord(word));
        }
        return value;
    }

    double scale(size_t index) {
        double value = numberAt(index, "SCALE");
        if (value <= 0) fail("pinch: SCALE must be above 0, not " + quotedWord(words_[index]));
        if (value < kScriptMinScale || value > kScriptMaxScale)
            fail("pinch: SCALE must be from 0.01 to 100, not " + quotedWord(words_[index]));
        return value;
    }

    std::string_view line_;
    std::vector<std::string> words_;
    ScriptCommand command_;
};

}  // namespace

const char* scriptCommandName(ScriptCommandKind kind) {
    switch (kind) {
        case ScriptCommandKind::Item:
            return "item";
        case ScriptCommandKind::Swipe:
            return "swipe";
        case ScriptCommandKind::Share:
            return "share";
        case ScriptCommandKind::Wait:
            return "wait";
        case ScriptCommandKind::WaitIdle:
            return "wait-idle";
        case ScriptCommandKind::Tap:
            return "tap";
        case ScriptCommandKind::LongPress:
            return "long-press";
        case ScriptCommandKind::Drag:
            return "drag";
        case ScriptCommandKind::Pinch:
            return "pinch";
        case ScriptCommandKind::Key:
        case ScriptCommandKind::CameraKey:
            return "key";
        case ScriptCommandKind::Film:
            return "film";
        case ScriptCommandKind::Exposure:
            return "ev";
        case ScriptCommandKind::Zoom:
            return "zoom";
        case ScriptCommandKind::Tilt:
            return "tilt";
        case ScriptCommandKind::Background:
            return "background";
        case ScriptCommandKind::Foreground:
            return "foreground";
        case ScriptCommandKind::Action:
            return "action";
        case ScriptCommandKind::Press:
            return "press";
        case ScriptCommandKind::Screenshot:
            return "screenshot";
        case ScriptCommandKind::Stats:
            return "stats";
        case ScriptCommandKind::Camera:
            return "camera";
        case ScriptCommandKind::WaitCamera:
            return "wait-camera";
        case ScriptCommandKind::Quit:
            return "quit";
    }
    return "?";
}

std::optional<CameraScript> CameraScript::parse(std::string_view text, std::string* error) {
    // A byte-order mark before the first line is not part of it.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    CameraScript script;
    int lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (line.find('\0') != std::string_view::npos) {
            if (error) *error = "script line " + std::to_string(lineNumber) + ": a NUL byte";
            return std::nullopt;
        }
        LineParser parser(withoutComment(line), lineNumber);
        if (parser.empty()) continue;
        try {
            script.commands.push_back(parser.parse());
        } catch (const LineError& failure) {
            if (error)
                *error = "script line " + std::to_string(lineNumber) + ": " + failure.message;
            return std::nullopt;
        }
    }
    return script;
}

std::optional<CameraScript> CameraScript::load(const std::string& path, std::string* error) {
    std::string text;
    if (path == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::error_code ec;
        std::ifstream file(path, std::ios::binary);
        const int cause = errno;
        if (!file || std::filesystem::is_directory(path, ec)) {
            if (error)
                *error = "cannot read the script " + path + ": " +
                         (file ? std::string("it is a folder") : std::strerror(cause));
            return std::nullopt;
        }
        std::ostringstream buffer;
        buffer << file.rdbuf();
        if (file.bad()) {
            if (error) *error = "cannot read the script " + path;
            return std::nullopt;
        }
        text = buffer.str();
    }
    return parse(text, error);
}

}  // namespace hx::app

// Interface files are read by nlohmann-json's event (SAX) parser into InterfaceValues: events
// arrive in file order, so object members keep the order they were written in (properties are
// applied in that order), and the input is fed through an iterator that counts lines, so every
// value knows the line it starts on.

#include <nlohmann/json.hpp>

#include <cstddef>
#include <iterator>
#include <unordered_set>

#include "platform/ui/interface/InterfaceValue.h"

namespace hx::ui {

namespace {

// Deeper nesting than this is certainly a broken file.
constexpr int kMaxDepth = 64;

// Where the parser has read to.
struct ReadPosition {
    int line = 1;
    const char* lineStart = nullptr;
    const char* next = nullptr;  // the next character to read
    char last = 0;               // the character read most recently
};

// Hands the text to the parser one character at a time, counting lines as it goes.
class CountingIterator {
  public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator(const char* at, ReadPosition* position) : at_(at), position_(position) {}
    reference operator*() const { return *at_; }
    CountingIterator& operator++() {
        position_->last = *at_;
        if (*at_ == '\n') {
            ++position_->line;
            position_->lineStart = at_ + 1;
        }
        position_->next = ++at_;
        return *this;
    }
    friend bool operator==(const CountingIterator& a, const CountingIterator& b) {
        return a.at_ == b.at_;
    }

  private:
    const char* at_;
    ReadPosition* position_;
};

class ValueBuilder : public nlohmann::json_sax<nlohmann::json> {
  public:
    explicit ValueBuilder(const ReadPosition& position) : position_(position) {}

    bool null() override { return add(InterfaceValue()); }
    bool boolean(bool value) override { return add(InterfaceValue::boolean(value, line())); }
    bool number_integer(number_integer_t value) override { return number(double(value)); }
    bool number_unsigned(number_unsigned_t value) override { return number(double(value)); }
    bool number_float(number_float_t value, const string_t&) override { return number(value); }
    bool string(string_t& value) override {
        return add(InterfaceValue::string(std::move(value), line()));
    }
    bool binary(binary_t&) override { return fail("binary data is not JSON"); }

    bool start_object(std::size_t) override { return open(true); }
    bool key(string_t& name) override {
        Frame& frame = stack_.back();
        if (!frame.names.insert(name).second) return fail("member \"" + name + "\" appears twice");
        frame.key = std::move(name);
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(false); }
    bool end_array() override { return close(); }

    bool parse_error(std::size_t, const std::string&,
                     const nlohmann::detail::exception& ex) override {
        // "[json.exception.parse_error.101] parse error at line L, column C: reason"
        std::string message = ex.what();
        const std::size_t at = message.find("line ");
        error_ = at == std::string::npos ? message : message.substr(at);
        return false;
    }

    std::optional<InterfaceValue> result() { return std::move(result_); }
    const std::string& error() const { return error_; }

  private:
    struct Frame {
        bool object = false;
        int line = 0;
        std::vector<InterfaceValue> items;
        std::vector<InterfaceValue::Member> members;
        std::unordered_set<std::string> names;
        std::string key;
    };

    int line() const { return position_.line; }

    // A number is complete only once the character after it is read; when that was the line's
    // end, the number itself is on the line before.
    bool number(double value) {
        return add(InterfaceValue::number(value, line() - (position_.last == '\n' ? 1 : 0)));
    }

    bool add(InterfaceValue value) {
        if (stack_.empty()) {
            result_ = std::move(value);
        } else if (Frame& frame = stack_.back(); frame.object) {
            frame.members.emplace_back(std::move(frame.key), std::move(value));
        } else {
            frame.items.push_back(std::move(value));
        }
        return true;
    }

    bool open(bool object) {
        if (static_cast<int>(stack_.size()) >= kMaxDepth) return fail("nested too deeply");
        stack_.push_back({});
        stack_.back().object = object;
        stack_.back().line = line();
        return true;
    }

    bool close() {
        Frame frame = std::move(stack_.back());
        stack_.pop_back();
        return add(frame.object ? InterfaceValue::object(std::move(frame.members), frame.line)
                                : InterfaceValue::list(std::move(frame.items), frame.line));
    }

    // A mistake the parser cannot see, placed where it has read to.
    bool fail(const std::string& reason) {
        error_ = "line " + std::to_string(position_.line) + ", column " +
                 std::to_string(position_.next - position_.lineStart + 1) + ": " + reason;
        return false;
    }

    const ReadPosition& position_;
    std::vector<Frame> stack_;
    std::optional<InterfaceValue> result_;
    std::string error_;
};

}  // namespace

std::optional<InterfaceValue> parseInterfaceJson(std::string_view text, std::string* error) {
    ReadPosition position;
    position.lineStart = position.next = text.data();
    ValueBuilder builder(position);
    const CountingIterator begin(text.data(), &position);
    const CountingIterator end(text.data() + text.size(), &position);
    if (nlohmann::json::sax_parse(begin, end, &builder)) return builder.result();
    if (error) *error = builder.error();
    return std::nullopt;
}

}  // namespace hx::ui

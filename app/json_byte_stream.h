// The bytes of a JSON file for the streaming parser, read through one large buffer, with
// the string after a layer's "data" key diverted to a receiver so the parser never holds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <vector>

namespace app {

// One text or number larger than this is refused: the parser holds it whole, twice over.
// Layer data is not held (it goes straight to the decoder), so this bounds names and such.
inline constexpr uint64_t JSON_VALUE_LIMIT = uint64_t{8} << 20;

// Receives the characters of a diverted string, in pieces.
class TextReceiver {
public:
    virtual ~TextReceiver() = default;
    virtual void text_piece(std::string_view piece) = 0;
};

// The file's bytes for the parser. The parser would hold a string value twice over while
// it reads it (its token and a copy for messages), so the string that follows a layer's
// "data" key is diverted: its characters go to a receiver and the parser sees an empty string.
class JsonByteStream {
public:
    explicit JsonByteStream(int fd) : fd_(fd), buffer_(READ_CHUNK) {}

    // Called when the parser has just read the key: the value that follows, if a string,
    // goes to the receiver.
    void divert_next_string(TextReceiver* receiver) {
        receiver_ = receiver;
        divert_ = Divert::before_value;
        diverted_ = false;
    }
    // Whether the last string was diverted (and so the parser saw it empty).
    bool take_diverted() {
        const bool was = diverted_;
        diverted_ = false;
        return was;
    }
    bool failed() const { return failed_; }
    // Whether the file was cut short at a value larger than the limit.
    bool value_too_large() const { return too_large_; }

    // The parser's view: the next byte, or -1 at the end.
    int peek() {
        if (!ready_) {
            next_ = watch(produce());
            ready_ = true;
        }
        return next_;
    }
    void advance() {
        peek();
        ready_ = false;
    }

    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = char;
        using difference_type = std::ptrdiff_t;
        using pointer = const char*;
        using reference = char;
        explicit Iterator(JsonByteStream* stream = nullptr) : stream_(stream) {}
        char operator*() const { return static_cast<char>(stream_->peek()); }
        Iterator& operator++() {
            stream_->advance();
            return *this;
        }
        bool operator==(const Iterator& other) const { return at_end() == other.at_end(); }
        bool operator!=(const Iterator& other) const { return !(*this == other); }

    private:
        bool at_end() const { return stream_ == nullptr || stream_->peek() < 0; }
        JsonByteStream* stream_;
    };

private:
    enum class Divert { off, before_value, inside };
    static constexpr size_t READ_CHUNK = size_t{1} << 20;
    static constexpr size_t DIVERT_PIECE = 64 * 1024;

    // Follows strings and other values (numbers, literals) in what the parser gets, and
    // ends the file for it once one grows beyond the limit.
    int watch(int c);
    // The next byte of the file, or -1 at its end or on a read error.
    int raw();
    // The next byte for the parser, after handing a diverted string to the receiver.
    int produce();

    int fd_;
    std::vector<char> buffer_;
    size_t begin_ = 0, end_ = 0;
    uint64_t offset_ = 0;
    bool failed_ = false;
    bool ready_ = false;
    int next_ = 0;
    Divert divert_ = Divert::off;
    bool diverted_ = false;
    TextReceiver* receiver_ = nullptr;
    bool in_string_ = false, escaped_ = false, too_large_ = false;
    uint64_t value_length_ = 0;
};

}  // namespace app

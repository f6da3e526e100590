// Reading by pread at a moving offset: the reader makes two passes over one open file.
#include "app/json_byte_stream.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace app {

int JsonByteStream::watch(int c) {
    if (c < 0 || too_large_) return too_large_ ? -1 : c;
    if (in_string_) {
        if (escaped_)
            escaped_ = false;
        else if (c == '\\')
            escaped_ = true;
        else if (c == '"')
            in_string_ = false;
    } else if (c == '"') {
        in_string_ = true;
        value_length_ = 0;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ':' || c == '[' ||
               c == ']' || c == '{' || c == '}') {
        value_length_ = 0;
    }
    if (++value_length_ > JSON_VALUE_LIMIT) {
        too_large_ = true;
        return -1;
    }
    return c;
}

int JsonByteStream::raw() {
    if (begin_ == end_) {
        ssize_t got;
        do {
            got = ::pread(fd_, buffer_.data(), buffer_.size(), static_cast<off_t>(offset_));
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            failed_ = failed_ || got < 0;
            return -1;
        }
        offset_ += static_cast<uint64_t>(got);
        begin_ = 0;
        end_ = static_cast<size_t>(got);
    }
    return static_cast<unsigned char>(buffer_[begin_++]);
}

int JsonByteStream::produce() {
    int c = raw();
    if (divert_ == Divert::before_value) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ':') return c;
        if (c != '"') {
            divert_ = Divert::off;  // not a string: the parser reads it as ever
            return c;
        }
        divert_ = Divert::inside;
        return c;  // the opening quote; the closing one follows at once
    }
    if (divert_ != Divert::inside) return c;
    // Inside the diverted string: hand its characters on, up to the closing quote.
    std::string piece;
    for (;;) {
        if (c < 0) break;  // the file ends inside the string: the parser says so
        if (c == '"') break;
        if (c == '\\') {
            const int escaped = raw();
            // An escaped slash is a slash; escaped line ends are blanks; anything else
            // is no base64 character, and the decoder refuses it.
            c = escaped == '/' ? '/' : escaped == 'n' || escaped == 'r' || escaped == 't' ? ' ' : '\\';
            if (escaped < 0) break;
        }
        piece.push_back(static_cast<char>(c));
        if (piece.size() >= DIVERT_PIECE) {
            receiver_->text_piece(piece);
            piece.clear();
        }
        c = raw();
    }
    if (!piece.empty()) receiver_->text_piece(piece);
    divert_ = Divert::off;
    diverted_ = true;
    return c;
}

}  // namespace app

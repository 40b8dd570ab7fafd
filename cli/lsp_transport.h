#pragma once
// The base protocol of the language server: each message is a header ("Content-Length: N", lines
// ending in CR LF), a blank line and N bytes of JSON. The reader holds at most one message and a small
// buffer, whatever the input: a header that is too long or a length beyond the limit is skipped over
// and reported, never stored.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace qm::cli {

// The largest message taken: a module of 65,534 lines of 1,023 characters, written as JSON, and room.
inline constexpr std::size_t kMaxMessageBytes = 256u * 1024u * 1024u;

class FrameReader {
public:
    // read fills up to size bytes and returns how many; 0 at the end of the input.
    using ReadFunction = std::function<std::size_t(char* buffer, std::size_t size)>;
    explicit FrameReader(ReadFunction read, std::size_t maxMessage = kMaxMessageBytes) : read_(std::move(read)), maxMessage_(maxMessage) {}

    struct Frame {
        enum class Kind { Message, Error, End };
        Kind kind = Kind::End;
        std::string body;   // the message
        std::string error;  // what was wrong with a header, for the error response
    };
    // The next message, a header that could not be taken (its body, when its length was known, is
    // skipped), or the end of the input.
    Frame Next();
    // Input is read already and waits in the buffer.
    bool Buffered() const { return at_ < end_; }

private:
    bool Fill();
    // One header line without its line end; false at the end of the input. A line longer than the
    // limit is read to its end and reported as too long.
    bool Line(std::string& line, bool& tooLong);
    // Skips count bytes; false when the input ends first.
    bool Skip(std::size_t count);

    ReadFunction read_;
    std::size_t maxMessage_;
    char buffer_[65536] = {};
    std::size_t at_ = 0;
    std::size_t end_ = 0;
    std::size_t skipNext_ = 0;  // the body of a message too large to take, gone past before the next header
};

// A message with its header.
std::string FrameOf(std::string_view body);

}  // namespace qm::cli

#include "cli/lsp_transport.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace qm::cli {
namespace {

constexpr std::size_t kMaxHeaderLine = 4096;
constexpr int kMaxHeaderLines = 32;

std::string Lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return out;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

bool FrameReader::Fill() {
    if (at_ < end_) return true;
    at_ = 0;
    end_ = read_(buffer_, sizeof buffer_);
    return end_ > 0;
}

bool FrameReader::Line(std::string& line, bool& tooLong) {
    line.clear();
    tooLong = false;
    for (;;) {
        if (!Fill()) return false;
        const char* start = buffer_ + at_;
        const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - at_));
        const std::size_t count = newline == nullptr ? end_ - at_ : static_cast<std::size_t>(newline - start);
        if (!tooLong) {
            if (line.size() + count > kMaxHeaderLine) {
                tooLong = true;
                line.clear();
            } else {
                line.append(start, count);
            }
        }
        at_ += count;
        if (newline != nullptr) {
            ++at_;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
    }
}

bool FrameReader::Skip(std::size_t count) {
    while (count > 0) {
        if (!Fill()) return false;
        const std::size_t step = std::min(count, end_ - at_);
        at_ += step;
        count -= step;
    }
    return true;
}

FrameReader::Frame FrameReader::Next() {
    Frame frame;
    if (skipNext_ > 0) {
        const std::size_t count = std::exchange(skipNext_, 0);
        if (!Skip(count)) return frame;
    }
    std::string line;
    bool tooLong = false;
    bool any = false;
    bool hasLength = false;
    std::size_t length = 0;
    std::string problem;
    int lines = 0;
    for (;;) {
        if (!Line(line, tooLong)) return frame;          // the end, also in the middle of a header
        if (!any && !tooLong && line.empty()) continue;  // blank lines between messages
        any = true;
        if (tooLong) {
            if (problem.empty()) problem = "a header line is longer than " + std::to_string(kMaxHeaderLine) + " bytes";
            continue;
        }
        if (line.empty()) break;
        if (++lines > kMaxHeaderLines) {
            if (problem.empty()) problem = "the header has more than " + std::to_string(kMaxHeaderLines) + " lines";
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string::npos) {
            if (problem.empty()) problem = "a header line without \":\"";
            continue;
        }
        if (Lowered(Trimmed(std::string_view(line).substr(0, colon))) != "content-length") continue;
        const std::string_view value = Trimmed(std::string_view(line).substr(colon + 1));
        if (value.empty() || value.size() > 18 || value.find_first_not_of("0123456789") != std::string_view::npos) {
            if (problem.empty()) problem = "Content-Length is not a number of bytes";
            continue;
        }
        std::size_t parsed = 0;
        for (const char c : value) parsed = parsed * 10 + static_cast<std::size_t>(c - '0');
        if (hasLength && parsed != length && problem.empty()) problem = "two different Content-Length lines";
        hasLength = true;
        length = parsed;
    }
    frame.kind = Frame::Kind::Error;
    if (!problem.empty() || !hasLength) {
        frame.error = problem.empty() ? "the header has no Content-Length" : problem;
        // With a length that was read, its body goes too; without, the next header follows.
        if (hasLength && problem.rfind("two different", 0) != 0 && !Skip(length)) frame.kind = Frame::Kind::End;
        return frame;
    }
    if (length > maxMessage_) {
        frame.error = "a message of " + std::to_string(length) + " bytes is larger than the " + std::to_string(maxMessage_) + " taken";
        // Answered first, its body gone past after: a client that never sends it still hears why.
        skipNext_ = length;
        return frame;
    }
    frame.body.reserve(std::min<std::size_t>(length, sizeof buffer_));
    while (frame.body.size() < length) {
        if (!Fill()) return Frame{};
        const std::size_t step = std::min(length - frame.body.size(), end_ - at_);
        frame.body.append(buffer_ + at_, step);
        at_ += step;
    }
    frame.kind = Frame::Kind::Message;
    return frame;
}

std::string FrameOf(std::string_view body) {
    std::string out = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    out.append(body);
    return out;
}

}  // namespace qm::cli

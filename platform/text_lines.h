#pragma once
// Lines of a module's text as the readers of stamps and declarations see them, without a string held
// for each: a line is made into a string when it is read.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Lines as a module holds them, made into text when asked for: the holder may keep them in another
// form (a source file keeps the bytes it read, so that a large file is held once).
class LineSource {
public:
    virtual std::size_t LineCount() const = 0;
    // Line `i` (0-based) as text.
    virtual std::u16string Line(std::size_t i) const = 0;
    // Puts lines in front of line `at` (LineCount() for after the last).
    virtual void InsertLines(std::size_t at, const std::vector<std::u16string>& lines) = 0;

protected:
    LineSource() = default;
    LineSource(const LineSource&) = default;
    LineSource(LineSource&&) = default;
    LineSource& operator=(const LineSource&) = default;
    LineSource& operator=(LineSource&&) = default;
    ~LineSource() = default;
};

// The text of every line one after the other, and where each starts: one start more than there are
// lines, the last where the text ends.
struct LineBuffer final : LineSource {
    LineBuffer() = default;  // no aggregate: a list of strings in braces is never taken for one

    std::u16string text;
    std::vector<std::uint32_t> starts{0};

    std::size_t size() const { return starts.size() - 1; }
    bool empty() const { return starts.size() == 1; }
    std::u16string_view operator[](std::size_t i) const { return std::u16string_view(text).substr(starts[i], starts[i + 1] - starts[i]); }
    // Throws std::length_error when the text would pass what 32 bits can place.
    void Append(std::u16string_view line) {
        if (text.size() + line.size() > UINT32_MAX) throw std::length_error("the text is too long");
        text += line;
        starts.push_back(static_cast<std::uint32_t>(text.size()));
    }

    std::size_t LineCount() const override { return size(); }
    std::u16string Line(std::size_t i) const override { return std::u16string((*this)[i]); }
    // The new lines' text goes in where the line starts; the starts after it move on by its length.
    // Throws std::length_error as Append does.
    void InsertLines(std::size_t at, const std::vector<std::u16string>& lines) override {
        std::u16string joined;
        std::vector<std::uint32_t> added;
        added.reserve(lines.size());
        for (const auto& line : lines) {
            if (text.size() + joined.size() + line.size() > UINT32_MAX) throw std::length_error("the text is too long");
            added.push_back(static_cast<std::uint32_t>(starts[at] + joined.size()));
            joined += line;
        }
        const auto length = static_cast<std::uint32_t>(joined.size());
        text.insert(starts[at], joined);
        for (std::size_t k = at; k < starts.size(); ++k) starts[k] += length;
        starts.insert(starts.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
    }
};

// A read-only view of lines, held either way: a list of strings or a LineSource. It does not own
// them; they must outlive it and stay as they are while it is used. A line comes as its own string,
// made when it is read.
class TextLines {
public:
    // Implicit, so that a list of strings is taken wherever lines are read.
    TextLines(const std::vector<std::u16string>& list) : list_(&list) {}  // NOLINT(google-explicit-constructor)
    TextLines(const LineSource& source) : source_(&source) {}             // NOLINT(google-explicit-constructor)

    std::size_t size() const { return list_ != nullptr ? list_->size() : source_->LineCount(); }
    bool empty() const { return size() == 0; }
    std::u16string operator[](std::size_t i) const { return list_ != nullptr ? (*list_)[i] : source_->Line(i); }

    class iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = std::u16string;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::u16string;

        iterator() = default;
        std::u16string operator*() const { return list_ != nullptr ? (*list_)[at_] : source_->Line(at_); }
        iterator& operator++() {
            ++at_;
            return *this;
        }
        iterator operator++(int) {
            iterator before = *this;
            ++at_;
            return before;
        }
        iterator operator+(difference_type n) const {
            iterator moved = *this;
            moved.at_ += static_cast<std::size_t>(n);
            return moved;
        }
        difference_type operator-(const iterator& other) const {
            return static_cast<difference_type>(at_) - static_cast<difference_type>(other.at_);
        }
        bool operator==(const iterator& other) const { return at_ == other.at_; }

    private:
        friend class TextLines;
        const std::vector<std::u16string>* list_ = nullptr;  // the view's, copied: an iterator outlives a temporary view
        const LineSource* source_ = nullptr;
        std::size_t at_ = 0;
    };
    iterator begin() const { return At(0); }
    iterator end() const { return At(size()); }

private:
    iterator At(std::size_t at) const {
        iterator it;
        it.list_ = list_;
        it.source_ = source_;
        it.at_ = at;
        return it;
    }
    const std::vector<std::u16string>* list_ = nullptr;
    const LineSource* source_ = nullptr;
};

}  // namespace qm

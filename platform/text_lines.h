#pragma once
// Lines of a module's text as the readers of stamps and declarations see them, without a string for
// each: a module of a million short lines costs its text and four bytes a line.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The text of every line one after the other, and where each starts: one start more than there are
// lines, the last where the text ends.
struct LineBuffer {
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
};

// A read-only view of lines, held either way: a list of strings or a LineBuffer. It does not own
// them; they must outlive it and stay as they are while it is used.
class TextLines {
public:
    // Implicit, so that a list of strings is taken wherever lines are read.
    TextLines(const std::vector<std::u16string>& list) : list_(&list) {}  // NOLINT(google-explicit-constructor)
    TextLines(const LineBuffer& buffer) : buffer_(&buffer) {}             // NOLINT(google-explicit-constructor)

    std::size_t size() const { return list_ != nullptr ? list_->size() : buffer_->size(); }
    bool empty() const { return size() == 0; }
    std::u16string_view operator[](std::size_t i) const { return list_ != nullptr ? std::u16string_view((*list_)[i]) : (*buffer_)[i]; }

    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::u16string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::u16string_view;

        iterator() = default;
        std::u16string_view operator*() const { return list_ != nullptr ? std::u16string_view((*list_)[at_]) : (*buffer_)[at_]; }
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
        const LineBuffer* buffer_ = nullptr;
        std::size_t at_ = 0;
    };
    iterator begin() const { return At(0); }
    iterator end() const { return At(size()); }

private:
    iterator At(std::size_t at) const {
        iterator it;
        it.list_ = list_;
        it.buffer_ = buffer_;
        it.at_ = at;
        return it;
    }
    const std::vector<std::u16string>* list_ = nullptr;
    const LineBuffer* buffer_ = nullptr;
};

}  // namespace qm

#include <windows.h>

#include <iostream>
#include <streambuf>
#include <string>

#include "platform/text.h"
#include "platform/win32/console.h"
#include "platform/win32/wide.h"

namespace qm::win32 {

namespace {

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

void WriteBytes(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        // A closed pipe (a reader that stopped early) ends the output, not the program.
        if (!WriteFile(handle, bytes.data(), chunk, &n, nullptr) || n == 0) return;
        bytes.remove_prefix(n);
    }
}

// How many bytes at the start of text are whole UTF-8 sequences: a sequence cut by a flush waits for
// its other bytes.
std::size_t WholeSequences(std::string_view text) {
    std::size_t start = text.size();
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        const auto c = static_cast<unsigned char>(text[text.size() - back]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (length > back) start = text.size() - back;
        break;
    }
    return start;
}

class TextBuffer : public std::streambuf {
public:
    TextBuffer(HANDLE handle, PipeText pipes) : handle_(handle), console_(IsConsole(handle)), pipes_(pipes) {}

    bool Console() const { return console_; }

    int sync() override {
        const std::size_t whole = WholeSequences(pending_);
        Emit(std::string_view(pending_).substr(0, whole));
        pending_.erase(0, whole);
        return 0;
    }

    // Raw bytes bypass the conversion, after the text before them.
    void Raw(std::string_view bytes) {
        Emit(pending_);
        pending_.clear();
        WriteBytes(handle_, bytes);
    }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        xsputn(&ch, 1);
        return c;
    }

    std::streamsize xsputn(const char* s, std::streamsize n) override {
        const std::string_view text(s, static_cast<std::size_t>(n));
        pending_.append(text);
        if ((console_ && text.find('\n') != std::string_view::npos) || pending_.size() >= (1u << 16)) sync();
        return n;
    }

private:
    void Emit(std::string_view utf8) {
        if (utf8.empty()) return;
        if (!console_ && pipes_ == PipeText::Utf8) {
            WriteBytes(handle_, utf8);
            return;
        }
        const std::wstring wide = Wide(Utf8ToUtf16(utf8));
        if (console_) {
            for (std::size_t done = 0; done < wide.size();) {
                DWORD n = 0;
                const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
                if (!WriteConsoleW(handle_, wide.data() + done, chunk, &n, nullptr) || n == 0) return;
                done += n;
            }
            return;
        }
        // Characters that code page 932 cannot write become "?", as the system's own conversion does.
        const int size = WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
        if (size <= 0) return;
        std::string bytes(static_cast<std::size_t>(size), '\0');
        WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), size, nullptr, nullptr);
        WriteBytes(handle_, bytes);
    }

    HANDLE handle_;
    bool console_;
    PipeText pipes_;
    std::string pending_;
};

// They live as long as the program: std::cout is flushed after every static object is gone.
TextBuffer* out = nullptr;
TextBuffer* err = nullptr;

}  // namespace

PipeText PipeTextFromEnvironment(std::string* warning) {
    wchar_t value[32] = {};
    const DWORD n = GetEnvironmentVariableW(L"QUILLMARK_CODEPAGE", value, 32);
    if (n == 0) return PipeText::Utf8;
    const std::u16string text = n < 32 ? FromWide(value) : u"?";
    if (text == u"932" || text == u"cp932" || text == u"CP932") return PipeText::Cp932;
    if (text == u"65001" || text == u"utf-8" || text == u"UTF-8" || text == u"utf8" || text == u"UTF8") return PipeText::Utf8;
    if (warning != nullptr) *warning = "QUILLMARK_CODEPAGE is neither 932 nor 65001 (UTF-8): the output stays UTF-8";
    return PipeText::Utf8;
}

void UseTextStreams(PipeText pipes) {
    std::cout.flush();
    std::cerr.flush();
    out = new TextBuffer(GetStdHandle(STD_OUTPUT_HANDLE), pipes);
    err = new TextBuffer(GetStdHandle(STD_ERROR_HANDLE), pipes);
    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
}

bool StdoutIsConsole() { return out != nullptr ? out->Console() : IsConsole(GetStdHandle(STD_OUTPUT_HANDLE)); }

void WriteStdoutBytes(std::string_view bytes) {
    if (out != nullptr) {
        out->Raw(bytes);
    } else {
        std::cout.flush();
        WriteBytes(GetStdHandle(STD_OUTPUT_HANDLE), bytes);
    }
}

}  // namespace qm::win32

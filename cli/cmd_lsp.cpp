// quillmark lsp: the language server over standard input and output. One thread does everything:
// between messages it waits for input only as long as the next diagnostics may wait, so that they
// come after a pause in the typing (the Windows compilers of the build have no std::thread).
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>

#include "cli/lsp_server.h"
#include "cli/lsp_transport.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <poll.h>
#include <unistd.h>
#endif

namespace qm::cli {
namespace {

std::size_t ReadInput(char* buffer, std::size_t size) {
#ifdef _WIN32
    const int got = _read(0, buffer, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 20)));
    return got > 0 ? static_cast<std::size_t>(got) : 0;
#else
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, buffer, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) return 0;
    }
#endif
}

// Waits until input can be read or the time has passed; true when input (or its end) is there.
bool InputWithin(std::chrono::milliseconds wait) {
#ifdef _WIN32
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (GetFileType(input) != FILE_TYPE_PIPE) return true;
    const auto until = std::chrono::steady_clock::now() + wait;
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) || available > 0) return true;
        if (std::chrono::steady_clock::now() >= until) return false;
        Sleep(5);
    }
#else
    pollfd input{STDIN_FILENO, POLLIN, 0};
    for (;;) {
        const int ready = poll(&input, 1, static_cast<int>(wait.count()));
        if (ready >= 0) return ready > 0;
        if (errno != EINTR) return true;
    }
#endif
}

}  // namespace

int RunLanguageServer() {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
#ifdef SIGPIPE
    // A client that went away ends the server at the end of its input, not by a signal on a write.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    FrameReader reader(ReadInput);
    LspServer server([](const std::string& body) {
        const std::string framed = FrameOf(body);
        std::fwrite(framed.data(), 1, framed.size(), stdout);
        std::fflush(stdout);
    });
    for (;;) {
        if (const auto next = server.NextTick(); next && !reader.Buffered()) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - LspServer::Clock::now());
            if (wait.count() <= 0 || !InputWithin(wait)) {
                server.Tick(LspServer::Clock::now());
                continue;
            }
        }
        const FrameReader::Frame frame = reader.Next();
        switch (frame.kind) {
            case FrameReader::Frame::Kind::End:
                // The client is gone: nothing to answer, nothing to keep.
                return server.ExitStatus().value_or(1);
            case FrameReader::Frame::Kind::Error:
                server.BadFrame(frame.error);
                break;
            case FrameReader::Frame::Kind::Message:
                server.Receive(frame.body, LspServer::Clock::now());
                break;
        }
        if (server.ExitStatus()) return *server.ExitStatus();
    }
}

}  // namespace qm::cli

// The language server's input: whatever bytes arrive, split into reads of any size, the message
// reader takes them or reports a header it cannot take, never holds more than one message, and every
// message the JSON reader takes is written back as JSON that reads the same. The server answers
// every message without a crash (it only reads files, never writes one).
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/json.h"
#include "cli/lsp_server.h"
#include "cli/lsp_transport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte sets how many bytes each read gives.
    const std::size_t step = 1 + data[0] % 61;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::size_t at = 0;
    qm::cli::FrameReader reader(
        [&](char* buffer, std::size_t room) {
            const std::size_t n = std::min({room, step, input.size() - at});
            std::copy_n(input.data() + at, n, buffer);
            at += n;
            return n;
        },
        1 << 16);
    std::size_t sent = 0;
    qm::cli::LspServer server([&](const std::string& body) {
        sent += body.size();
        // Everything the server says is JSON itself.
        try {
            qm::cli::ParseJson(body);
        } catch (const qm::cli::JsonError&) {
            __builtin_trap();
        }
    });
    const auto now = std::chrono::steady_clock::time_point{};
    for (int frames = 0; frames < 64; ++frames) {
        const qm::cli::FrameReader::Frame frame = reader.Next();
        if (frame.kind == qm::cli::FrameReader::Frame::Kind::End) break;
        if (frame.kind == qm::cli::FrameReader::Frame::Kind::Error) {
            if (frame.error.empty()) __builtin_trap();
            server.BadFrame(frame.error);
            continue;
        }
        if (frame.body.size() > input.size()) __builtin_trap();
        try {
            const qm::cli::Json value = qm::cli::ParseJson(frame.body);
            const std::string written = value.Write();
            if (qm::cli::ParseJson(written).Write() != written) __builtin_trap();
        } catch (const qm::cli::JsonError& e) {
            if (e.message.empty()) __builtin_trap();
        }
        server.Receive(frame.body, now);
        server.Tick(now + std::chrono::seconds(1));
        if (server.ExitStatus()) break;
    }
    return 0;
}

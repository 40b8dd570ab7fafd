#include "cli/lsp_server.h"

#include <algorithm>
#include <set>
#include <filesystem>
#include <limits>
#include <new>

#include "addin/stamps/function_stamp.h"
#include "cli/findings.h"
#include "cli/policy.h"
#include "cli/source_file.h"
#include "cli/sources.h"
#include "cli/stamp_blocks.h"
#include "cli/store.h"
#include "cli/text_steps.h"
#include "platform/clock.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/text.h"

namespace qm::cli {
namespace {

// JSON-RPC's and the protocol's error codes.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kServerNotInitialized = -32002;
constexpr int kRequestFailed = -32803;

// Parameters a request cannot be answered with.
struct InvalidParams {
    std::string message;
};
// A request that was understood, but whose step failed on this text or with this store.
struct RequestFailed {
    std::string message;
};

// What the internal command names do, and the titles the editor shows.
constexpr const char* kModuleHeaderStep = "moduleHeader";
constexpr const char* kInsertTitle = "Insert function-description stamp";
constexpr const char* kWrapTitle = "Wrap selection in edit-record stamp";
constexpr const char* kRefreshTitle = "Refresh this stamp";
constexpr const char* kStampAllTitle = "Stamp every procedure of this file";

std::size_t CharacterLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// Units of a character in the agreed encoding.
std::int64_t UnitsOf(std::size_t bytes, PositionUnits units) {
    if (units == PositionUnits::Utf8) return static_cast<std::int64_t>(bytes);
    return bytes == 4 ? 2 : 1;
}

// Units of the characters of `bytes`; one cut short at the end counts as the bytes it has.
std::int64_t UnitsIn(std::string_view bytes, PositionUnits units) {
    std::int64_t counted = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = std::min(CharacterLength(static_cast<unsigned char>(bytes[at])), bytes.size() - at);
        counted += UnitsOf(length, units);
        at += length;
    }
    return counted;
}

bool HasControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

std::string FolderOf(const std::string& path) { return FolderOfPath(path); }

// The check policy of a file, or none; one that cannot be read or taken counts as none, and says so.
CheckPolicy PolicyOfFile(const std::string& path, std::string* problem) {
    const auto file = PolicyFileOf(
        path, [](const std::string& p) { return FileExists(p); }, GitWorkTreeOf(FolderOf(path)));
    if (!file) return {};
    try {
        CheckPolicy policy = ParsePolicy(ReadWholeFile(*file), *file);
        policy.folder = FolderOf(*file);
        return policy;
    } catch (const PlatformError& e) {
        if (problem != nullptr) *problem = *file + ": cannot read: " + e.what();
    } catch (const PolicyError& e) {
        if (problem != nullptr) *problem = e.message;
    }
    return {};
}

Json PositionJson(std::pair<std::int64_t, std::int64_t> position) {
    return Json::Object().Set("line", Json(position.first)).Set("character", Json(position.second));
}

std::int64_t NumberIn(const Json& object, std::string_view key) {
    const auto value = object[key].AsInteger();
    if (!value || *value < 0) throw InvalidParams{"\"" + std::string(key) + "\" must be a whole number of at least 0"};
    return *value;
}

}  // namespace

// ---- the document's text

void LspDocument::SetText(std::string text) {
    text_ = std::move(text);
    starts_.assign(1, 0);
    for (std::size_t i = 0; i < text_.size(); ++i) {
        const char c = text_[i];
        if (c == '\n' || (c == '\r' && (i + 1 == text_.size() || text_[i + 1] != '\n'))) starts_.push_back(i + 1);
    }
}

std::size_t LspDocument::LineEnd(std::size_t line) const {
    std::size_t end = line + 1 < starts_.size() ? starts_[line + 1] : text_.size();
    if (end > starts_[line] && line + 1 < starts_.size() && text_[end - 1] == '\n') --end;
    if (end > starts_[line] && line + 1 < starts_.size() && text_[end - 1] == '\r') --end;
    return end;
}

std::size_t LspDocument::OffsetOf(std::int64_t line, std::int64_t character, PositionUnits units) const {
    if (line < 0) return 0;
    if (static_cast<std::uint64_t>(line) >= starts_.size()) return text_.size();
    const auto index = static_cast<std::size_t>(line);
    const std::size_t end = LineEnd(index);
    std::size_t at = starts_[index];
    std::int64_t counted = 0;
    while (at < end) {
        const std::size_t length = std::min(CharacterLength(static_cast<unsigned char>(text_[at])), end - at);
        const std::int64_t units_ = UnitsOf(length, units);
        if (counted + units_ > character) break;
        counted += units_;
        at += length;
    }
    return at;
}

std::pair<std::int64_t, std::int64_t> LspDocument::PositionOf(std::size_t offset, PositionUnits units) const {
    offset = std::min(offset, text_.size());
    const auto line = static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) - starts_.begin() - 1);
    return {static_cast<std::int64_t>(line), UnitsIn(std::string_view(text_).substr(starts_[line], offset - starts_[line]), units)};
}

std::int64_t LspDocument::LineLength(std::size_t line, PositionUnits units) const {
    if (line >= starts_.size()) return 0;
    return PositionOf(LineEnd(line), units).second;
}

bool LspDocument::IsLineStart(std::size_t offset) const {
    if (offset == 0 || offset > text_.size()) return false;
    const char before = text_[offset - 1];
    return before == '\n' || (before == '\r' && (offset == text_.size() || text_[offset] != '\n'));
}

void LspDocument::Replace(std::size_t from, std::size_t to, std::string_view text) {
    from = std::min(from, text_.size());
    to = std::clamp(to, from, text_.size());
    text_.replace(from, to - from, text);
    // Whether a line starts at an offset depends on the bytes before it and at it: only the starts
    // from `from` to one past the new bytes can change; those after them move by the difference.
    const auto first = static_cast<std::size_t>(std::lower_bound(starts_.begin() + 1, starts_.end(), from) - starts_.begin());
    const auto last = static_cast<std::size_t>(
        std::upper_bound(starts_.begin() + static_cast<std::ptrdiff_t>(first), starts_.end(), to + 1) - starts_.begin());
    for (std::size_t i = last; i < starts_.size(); ++i) starts_[i] = starts_[i] - (to - from) + text.size();
    std::vector<std::size_t> fresh;
    const std::size_t freshEnd = std::min(from + text.size() + 1, text_.size());
    for (std::size_t at = std::max<std::size_t>(from, 1); at <= freshEnd; ++at) {
        if (IsLineStart(at)) fresh.push_back(at);
    }
    starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(first), starts_.begin() + static_cast<std::ptrdiff_t>(last));
    starts_.insert(starts_.begin() + static_cast<std::ptrdiff_t>(first), fresh.begin(), fresh.end());
}

namespace {

using Place = std::pair<std::int64_t, std::int64_t>;  // a line, and a character in it

// Where a text ends when bytes are put on its end: its line and the units of its last line. A CR
// ends a line at once; an LF just after it belongs to the same line end.
struct TextEnd {
    std::int64_t line = 0;
    std::int64_t units = 0;
    bool afterCr = false;
    void Advance(std::string_view bytes, PositionUnits in) {
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t stop = std::min(bytes.find_first_of("\r\n", at), bytes.size());
            if (stop > at) {
                units += UnitsIn(bytes.substr(at, stop - at), in);
                afterCr = false;
            }
            if (stop == bytes.size()) break;
            const char c = bytes[stop];
            if (c == '\r' || !afterCr) ++line;
            units = 0;
            afterCr = c == '\r';
            at = stop + 1;
        }
    }
};

}  // namespace

bool LspDocument::Apply(const std::vector<Change>& changes, PositionUnits units) {
    // A run of changes that each lie wholly in front of the one before (as editors send the edits of
    // several carets), or wholly after what the one before put in, is made in one pass over the text.
    struct Piece {
        std::size_t from, to;
        std::string_view text;
    };
    enum class Run { None, Backward, Forward };
    Run run = Run::None;
    // Backward: the pieces, in the text as it was, and the last one's start when it names its place exactly.
    std::vector<Piece> pieces;
    std::optional<Place> exactStart;
    // Forward: the text made so far, where the rest of the old text starts, and where the made text ends.
    std::string made;
    std::size_t rest = 0;
    TextEnd madeEnd;

    const auto flush = [&] {
        if (run == Run::Backward && pieces.size() == 1) {
            Replace(pieces[0].from, pieces[0].to, pieces[0].text);
        } else if (run == Run::Backward) {
            std::size_t size = text_.size();
            for (const Piece& piece : pieces) size = size - (piece.to - piece.from) + piece.text.size();
            std::string changed;
            changed.reserve(size);
            std::size_t at = 0;
            for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) {
                changed.append(text_, at, piece->from - at).append(piece->text);
                at = piece->to;
            }
            changed.append(text_, at, std::string::npos);
            SetText(std::move(changed));
        } else if (run == Run::Forward) {
            made.append(text_, rest, std::string::npos);
            SetText(std::move(made));
            made = std::string();
        }
        run = Run::None;
        pieces.clear();
        exactStart.reset();
    };
    // A change that carries a run on, made or gathered; false when it does not.
    const auto carryOn = [&](Place start, Place end, std::string_view text) {
        if (run == Run::Backward && exactStart && end <= *exactStart) {
            // In front of every piece so far: its place is the same in the text as it was.
            const std::size_t from = OffsetOf(start.first, start.second, units);
            const std::size_t to = OffsetOf(end.first, end.second, units);
            if (to < from) return false;
            pieces.push_back({from, to, text});
            if (PositionOf(from, units) == start)
                exactStart = start;
            else
                exactStart.reset();
            return true;
        }
        if (run == Run::Backward && pieces.size() == 1 && start >= PositionOf(pieces[0].from, units)) {
            // The second change decides which way a run goes.
            const Piece first = pieces[0];
            made.assign(text_, 0, first.from);
            made.append(first.text);
            madeEnd = {};
            madeEnd.Advance(made, units);
            rest = first.to;
            pieces.clear();
            run = Run::Forward;
        }
        if (run != Run::Forward) return false;
        // A CR made just before an LF of the old text would join it into one line end.
        if (madeEnd.afterCr && rest < text_.size() && text_[rest] == '\n') return false;
        if (start < Place{madeEnd.line, madeEnd.units}) return false;
        // After what is made: a place on its last line continues the old line at `rest`; one
        // below is that many lines below it in the old text.
        const Place old = PositionOf(rest, units);
        // (Counts from the client may be as large as a number can be: they stop there.)
        const auto plus = [](std::int64_t a, std::int64_t b) {
            constexpr std::int64_t most = std::numeric_limits<std::int64_t>::max();
            return b > most - a ? most : a + b;
        };
        const auto inOld = [&](Place place) {
            return place.first == madeEnd.line ? Place{old.first, plus(old.second, place.second - madeEnd.units)}
                                               : Place{plus(old.first, place.first - madeEnd.line), place.second};
        };
        const Place oldStart = inOld(start);
        const Place oldEnd = inOld(end);
        const std::size_t from = std::max(OffsetOf(oldStart.first, oldStart.second, units), rest);
        const std::size_t to = OffsetOf(oldEnd.first, oldEnd.second, units);
        if (to < from) return false;
        madeEnd.Advance(std::string_view(text_).substr(rest, from - rest), units);
        made.append(text_, rest, from - rest);
        madeEnd.Advance(text, units);
        made.append(text);
        rest = to;
        return true;
    };
    for (const Change& change : changes) {
        const Place start{change.startLine, change.startCharacter};
        const Place end{change.endLine, change.endCharacter};
        if (run != Run::None && carryOn(start, end, change.text)) continue;
        flush();
        const std::size_t from = OffsetOf(start.first, start.second, units);
        const std::size_t to = OffsetOf(end.first, end.second, units);
        if (to < from) return false;
        run = Run::Backward;
        pieces.push_back({from, to, change.text});
        if (PositionOf(from, units) == start) exactStart = start;
    }
    flush();
    return true;
}

std::vector<std::size_t> LspDocument::FileLineStarts() const {
    std::vector<std::size_t> out;
    out.reserve(starts_.size());
    for (const std::size_t start : starts_) {
        if (start == 0 || text_[start - 1] == '\n') out.push_back(start);
    }
    return out;
}

namespace {

// Places as the command counts them (lines end at a line feed only): the line from 0, and the
// column in UTF-16 units.
class FilePlaces {
public:
    explicit FilePlaces(const LspDocument& document) : text_(document.Text()), starts_(document.FileLineStarts()) {}
    std::size_t LineCount() const { return starts_.size(); }
    std::size_t StartOf(std::size_t line) const { return starts_[std::min(line, starts_.size() - 1)]; }
    std::pair<std::size_t, std::int64_t> Of(std::size_t offset) const {
        offset = std::min(offset, text_.size());
        const auto line = static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) - starts_.begin() - 1);
        return {line, UnitsIn(std::string_view(text_).substr(starts_[line], offset - starts_[line]), PositionUnits::Utf16)};
    }
    // The length of a line without its line end.
    std::int64_t LineLength(std::size_t line) const {
        if (line >= starts_.size()) return 0;
        std::size_t end = line + 1 < starts_.size() ? starts_[line + 1] - 1 : text_.size();
        if (end > starts_[line] && line + 1 < starts_.size() && text_[end - 1] == '\r') --end;
        return UnitsIn(std::string_view(text_).substr(starts_[line], end - starts_[line]), PositionUnits::Utf16);
    }

private:
    const std::string& text_;
    std::vector<std::size_t> starts_;
};

}  // namespace

// ---- URIs

std::string FolderOfPath(const std::string& path, PathStyle style) {
    const auto slash = path.find_last_of(style == PathStyle::Windows ? "/\\" : "/");
    if (slash == std::string::npos) return {};
    // The root keeps its slash: "/" and, on Windows, "Z:/".
    if (slash == 0 || (style == PathStyle::Windows && slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

std::optional<std::string> PathOfUri(std::string_view uri, PathStyle style) {
    constexpr std::string_view scheme = "file://";
    std::string lowered(uri.substr(0, std::min(uri.size(), scheme.size())));
    for (char& c : lowered) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (lowered != scheme) return std::nullopt;
    std::string_view rest = uri.substr(scheme.size());
    const auto slash = rest.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    std::string_view host = rest.substr(0, slash);
    if (host == "localhost") host = {};
    // Another machine's file: Windows names it by its share; elsewhere it cannot be named.
    if (!host.empty()) {
        const bool plain = std::all_of(host.begin(), host.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
        });
        if (style != PathStyle::Windows || !plain) return std::nullopt;
    }
    rest.remove_prefix(slash);
    std::string path = host.empty() ? std::string() : "//" + std::string(host);
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '%') {
            path += rest[i];
            continue;
        }
        const auto hex = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        if (i + 2 >= rest.size()) return std::nullopt;
        const int high = hex(rest[i + 1]);
        const int low = hex(rest[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        path += static_cast<char>(high * 16 + low);
        i += 2;
    }
    // A name with a control character would break a stamp line or a message line.
    bool valid = true;
    Utf8ToUtf16(path, &valid);
    if (HasControl(path) || !valid) return std::nullopt;
    if (style == PathStyle::Windows) {
        // /c:/... is drive c's path; a share's path needs a share after its server.
        if (host.empty() && path.size() >= 3 && path[0] == '/' && path[2] == ':') path.erase(0, 1);
        if (!host.empty() && path.find_first_not_of('/', host.size() + 2) == std::string::npos) return std::nullopt;
    }
    return path;
}

// ---- messages

void LspServer::Send(const Json& message) { send_(message.Write()); }

void LspServer::Respond(const Json& id, Json result) {
    Send(Json::Object().Set("jsonrpc", "2.0").Set("id", id).Set("result", std::move(result)));
}

void LspServer::Fail(const Json& id, int code, const std::string& message) {
    Send(Json::Object()
             .Set("jsonrpc", "2.0")
             .Set("id", id)
             .Set("error", Json::Object().Set("code", Json(code)).Set("message", Json(message))));
}

void LspServer::Message(int type, const std::string& text) {
    Send(Json::Object()
             .Set("jsonrpc", "2.0")
             .Set("method", "window/logMessage")
             .Set("params", Json::Object().Set("type", Json(type)).Set("message", Json("quillmark: " + text))));
}

void LspServer::BadFrame(const std::string& reason) { Fail(Json(), kParseError, "the message cannot be read: " + reason); }

void LspServer::Receive(std::string_view body, Clock::time_point now) {
    Json message;
    try {
        message = ParseJson(body);
    } catch (const JsonError& e) {
        Fail(Json(), kParseError, "the message is no JSON: " + e.message);
        return;
    } catch (const std::bad_alloc&) {
        Fail(Json(), kParseError, "the message is too large to read");
        return;
    }
    if (!message.IsObject()) {
        Fail(Json(), kInvalidRequest, "a message must be a JSON object");
        return;
    }
    const Json& id = message["id"];
    const bool hasId = message.Has("id");
    if (hasId && !id.IsString() && !id.AsInteger()) {
        Fail(Json(), kInvalidRequest, "the id must be a string or a whole number");
        return;
    }
    const Json& method = message["method"];
    if (!method.IsString()) {
        // The client's answer to a request of the server's own needs nothing more.
        if (hasId && (message.Has("result") || message.Has("error"))) return;
        Fail(hasId ? id : Json(), kInvalidRequest, "the message has no method");
        return;
    }
    if (hasId) {
        try {
            Request(id, method.AsString(), message["params"], now);
        } catch (const InvalidParams& e) {
            Fail(id, kInvalidParams, e.message);
        } catch (const RequestFailed& e) {
            Fail(id, kRequestFailed, e.message);
        } catch (const Failure& e) {
            Fail(id, kRequestFailed, e.message);
        } catch (const Unusable& e) {
            Fail(id, kRequestFailed, e.message);
        } catch (const UsageError& e) {
            Fail(id, kRequestFailed, e.message);
        } catch (const std::exception& e) {
            Fail(id, kInternalError, e.what());
        } catch (...) {
            Fail(id, kInternalError, "the request failed");
        }
        return;
    }
    try {
        Notification(method.AsString(), message["params"], now);
    } catch (const InvalidParams& e) {
        Message(1, method.AsString() + ": " + e.message);
    } catch (const Failure& e) {
        Message(1, method.AsString() + ": " + e.message);
    } catch (const Unusable& e) {
        Message(1, method.AsString() + ": " + e.message);
    } catch (const std::exception& e) {
        Message(1, method.AsString() + ": " + e.what());
    } catch (...) {
        Message(1, method.AsString() + ": failed");
    }
}

void LspServer::Request(const Json& id, const std::string& method, const Json& params, Clock::time_point) {
    if (!initialized_ && method != "initialize") {
        Fail(id, kServerNotInitialized, "the server is not initialized");
        return;
    }
    if (shuttingDown_) {
        Fail(id, kInvalidRequest, "the server is shutting down");
        return;
    }
    if (method == "initialize") {
        if (initialized_) {
            Fail(id, kInvalidRequest, "the server is initialized already");
            return;
        }
        Respond(id, Initialize(params));
        return;
    }
    if (method == "shutdown") {
        // Nothing more goes out but answers: diagnostics still waiting are dropped.
        shuttingDown_ = true;
        pending_.clear();
        Respond(id, Json());
        return;
    }
    if (method == "textDocument/codeAction") {
        Respond(id, CodeActions(params));
        return;
    }
    if (method == "codeAction/resolve") {
        Respond(id, ResolveCodeAction(params));
        return;
    }
    if (method == "workspace/executeCommand") {
        Respond(id, ExecuteCommand(params));
        return;
    }
    Fail(id, kMethodNotFound, "no method " + method);
}

void LspServer::Notification(const std::string& method, const Json& params, Clock::time_point now) {
    if (method == "exit") {
        exit_ = shuttingDown_ ? 0 : 1;
        return;
    }
    if (!initialized_ || shuttingDown_) return;
    if (method == "initialized") {
        if (registerWatchers_) {
            const Json watchers = Json::Array()
                                      .Push(Json::Object().Set("globPattern", Json(std::string("**/") + kTeamFileName)))
                                      .Push(Json::Object().Set("globPattern", Json(std::string("**/") + kPolicyFileName)));
            const Json registration = Json::Object()
                                          .Set("id", "quillmark-settings-files")
                                          .Set("method", "workspace/didChangeWatchedFiles")
                                          .Set("registerOptions", Json::Object().Set("watchers", watchers));
            Send(Json::Object()
                     .Set("jsonrpc", "2.0")
                     .Set("id", Json("quillmark-" + std::to_string(nextRequest_++)))
                     .Set("method", "client/registerCapability")
                     .Set("params", Json::Object().Set("registrations", Json::Array().Push(registration))));
        }
    } else if (method == "textDocument/didOpen") {
        Opened(params);
    } else if (method == "textDocument/didChange") {
        Changed(params, now);
    } else if (method == "textDocument/didSave") {
        const std::string& uri = params["textDocument"]["uri"].AsString();
        if (documents_.contains(uri)) {
            pending_.erase(uri);
            Publish(uri);
        }
    } else if (method == "textDocument/didClose") {
        const std::string& uri = params["textDocument"]["uri"].AsString();
        if (documents_.erase(uri) > 0) {
            pending_.erase(uri);
            Send(Json::Object()
                     .Set("jsonrpc", "2.0")
                     .Set("method", "textDocument/publishDiagnostics")
                     .Set("params", Json::Object().Set("uri", Json(uri)).Set("diagnostics", Json::Array())));
        }
    } else if (method == "workspace/didChangeWatchedFiles") {
        // The team file or the policy changed: everything open is checked again, as read now.
        for (const auto& entry : documents_) pending_[entry.first] = now;
    }
}

Json LspServer::Initialize(const Json& params) {
    for (const Json& offered : params["capabilities"]["general"]["positionEncodings"].Items()) {
        if (offered.IsString() && offered.AsString() == "utf-8") units_ = PositionUnits::Utf8;
    }
    registerWatchers_ = params["capabilities"]["workspace"]["didChangeWatchedFiles"]["dynamicRegistration"].AsBool();
    applyEdit_ = params["capabilities"]["workspace"]["applyEdit"].AsBool();
    versionedEdits_ = params["capabilities"]["workspace"]["workspaceEdit"]["documentChanges"].AsBool();
    for (const Json& property : params["capabilities"]["textDocument"]["codeAction"]["resolveSupport"]["properties"].Items()) {
        if (property.IsString() && property.AsString() == "edit") resolveEdits_ = true;
    }
    const Json& options = params["initializationOptions"];
    std::string refused;
    for (const char* key : {"now", "author", "editor"}) {
        const Json& value = options[key];
        if (value.IsNull()) continue;
        if (!value.IsString() || HasControl(value.AsString())) {
            refused += std::string(refused.empty() ? "" : "; ") + key + " must be a line of text";
            continue;
        }
        const std::string& text = value.AsString();
        if (std::string_view(key) == "now") {
            if (!ParseDateTime(text)) {
                refused += std::string(refused.empty() ? "" : "; ") + "now must be \"YYYY-MM-DD HH:MM:SS\", not \"" + text + "\"";
                continue;
            }
            options_.now = text;
        } else if (std::string_view(key) == "author") {
            options_.author = text;
        } else {
            options_.editor = text;
        }
    }
    if (!refused.empty()) Message(2, "initializationOptions: " + refused + " (left out)");
    options_.quiet = true;
    initialized_ = true;

    Json commands = Json::Array();
    for (const char* command : {kInsertStampCommand, kWrapEditRecordCommand, kRefreshStampCommand, kStampAllCommand})
        commands.Push(command);
    const Json capabilities =
        Json::Object()
            .Set("positionEncoding", units_ == PositionUnits::Utf8 ? "utf-8" : "utf-16")
            .Set("textDocumentSync",
                 Json::Object().Set("openClose", true).Set("change", Json(2)).Set("save", Json::Object().Set("includeText", false)))
            .Set("codeActionProvider", Json::Object()
                                           .Set("codeActionKinds", Json::Array().Push("quickfix").Push("refactor.rewrite").Push("source"))
                                           .Set("resolveProvider", true))
            .Set("executeCommandProvider", Json::Object().Set("commands", commands));
    return Json::Object()
        .Set("capabilities", capabilities)
        .Set("serverInfo", Json::Object().Set("name", "quillmark").Set("version", kQuillmarkVersion));
}

// ---- documents

void LspServer::Opened(const Json& params) {
    const Json& item = params["textDocument"];
    if (!item["uri"].IsString() || !item["text"].IsString()) throw InvalidParams{"textDocument needs a uri and a text"};
    const std::string& uri = item["uri"].AsString();
    const auto path = PathOfUri(uri);
    if (!path) throw InvalidParams{"only a file: URI whose name has no control character can be stamped: " + uri};
    const std::string& language = item["languageId"].AsString();
    if (language != "vb" && language != "vb6" && language != "vba" && !IsSourceName(*path)) return;
    Document& document = documents_[uri];
    document.text.SetText(item["text"].AsString());
    document.path = *path;
    document.version = item["version"].AsInteger().value_or(0);
    pending_.erase(uri);
    Publish(uri);
}

void LspServer::Changed(const Json& params, Clock::time_point now) {
    Document& document = DocumentOf(params["textDocument"]);
    const std::string& uri = params["textDocument"]["uri"].AsString();
    // The changes are made in order; at a bad one, those before it stand.
    std::vector<LspDocument::Change> changes;
    const auto make = [&] {
        const bool made = document.text.Apply(changes, units_);
        changes.clear();
        if (!made) throw InvalidParams{"the range ends before it starts"};
    };
    try {
        for (const Json& change : params["contentChanges"].Items()) {
            if (!change["text"].IsString()) throw InvalidParams{"a change without text"};
            if (!change.Has("range")) {
                make();
                document.text.SetText(change["text"].AsString());
                continue;
            }
            const Json& range = change["range"];
            if (!range.IsObject()) throw InvalidParams{"a range is missing"};
            changes.push_back({NumberIn(range["start"], "line"), NumberIn(range["start"], "character"), NumberIn(range["end"], "line"),
                               NumberIn(range["end"], "character"), change["text"].AsString()});
        }
    } catch (const InvalidParams&) {
        make();
        throw;
    }
    make();
    document.version = params["textDocument"]["version"].AsInteger().value_or(document.version);
    pending_[uri] = now + kDiagnosticsDelay;
}

LspServer::Document& LspServer::DocumentOf(const Json& textDocument) {
    if (!textDocument["uri"].IsString()) throw InvalidParams{"textDocument.uri is missing"};
    const auto it = documents_.find(textDocument["uri"].AsString());
    if (it == documents_.end()) throw InvalidParams{textDocument["uri"].AsString() + " is not open"};
    return it->second;
}

LspServer::Range LspServer::RangeOf(const Document& document, const Json& range) const {
    if (!range.IsObject()) throw InvalidParams{"a range is missing"};
    const Json& start = range["start"];
    const Json& end = range["end"];
    Range out{document.text.OffsetOf(NumberIn(start, "line"), NumberIn(start, "character"), units_),
              document.text.OffsetOf(NumberIn(end, "line"), NumberIn(end, "character"), units_)};
    if (out.to < out.from) throw InvalidParams{"the range ends before it starts"};
    return out;
}

// ---- the command's steps on the text

std::string LspServer::Run(const Document& document, const std::string& command, Range range, std::optional<std::size_t> diagnosticLine,
                           std::string* kept) {
    Store store(options_, Store::Mode::Read, FolderOf(document.path));
    const FormatModel model = store.Format(options_);
    const StampContext context{model, Now(options_), store.Cp()};
    SourceFile file(document.text.Text(), Encoding::Utf8, store.Cp());
    const FilePlaces places(document.text);
    const auto start = places.Of(range.from);
    const auto end = places.Of(range.to);
    // A line from the client (a diagnostic's) is one of the document's, or the step has no place.
    std::size_t line = start.first;
    if (diagnosticLine) {
        if (*diagnosticLine >= document.text.LineCount())
            throw Failure{document.path + ": line " + std::to_string(*diagnosticLine + 1) + " is outside the file"};
        line = places.Of(document.text.OffsetOf(static_cast<std::int64_t>(*diagnosticLine), 0, units_)).first;
    }
    const auto caretLine = static_cast<std::int32_t>(line) + 1;
    if (command == kInsertStampCommand) {
        StampAtLine(document.path, file, caretLine, context, options_);
    } else if (command == kModuleHeaderStep) {
        if (HasModuleHeader(file.ModuleLines())) return document.text.Text();
        file.InsertAll({{1, ide::TextCodeModule::SplitText(ComposeModuleHeader(Utf8ToUtf16(document.path), context))}});
    } else if (command == kWrapEditRecordCommand) {
        auto endLine = static_cast<std::int64_t>(end.first) + 1;
        std::int64_t endColumn = end.second + 1;
        // A selection that runs to the end of a text ending in a line end (as an editor's does when
        // the last line is selected whole) ends before a line the file does not have: it takes the
        // last line whole.
        if (end.second == 0 && end.first > start.first && static_cast<std::size_t>(endLine) > file.FileLineCount()) {
            endLine = static_cast<std::int64_t>(end.first);
            endColumn = std::max<std::int64_t>(places.LineLength(end.first - 1) + 1, 2);
        }
        MarkSelection(document.path, file, {static_cast<std::int32_t>(start.first + 1), static_cast<std::int32_t>(start.second + 1)},
                      {static_cast<std::int32_t>(endLine), static_cast<std::int32_t>(endColumn)}, context);
    } else if (command == kRefreshStampCommand) {
        const auto moduleLine = file.ModuleLineOf(static_cast<std::size_t>(caretLine));
        if (!moduleLine) return document.text.Text();
        RefreshStamps(
            file, context,
            [&](const StampedProcedure& p) {
                return (p.blockFirst > 0 ? p.blockFirst : p.region.bodyLine) <= *moduleLine && *moduleLine <= p.region.endLine;
            },
            [&](const StampedProcedure& p, const ReturnValueMismatch& m) {
                if (kept == nullptr) return;
                *kept += (kept->empty() ? "" : "; ") + Utf16ToUtf8(p.region.name) + ": " + m.message + "; kept as written";
            });
    } else if (command == kStampAllCommand) {
        const CheckPolicy policy = PolicyOfFile(document.path, nullptr);
        int left = 0;
        StampAll(document.path, file, policy.moduleHeader, policy.houseHeadersNeedStamp, context, left);
    } else {
        throw InvalidParams{"no command " + command};
    }
    return file.Render();
}

std::optional<Json> LspServer::EditOf(const std::string& uri, const Document& document, const std::string& command, Range range,
                                      std::optional<std::size_t> diagnosticLine) {
    const std::string& before = document.text.Text();
    std::string kept;
    const std::string after = Run(document, command, range, diagnosticLine, &kept);
    if (after == before) {
        // What a person wrote and the refresh kept is why it has nothing to do: said, not left silent.
        if (!kept.empty()) throw Failure{document.path + ": " + kept};
        return std::nullopt;
    }
    // One edit over what differs, widened to whole characters and whole line ends.
    std::size_t from = 0;
    const std::size_t shorter = std::min(before.size(), after.size());
    while (from < shorter && before[from] == after[from]) ++from;
    std::size_t same = 0;
    while (same < shorter - from && before[before.size() - 1 - same] == after[after.size() - 1 - same]) ++same;
    const auto continuation = [](char c) { return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u; };
    while (from > 0 && from < before.size() && (continuation(before[from]) || (before[from] == '\n' && before[from - 1] == '\r'))) --from;
    std::size_t to = before.size() - same;
    while (to > from && to < before.size() && (continuation(before[to]) || (before[to] == '\n' && before[to - 1] == '\r'))) {
        ++to;
        --same;
    }
    const Json edit = Json::Object()
                          .Set("range", Json::Object()
                                            .Set("start", PositionJson(document.text.PositionOf(from, units_)))
                                            .Set("end", PositionJson(document.text.PositionOf(to, units_))))
                          .Set("newText", after.substr(from, after.size() - same - from));
    if (versionedEdits_) {
        // Tied to the text it was made on: an editor whose text has changed since refuses it.
        const Json textDocument = Json::Object().Set("uri", uri).Set("version", Json(document.version));
        return Json::Object().Set(
            "documentChanges", Json::Array().Push(Json::Object().Set("textDocument", textDocument).Set("edits", Json::Array().Push(edit))));
    }
    return Json::Object().Set("changes", Json::Object().Set(uri, Json::Array().Push(edit)));
}

Json LspServer::CodeActions(const Json& params) {
    Document& document = DocumentOf(params["textDocument"]);
    const std::string& uri = params["textDocument"]["uri"].AsString();
    const Range range = RangeOf(document, params["range"]);
    const Json& only = params["context"]["only"];
    const auto wanted = [&](std::string_view kind) {
        if (!only.IsArray()) return true;
        for (const Json& k : only.Items()) {
            const std::string& prefix = k.AsString();
            if (kind == prefix || (kind.size() > prefix.size() && kind.substr(0, prefix.size()) == prefix && kind[prefix.size()] == '.'))
                return true;
        }
        return false;
    };
    Json actions = Json::Array();
    // The titles offered as quick fixes: the same action is not offered a second time under its title.
    std::set<std::string> fixes;
    // eager: the edit is made now even for a client that resolves, as the action may have none.
    const auto offer = [&](const char* title, const char* kind, const std::string& command, std::optional<std::size_t> line,
                           const Json* diagnostic, bool eager = false) {
        if (!wanted(kind)) return;
        if (diagnostic == nullptr && fixes.contains(title)) return;
        if (resolveEdits_ && !eager) {
            // The edit is made when the action is chosen: a large module is read once here, not once per action.
            Json data = Json::Object().Set("uri", uri).Set("step", command).Set("range", params["range"]);
            if (line) data.Set("line", Json(static_cast<std::int64_t>(*line)));
            Json action = Json::Object().Set("title", title).Set("kind", kind).Set("data", std::move(data));
            if (diagnostic != nullptr) {
                action.Set("diagnostics", Json::Array().Push(*diagnostic)).Set("isPreferred", true);
                fixes.insert(title);
            }
            actions.Push(std::move(action));
            return;
        }
        if (applyEdit_ && command == kStampAllCommand) {
            // Stamping a whole module is the costly one: a client that takes the server's edits runs
            // it as a command when it is chosen, and the answer stays quick.
            actions.Push(Json::Object()
                             .Set("title", title)
                             .Set("kind", kind)
                             .Set("command", Json::Object()
                                                 .Set("title", title)
                                                 .Set("command", command)
                                                 .Set("arguments", Json::Array().Push(uri).Push(params["range"]))));
            return;
        }
        std::optional<Json> edit;
        try {
            edit = EditOf(uri, document, command, range, line);
        } catch (const Failure&) {
            return;  // not where the caret is (a selection into the hidden header, say)
        }
        if (!edit) return;
        Json action = Json::Object().Set("title", title).Set("kind", kind).Set("edit", std::move(*edit));
        if (diagnostic != nullptr) {
            action.Set("diagnostics", Json::Array().Push(*diagnostic)).Set("isPreferred", true);
            fixes.insert(title);
        }
        actions.Push(std::move(action));
    };
    try {
        for (const Json& diagnostic : params["context"]["diagnostics"].Items()) {
            if (diagnostic["source"].AsString() != "quillmark" || !diagnostic["code"].IsString()) continue;
            const std::string& rule = diagnostic["code"].AsString();
            const auto line = static_cast<std::size_t>(NumberIn(diagnostic["range"]["start"], "line"));
            if (rule == "no-stamp") {
                offer(kInsertTitle, "quickfix", kInsertStampCommand, line, &diagnostic);
            } else if (rule == "no-module-header") {
                offer(kInsertTitle, "quickfix", kModuleHeaderStep, line, &diagnostic);
            } else {
                // A return value a person wrote is kept by the refresh: no fix is offered that does nothing.
                offer(kRefreshTitle, "quickfix", kRefreshStampCommand, line, &diagnostic, rule == "return-value-differs");
            }
        }
        const Applicable applicable =
            resolveEdits_ || applyEdit_ ? ApplicableAt(document, FilePlaces(document.text).Of(range.from).first) : Applicable{true, true};
        offer(kInsertTitle, "refactor.rewrite", kInsertStampCommand, std::nullopt, nullptr);
        offer(kWrapTitle, "refactor.rewrite", kWrapEditRecordCommand, std::nullopt, nullptr);
        if (applicable.refresh) offer(kRefreshTitle, "refactor.rewrite", kRefreshStampCommand, std::nullopt, nullptr);
        if (applicable.stampAll) offer(kStampAllTitle, "source", kStampAllCommand, std::nullopt, nullptr);
    } catch (const Unusable& e) {
        Message(1, e.message);
    } catch (const SourceError& e) {
        Message(1, document.path + ": " + e.what());
    }
    return actions;
}

LspServer::Applicable LspServer::ApplicableAt(const Document& document, std::size_t line) {
    Store store(options_, Store::Mode::Read, FolderOf(document.path));
    SourceFile file(document.text.Text(), Encoding::Utf8, store.Cp());
    const CheckPolicy policy = PolicyOfFile(document.path, nullptr);
    const auto caret = file.ModuleLineOf(line + 1);
    ide::TextCodeModule module(file);
    Applicable out;
    out.stampAll = policy.moduleHeader && !HasModuleHeader(module.AllLines());
    for (const StampedProcedure& p : FindProcedures(module)) {
        if (!p.hasStamp && (!p.houseHeader || policy.houseHeadersNeedStamp)) out.stampAll = true;
        if (p.hasStamp && caret && p.blockFirst <= *caret && *caret <= p.region.endLine) out.refresh = true;
    }
    return out;
}

namespace {

// The edit that make gives, or the request's failure: what the command cannot do, and a fault of the
// file's reading with the file's path before it.
template <typename Make>
std::optional<Json> EditOrFailure(const std::string& path, Make make) {
    try {
        return make();
    } catch (const Failure& e) {
        throw RequestFailed{e.message};
    } catch (const Unusable& e) {
        throw RequestFailed{e.message};
    } catch (const SourceError& e) {
        throw RequestFailed{path + ": " + e.what()};
    }
}

}  // namespace

Json LspServer::ResolveCodeAction(const Json& action) {
    const Json& data = action["data"];
    if (!data["step"].IsString() || !data["uri"].IsString()) throw InvalidParams{"the action is none of this server's"};
    const std::string& step = data["step"].AsString();
    if (step != kInsertStampCommand && step != kWrapEditRecordCommand && step != kRefreshStampCommand && step != kStampAllCommand &&
        step != kModuleHeaderStep) {
        throw InvalidParams{"no step " + step};
    }
    Document& document = DocumentOf(Json::Object().Set("uri", data["uri"]));
    const Range range = RangeOf(document, data["range"]);
    const auto line = data["line"].AsInteger();
    if (data.Has("line") && (!line || *line < 0)) throw InvalidParams{"the action's line must be a whole number of at least 0"};
    std::optional<Json> edit = EditOrFailure(document.path, [&] {
        return EditOf(data["uri"].AsString(), document, step, range,
                      line ? std::optional<std::size_t>(static_cast<std::size_t>(*line)) : std::nullopt);
    });
    Json resolved = action;
    resolved.Set("edit", edit ? std::move(*edit) : Json::Object().Set("changes", Json::Object()));
    return resolved;
}

Json LspServer::ExecuteCommand(const Json& params) {
    if (!params["command"].IsString()) throw InvalidParams{"the command is missing"};
    const std::string& command = params["command"].AsString();
    const char* title = command == kInsertStampCommand      ? kInsertTitle
                        : command == kWrapEditRecordCommand ? kWrapTitle
                        : command == kRefreshStampCommand   ? kRefreshTitle
                        : command == kStampAllCommand       ? kStampAllTitle
                                                            : nullptr;
    if (title == nullptr) throw InvalidParams{"no command " + command};
    const auto& arguments = params["arguments"].Items();
    if (arguments.empty() || !arguments[0].IsString()) throw InvalidParams{"the arguments are [uri, range]"};
    const Json textDocument = Json::Object().Set("uri", arguments[0]);
    Document& document = DocumentOf(textDocument);
    const Range range = arguments.size() > 1 && !arguments[1].IsNull() ? RangeOf(document, arguments[1]) : Range{};
    std::optional<Json> edit = EditOrFailure(document.path, [&] { return EditOf(arguments[0].AsString(), document, command, range); });
    if (edit) {
        Send(Json::Object()
                 .Set("jsonrpc", "2.0")
                 .Set("id", Json("quillmark-" + std::to_string(nextRequest_++)))
                 .Set("method", "workspace/applyEdit")
                 .Set("params", Json::Object().Set("label", title).Set("edit", std::move(*edit))));
    }
    return Json();
}

// ---- diagnostics

Json LspServer::DiagnosticsOf(const Document& document) {
    Json diagnostics = Json::Array();
    std::string problem;
    const CheckPolicy policy = PolicyOfFile(document.path, &problem);
    if (!problem.empty()) Message(1, problem);
    if (!policy.path.empty() && policy.Excludes(PathFrom(policy.folder, document.path))) return diagnostics;
    try {
        Store store(options_, Store::Mode::Read, FolderOf(document.path));
        const FormatModel model = store.Format(options_);
        SourceFile file(document.text.Text(), Encoding::Utf8, store.Cp());
        const FilePlaces places(document.text);
        ide::TextCodeModule module(file);
        CheckModule(
            module, model, {policy.moduleHeader, policy.publicOnly, policy.houseHeadersNeedStamp},
            [&](std::int32_t moduleLine, const std::u16string&, const char* rule, const std::string& message) {
                if (policy.Ignores(rule)) return;
                // An empty module's findings stand on its first line.
                const std::size_t fileLine = file.FileLineOf(moduleLine);
                const auto line =
                    static_cast<std::size_t>(document.text.PositionOf(places.StartOf(fileLine == 0 ? 0 : fileLine - 1), units_).first);
                const Json range = Json::Object()
                                       .Set("start", PositionJson({static_cast<std::int64_t>(line), 0}))
                                       .Set("end", PositionJson({static_cast<std::int64_t>(line), document.text.LineLength(line, units_)}));
                diagnostics.Push(Json::Object()
                                     .Set("range", range)
                                     .Set("severity", Json(2))
                                     .Set("code", rule)
                                     .Set("source", "quillmark")
                                     .Set("message", message));
            });
    } catch (const Unusable& e) {
        Message(1, e.message);
    } catch (const Failure& e) {
        Message(1, e.message);
    } catch (const SourceError& e) {
        Message(1, document.path + ": " + e.what());
    } catch (const std::exception& e) {
        // Diagnostics are published outside any request: nothing may leave here.
        Message(1, document.path + ": " + e.what());
    } catch (...) {
        Message(1, document.path + ": cannot be checked");
    }
    return diagnostics;
}

void LspServer::Publish(const std::string& uri) {
    const auto it = documents_.find(uri);
    if (it == documents_.end()) return;
    Json params = Json::Object().Set("uri", uri).Set("version", Json(it->second.version)).Set("diagnostics", DiagnosticsOf(it->second));
    Send(Json::Object().Set("jsonrpc", "2.0").Set("method", "textDocument/publishDiagnostics").Set("params", std::move(params)));
}

void LspServer::Tick(Clock::time_point now) {
    std::vector<std::string> due;
    for (const auto& [uri, when] : pending_) {
        if (when <= now) due.push_back(uri);
    }
    for (const std::string& uri : due) {
        pending_.erase(uri);
        Publish(uri);
    }
}

std::optional<LspServer::Clock::time_point> LspServer::NextTick() const {
    std::optional<Clock::time_point> next;
    for (const auto& entry : pending_) {
        if (!next || entry.second < *next) next = entry.second;
    }
    return next;
}

}  // namespace qm::cli

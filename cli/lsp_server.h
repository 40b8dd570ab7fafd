#pragma once
// quillmark lsp: the stamps and check in an editor, over the Language Server Protocol. The server
// keeps each open document's text as the editor sends it, runs the command's own steps on it and
// answers with edits that give exactly what the command would write. It never writes a file.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/common.h"
#include "cli/json.h"

namespace qm::cli {

// The commands an editor can bind to keys, with [uri, range] as their arguments.
inline constexpr const char* kInsertStampCommand = "quillmark.insertStamp";
inline constexpr const char* kWrapEditRecordCommand = "quillmark.wrapEditRecord";
inline constexpr const char* kRefreshStampCommand = "quillmark.refreshStamp";
inline constexpr const char* kStampAllCommand = "quillmark.stampAll";

// How long diagnostics wait after a change for the next one.
inline constexpr std::chrono::milliseconds kDiagnosticsDelay{300};

// Positions in a text, in the units the client and the server agreed on.
enum class PositionUnits { Utf16, Utf8 };

// The text of one open document and where its lines start.
class LspDocument {
public:
    explicit LspDocument(std::string text = {}) { SetText(std::move(text)); }
    const std::string& Text() const { return text_; }
    void SetText(std::string text);
    std::size_t LineCount() const { return starts_.size(); }
    // The byte offset of a position; a line past the end is the end of the text, a character past
    // the end of its line the end of the line, one inside a character the start of that character.
    std::size_t OffsetOf(std::int64_t line, std::int64_t character, PositionUnits units) const;
    // The position of a byte offset (at the start of a character).
    std::pair<std::int64_t, std::int64_t> PositionOf(std::size_t offset, PositionUnits units) const;
    // The length of a line without its line end, in units.
    std::int64_t LineLength(std::size_t line, PositionUnits units) const;
    // Replaces the bytes from..to.
    void Replace(std::size_t from, std::size_t to, std::string_view text);

    // One change of a range, in the text as the changes before it left it.
    struct Change {
        std::int64_t startLine, startCharacter, endLine, endCharacter;
        std::string_view text;
    };
    // Makes the changes one after another; false at a change whose range ends before it starts,
    // with the changes before it made. Changes that run from the end of the text towards its start
    // (as editors send the edits of several carets) are made in one pass over the text.
    bool Apply(const std::vector<Change>& changes, PositionUnits units);

    // Where the lines start as the command counts them: a line ends at a line feed only, and a
    // carriage return alone is a character of its line.
    std::vector<std::size_t> FileLineStarts() const;

private:
    std::size_t LineEnd(std::size_t line) const;
    bool IsLineStart(std::size_t offset) const;
    std::string text_;
    std::vector<std::size_t> starts_;  // the byte offset of each line's start
};

class LspServer {
public:
    using Clock = std::chrono::steady_clock;
    // send takes each outgoing message (without its header).
    explicit LspServer(std::function<void(const std::string&)> send) : send_(std::move(send)) {}

    // One incoming message, as read; badFrame: the header could not be taken (body is the reason).
    void Receive(std::string_view body, Clock::time_point now);
    void BadFrame(const std::string& reason);
    // Publishes the diagnostics that have waited long enough.
    void Tick(Clock::time_point now);
    // When Tick has something to do next; nothing when no diagnostics wait.
    std::optional<Clock::time_point> NextTick() const;
    // The exit notification came: the status to end with (0 after shutdown, 1 otherwise).
    std::optional<int> ExitStatus() const { return exit_; }

private:
    struct Document {
        LspDocument text;
        std::string path;  // the file the URI names
        std::int64_t version = 0;
    };
    struct Range {
        std::size_t from = 0;  // byte offsets
        std::size_t to = 0;
    };

    void Request(const Json& id, const std::string& method, const Json& params, Clock::time_point now);
    void Notification(const std::string& method, const Json& params, Clock::time_point now);
    Json Initialize(const Json& params);
    Json CodeActions(const Json& params);
    Json ResolveCodeAction(const Json& action);
    // Which of the actions that need a stamp to be there or missing apply at a line: a stamp to
    // refresh at the caret, anything for stamp every procedure to do.
    struct Applicable {
        bool refresh = false;
        bool stampAll = false;
    };
    Applicable ApplicableAt(const Document& document, std::size_t line);
    Json ExecuteCommand(const Json& params);
    void Opened(const Json& params);
    void Changed(const Json& params, Clock::time_point now);

    Document& DocumentOf(const Json& textDocument);
    Range RangeOf(const Document& document, const Json& range) const;
    // The command's result on the document's text, as one edit, or nothing when it changes nothing.
    std::optional<Json> EditOf(const std::string& uri, const Document& document, const std::string& command, Range range,
                               std::optional<std::size_t> diagnosticLine = std::nullopt);
    // kept: what the step left as a person wrote it, and why.
    std::string Run(const Document& document, const std::string& command, Range range, std::optional<std::size_t> diagnosticLine,
                    std::string* kept = nullptr);
    Json DiagnosticsOf(const Document& document);
    void Publish(const std::string& uri);

    void Send(const Json& message);
    void Respond(const Json& id, Json result);
    void Fail(const Json& id, int code, const std::string& message);
    void Message(int type, const std::string& text);

    std::function<void(const std::string&)> send_;
    bool initialized_ = false;
    bool shuttingDown_ = false;
    std::optional<int> exit_;
    PositionUnits units_ = PositionUnits::Utf16;
    bool registerWatchers_ = false;
    bool resolveEdits_ = false;    // the client asks for an action's edit when it is chosen
    bool applyEdit_ = false;       // the client takes edits the server sends (workspace/applyEdit)
    bool versionedEdits_ = false;  // the client takes edits tied to a version of the text (documentChanges)
    CommonOptions options_;
    std::int64_t nextRequest_ = 1;
    std::map<std::string, Document> documents_;
    std::map<std::string, Clock::time_point> pending_;  // diagnostics due, by URI
};

// How the machine names files: on Windows a URI's host is a share (//server/share/...) and
// /c:/... is a drive's path.
enum class PathStyle { Posix, Windows };
#ifdef _WIN32
inline constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

// The path of a file: URI; nothing for another scheme, another machine's file (where the machine
// cannot name one) or a name with a control character.
std::optional<std::string> PathOfUri(std::string_view uri, PathStyle style = kNativePathStyle);
// The folder of a path, as the machine reads it: "Z:/" for a file at a drive's root, not "Z:",
// which Windows reads as the current folder on Z.
std::string FolderOfPath(const std::string& path, PathStyle style = kNativePathStyle);

// Runs the server over standard input and output until the exit notification or the input's end.
int RunLanguageServer();

}  // namespace qm::cli

#!/usr/bin/env python3
"""Drives `quillmark lsp` as an editor would, and holds every edit it offers against what the
command writes on the same text: python3 protocol_test.py QUILLMARK."""
import bisect
import json
import os
import queue
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

QUILLMARK = os.path.abspath(sys.argv[1])
NOW = "2024-05-06 07:08:09"
AUTHOR = "山田 太郎"
EDITOR = "鈴木"
CRLF = "\r\n"

MODULE = CRLF.join([
    'Attribute VB_Name = "集計"',
    "Option Explicit",
    "' 😀 絵文字の行",
    "Private m合計 As Long",
    "",
    "Public Function 合計する(ByVal 値 As Long, ByVal 名前 As String) As Long",
    "    合計する = 値 + m合計",
    "End Function",
    "",
    "Private Sub 表示(ByVal 文 As String)",
    "    Debug.Print 文",
    "End Sub",
    "",
])

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, file=sys.stderr)


class Server:
    def __init__(self, folder, encodings=None, resolve=False, apply_edit=False, versioned=False):
        env = {k: v for k, v in os.environ.items() if not k.startswith("QUILLMARK_")}
        env["HOME"] = folder
        self.process = subprocess.Popen([QUILLMARK, "lsp"], cwd=folder, env=env, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.inbox = queue.Queue()
        self.backlog = []
        self.next_id = 1
        threading.Thread(target=self._read, daemon=True).start()
        self.encodings = encodings
        self.resolve = resolve
        self.apply_edit = apply_edit
        self.versioned = versioned
        self.versions = {}

    def _read(self):
        out = self.process.stdout
        while True:
            length = None
            while True:
                line = out.readline()
                if not line:
                    self.inbox.put(None)
                    return
                line = line.strip()
                if not line:
                    break
                name, _, value = line.decode("ascii").partition(":")
                if name.lower() == "content-length":
                    length = int(value)
            self.inbox.put(json.loads(out.read(length).decode("utf-8")))

    def raw(self, data):
        self.process.stdin.write(data)
        self.process.stdin.flush()

    def send(self, message):
        body = json.dumps(message, ensure_ascii=False).encode("utf-8")
        self.raw(b"Content-Length: %d\r\n\r\n" % len(body) + body)

    def notify(self, method, params):
        if method in ("textDocument/didOpen", "textDocument/didChange"):
            self.versions[params["textDocument"]["uri"]] = params["textDocument"]["version"]
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def request(self, method, params):
        ident = self.next_id
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": ident, "method": method, "params": params})
        return self.wait(lambda m: m.get("id") == ident and "method" not in m)

    def wait(self, matches, timeout=10):
        for i, m in enumerate(self.backlog):
            if matches(m):
                return self.backlog.pop(i)
        end = time.time() + timeout
        while time.time() < end:
            try:
                m = self.inbox.get(timeout=max(0.01, end - time.time()))
            except queue.Empty:
                break
            if m is None:
                break
            if matches(m):
                return m
            self.backlog.append(m)
        raise AssertionError("no such message came")

    def diagnostics(self, uri, version=None):
        return self.wait(lambda m: m.get("method") == "textDocument/publishDiagnostics" and m["params"]["uri"] == uri and
                         (version is None or m["params"].get("version") == version))["params"]["diagnostics"]

    def initialize(self):
        capabilities = {"workspace": {"didChangeWatchedFiles": {"dynamicRegistration": True}, "applyEdit": self.apply_edit}}
        if self.encodings:
            capabilities["general"] = {"positionEncodings": self.encodings}
        if self.resolve:
            capabilities["textDocument"] = {"codeAction": {"resolveSupport": {"properties": ["edit"]}}}
        if self.versioned:
            capabilities["workspace"]["workspaceEdit"] = {"documentChanges": True}
        reply = self.request("initialize", {"processId": None, "rootUri": None, "capabilities": capabilities,
                                            "initializationOptions": {"now": NOW, "author": AUTHOR, "editor": EDITOR}})
        self.notify("initialized", {})
        return reply


def command(folder, *args, status=(0,)):
    # The stamping commands with the server's clock and names; the file as the editor's text, in UTF-8.
    options = {"settings": [], "check": ["--encoding", "utf-8"]}.get(
        args[0], ["--encoding", "utf-8", "--now", NOW, "--author", AUTHOR, "--editor", EDITOR])
    run = subprocess.run([QUILLMARK, *args, *options],
                         cwd=folder, env={**{k: v for k, v in os.environ.items() if not k.startswith("QUILLMARK_")}, "HOME": folder},
                         capture_output=True)
    check(run.returncode in status, f"quillmark {' '.join(args)}: status {run.returncode}: {run.stderr.decode()}")
    return run.stdout.decode("utf-8")


def units(text, encoding):
    return len(text.encode("utf-16-le")) // 2 if encoding == "utf-16" else len(text.encode("utf-8"))


def line_starts(text):
    # A line ends at CR LF, LF or a CR alone, as the protocol counts lines.
    return [0] + [m.end() for m in re.finditer(r"\r\n|\r|\n", text)]


def offset(text, position, encoding):
    starts = line_starts(text)
    if position["line"] >= len(starts):
        return len(text)
    at = starts[position["line"]]
    line = text[at:starts[position["line"] + 1] if position["line"] + 1 < len(starts) else len(text)].rstrip("\r\n")
    count = 0
    for i, ch in enumerate(line):
        if count >= position["character"]:
            return at + i
        count += units(ch, encoding)
    return at + len(line)


def position(text, index, encoding):
    starts = line_starts(text)
    line = bisect.bisect_right(starts, index) - 1
    return {"line": line, "character": units(text[starts[line]:index], encoding)}


def apply(text, edits, encoding="utf-16"):
    for e in sorted(edits, key=lambda e: (e["range"]["start"]["line"], e["range"]["start"]["character"]), reverse=True):
        text = text[:offset(text, e["range"]["start"], encoding)] + e["newText"] + text[offset(text, e["range"]["end"], encoding):]
    return text


def at_line(n, character=0):
    return {"start": {"line": n, "character": character}, "end": {"line": n, "character": character}}


def actions(server, uri, range_, diagnostics=()):
    reply = server.request("textDocument/codeAction", {"textDocument": {"uri": uri}, "range": range_,
                                                       "context": {"diagnostics": list(diagnostics)}})
    return reply["result"]


def action_text(server, uri, text, range_, title, kind=None, diagnostics=(), encoding="utf-16"):
    for a in actions(server, uri, range_, diagnostics):
        if a["title"] == title and (kind is None or a["kind"] == kind):
            if server.resolve:
                check("edit" not in a, "with resolve, the edit is made when the action is chosen")
                a = server.request("codeAction/resolve", a)["result"]
            if "edit" not in a:
                # Run as a command: the edit comes as workspace/applyEdit.
                check(server.apply_edit and a["command"]["command"] == "quillmark.stampAll", f"an action without an edit: {a}")
                server.send({"jsonrpc": "2.0", "id": 901, "method": "workspace/executeCommand", "params": a["command"]})
                edit = server.wait(lambda m: m.get("method") == "workspace/applyEdit")
                server.send({"jsonrpc": "2.0", "id": edit["id"], "result": {"applied": True}})
                server.wait(lambda m: m.get("id") == 901)
                return apply(text, edits_in(server, edit["params"]["edit"], uri), encoding)
            return apply(text, edits_in(server, a["edit"], uri), encoding)
    return None


def edits_in(server, edit, uri):
    # A client that takes edits tied to a version gets them so, for the version it last sent.
    if not server.versioned:
        return edit["changes"][uri]
    check("changes" not in edit and len(edit["documentChanges"]) == 1, f"one versioned edit: {edit}")
    document = edit["documentChanges"][0]
    check(document["textDocument"] == {"uri": uri, "version": server.versions[uri]}, f"the edit's version: {document['textDocument']}")
    return document["edits"]


def findings(folder, path):
    found = json.loads(command(folder, "check", "--format", "json", path, status=(0, 1)) or "[]")
    return sorted((f["line"] - 1, f["rule"], f["message"]) for f in found)


def as_findings(diagnostics):
    return sorted((d["range"]["start"]["line"], d["code"], d["message"]) for d in diagnostics)


def write(path, text):
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)


def main():
    folder = tempfile.mkdtemp(prefix="quillmark-lsp-")
    try:
        session(folder)
        positions_in_utf8(folder)
        lone_carriage_returns_and_kept_text(folder)
        bad_input(folder)
        client_goes_away(folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    if failures:
        print(f"{len(failures)} failed", file=sys.stderr)
        sys.exit(1)
    print("all passed")


def session(folder):
    command(folder, "settings", "init")
    path = os.path.join(folder, "集計.bas")
    uri = "file://" + "".join(ch if ch.isascii() and (ch.isalnum() or ch in "/-._~") else "".join("%%%02X" % b for b in ch.encode()) for ch in path)
    # A stamp that no longer matches (an argument renamed) and a procedure without one.
    write(path, MODULE)
    text = command(folder, "stamp", "--all", path).replace("ByVal 名前 As String", "ByVal 氏名 As String") + CRLF.join(
        ["Public Sub 追加()", "End Sub", ""])
    write(path, text)

    server = Server(folder, apply_edit=True)
    reply = server.request("textDocument/codeAction", {"textDocument": {"uri": uri}, "range": at_line(0), "context": {"diagnostics": []}})
    check(reply.get("error", {}).get("code") == -32002, "a request before initialize is refused")
    caps = server.initialize()["result"]["capabilities"]
    check(caps["positionEncoding"] == "utf-16", "UTF-16 unless the client offers UTF-8")
    check(caps["textDocumentSync"]["change"] == 2 and caps["textDocumentSync"]["openClose"], "incremental sync")
    check(caps["executeCommandProvider"]["commands"] ==
          ["quillmark.insertStamp", "quillmark.wrapEditRecord", "quillmark.refreshStamp", "quillmark.stampAll"], "the commands")
    registration = server.wait(lambda m: m.get("method") == "client/registerCapability")
    server.send({"jsonrpc": "2.0", "id": registration["id"], "result": None})

    server.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "vb", "version": 1, "text": text}})
    published = server.diagnostics(uri, 1)
    check(as_findings(published) == findings(folder, path), f"diagnostics on open are check's findings: {as_findings(published)}")
    check({d["code"] for d in published} == {"no-stamp", "arguments-differ"}, "both findings are there")

    lines = text.split(CRLF)
    add_line = lines.index("Public Sub 追加()")
    stale_line = next(i for i, l in enumerate(lines) if l.startswith("Public Function 合計する"))

    # Each action against the command on the same file.
    expected = command(folder, "stamp", "--line", str(add_line + 1), path)
    check(action_text(server, uri, text, at_line(add_line, 3), "Insert function-description stamp", "refactor.rewrite") == expected,
          "the stamp at the caret is the command's")
    expected = command(folder, "stamp", "--line", "2", path)
    check(action_text(server, uri, text, at_line(1), "Insert function-description stamp", "refactor.rewrite") == expected,
          "in the declarations section: the module header, as the command makes it")
    selection = {"start": {"line": stale_line + 1, "character": 4}, "end": {"line": stale_line + 1, "character": 8}}
    expected = command(folder, "mark", "--from", f"{stale_line + 2}:5", "--to", f"{stale_line + 2}:9", path)
    check(action_text(server, uri, text, selection, "Wrap selection in edit-record stamp") == expected, "the edit-record stamp is mark's")
    # A selection of the last line whole, as an editor sends it: it ends at the start of the line
    # after the last.
    assert text.endswith(CRLF)
    last = len(lines) - 2
    selection = {"start": {"line": last, "character": 0}, "end": {"line": last + 1, "character": 0}}
    expected = command(folder, "mark", "--from", f"{last + 1}:1", "--to", f"{last + 1}:{max(len(lines[last]) + 1, 2)}", path)
    check(action_text(server, uri, text, selection, "Wrap selection in edit-record stamp") == expected,
          "a selection to the end of the text wraps the last line")
    expected = command(folder, "refresh", path)
    check(action_text(server, uri, text, at_line(stale_line), "Refresh this stamp", "refactor.rewrite") == expected,
          "the refreshed stamp is refresh's")
    check(action_text(server, uri, text, at_line(add_line), "Refresh this stamp") is None, "nothing to refresh without a stamp")
    expected = command(folder, "stamp", "--all", path)
    check(action_text(server, uri, text, at_line(0), "Stamp every procedure of this file") == expected, "stamp --all")

    # Quick fixes for the published diagnostics.
    for d in published:
        titles = [a["title"] for a in actions(server, uri, d["range"], [d])]
        check(len(titles) == len(set(titles)), f"each action is offered once: {titles}")
        fixed = action_text(server, uri, text, d["range"], "Refresh this stamp" if d["code"] == "arguments-differ"
                            else "Insert function-description stamp", "quickfix", [d])
        wanted = command(folder, "refresh", path) if d["code"] == "arguments-differ" else \
            command(folder, "stamp", "--line", str(d["range"]["start"]["line"] + 1), path)
        check(fixed == wanted, f"the quick fix of {d['code']}")

    # A command bound to a key: the edit comes as workspace/applyEdit.
    server.send({"jsonrpc": "2.0", "id": 900, "method": "workspace/executeCommand",
                 "params": {"command": "quillmark.insertStamp", "arguments": [uri, at_line(add_line)]}})
    edit = server.wait(lambda m: m.get("method") == "workspace/applyEdit")
    server.send({"jsonrpc": "2.0", "id": edit["id"], "result": {"applied": True}})
    check(server.wait(lambda m: m.get("id") == 900).get("result", "x") is None, "executeCommand answers null")
    check(apply(text, edit["params"]["edit"]["changes"][uri]) == command(folder, "stamp", "--line", str(add_line + 1), path),
          "executeCommand's edit is the command's")

    # An incremental change after a character outside the basic plane.
    emoji = lines.index("' 😀 絵文字の行")
    start = {"line": emoji, "character": units("' 😀 ", "utf-16")}
    change = {"range": {"start": start, "end": {"line": emoji, "character": start["character"] + 3}}, "text": "顔文字"}
    server.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": 2}, "contentChanges": [change]})
    text = apply(text, [{"range": change["range"], "newText": change["text"]}])
    check("' 😀 顔文字の行" in text, "the change lands after the emoji")
    # A second change on another line, before the diagnostics are due: one publication for both.
    change2 = {"range": at_line(add_line), "text": "' 新しい行" + CRLF}
    server.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": 3}, "contentChanges": [change2]})
    text = apply(text, [{"range": change2["range"], "newText": change2["text"]}])
    write(path, text)
    started = time.time()
    published = server.diagnostics(uri, 3)
    check(time.time() - started >= 0.1, "diagnostics wait for a pause in the typing")
    check(as_findings(published) == findings(folder, path), "diagnostics after the change are check's")
    check(not any(m.get("method") == "textDocument/publishDiagnostics" and m["params"].get("version") == 2 for m in server.backlog),
          "the first change was not checked on its own")
    expected = command(folder, "stamp", "--line", str(add_line + 2), path)
    check(action_text(server, uri, text, at_line(add_line + 1), "Insert function-description stamp", "refactor.rewrite") == expected,
          "after the changes the server's text is the editor's")

    # The team's policy, changed on disk, is picked up.
    with open(os.path.join(folder, ".quillmark-check"), "w") as f:
        f.write("module-header = required\n")
    server.notify("workspace/didChangeWatchedFiles", {"changes": [{"uri": "file://" + folder + "/.quillmark-check", "type": 1}]})
    published = server.diagnostics(uri)
    check("no-module-header" in {d["code"] for d in published}, "a policy that asks for a module header")
    check(as_findings(published) == findings(folder, path), "diagnostics under the policy are check's")
    header = next(d for d in published if d["code"] == "no-module-header")
    # The header alone, as stamp --all --module-header puts it in front of the stamps it makes.
    fixed = action_text(server, uri, text, header["range"], "Insert function-description stamp", "quickfix", [header])
    every = command(folder, "stamp", "--all", "--module-header", path)
    check(fixed is not None and fixed != text and every.startswith(fixed[:fixed.index("Option Explicit")]), "the module header's quick fix")
    check(fixed == command(folder, "stamp", "--line", "2", path), "the module header's quick fix is the button's header")
    os.remove(os.path.join(folder, ".quillmark-check"))

    # Saving publishes at once.
    server.notify("textDocument/didSave", {"textDocument": {"uri": uri}})
    check(as_findings(server.diagnostics(uri)) == findings(folder, path), "diagnostics on save")

    # Closing clears them; the closed document is no more.
    server.notify("textDocument/didClose", {"textDocument": {"uri": uri}})
    check(server.diagnostics(uri) == [], "closing clears the diagnostics")
    reply = server.request("textDocument/codeAction", {"textDocument": {"uri": uri}, "range": at_line(0), "context": {"diagnostics": []}})
    check(reply.get("error", {}).get("code") == -32602, "a closed document is refused")

    check(server.request("shutdown", None).get("result", "x") is None, "shutdown")
    check(server.request("textDocument/codeAction", {}).get("error", {}).get("code") == -32600, "nothing after shutdown")
    server.notify("exit", None)
    check(server.process.wait(10) == 0, "exit after shutdown ends with status 0")


def positions_in_utf8(folder):
    path = os.path.join(folder, "utf8.bas")
    uri = "file://" + path
    text = MODULE
    write(path, text)
    server = Server(folder, ["utf-8", "utf-16"], resolve=True, versioned=True)
    check(server.initialize()["result"]["capabilities"]["positionEncoding"] == "utf-8", "UTF-8 when offered")
    server.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "vb", "version": 1, "text": text}})
    server.diagnostics(uri, 1)
    lines = text.split(CRLF)
    emoji = lines.index("' 😀 絵文字の行")
    start = {"line": emoji, "character": units("' 😀 ", "utf-8")}
    change = {"range": {"start": start, "end": {"line": emoji, "character": start["character"] + units("絵文字", "utf-8")}},
              "text": "顔"}
    server.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": 2}, "contentChanges": [change]})
    text = apply(text, [{"range": change["range"], "newText": "顔"}], "utf-8")
    check("' 😀 顔の行" in text, "a change in bytes")
    write(path, text)
    target = lines.index("Private Sub 表示(ByVal 文 As String)")
    selection = {"start": {"line": target, "character": units("Private Sub ", "utf-8")},
                 "end": {"line": target, "character": units("Private Sub 表示", "utf-8")}}
    expected = command(folder, "mark", "--from", f"{target + 1}:13", "--to", f"{target + 1}:15", path)
    check(action_text(server, uri, text, selection, "Wrap selection in edit-record stamp", encoding="utf-8") == expected,
          "the edit-record stamp with positions in bytes")
    expected = command(folder, "stamp", "--line", str(target + 1), path)
    check(action_text(server, uri, text, at_line(target), "Insert function-description stamp", "refactor.rewrite", encoding="utf-8") ==
          expected, "the stamp with positions in bytes")
    check(action_text(server, uri, text, at_line(target), "Refresh this stamp") is None, "no refresh offered without a stamp")
    expected = command(folder, "stamp", "--all", path)
    check(action_text(server, uri, text, at_line(0), "Stamp every procedure of this file") == expected, "stamp --all, resolved")
    server.request("shutdown", None)
    server.notify("exit", None)
    check(server.process.wait(10) == 0, "exit")


def lone_carriage_returns_and_kept_text(folder):
    # A CR alone ends a line for the editor, not for the command: each place is the command's all
    # the same. A return value a person wrote is kept by refresh, and no fix offers to do nothing.
    path = os.path.join(folder, "改行.bas")
    uri = "file://" + "".join(ch if ch.isascii() and (ch.isalnum() or ch in "/-._~") else "".join("%%%02X" % b for b in ch.encode()) for ch in path)
    write(path, CRLF.join(['Attribute VB_Name = "改行"', "Public Function 合計する(ByVal 値 As Long) As Long", "End Function", ""]))
    stamped = command(folder, "stamp", "--all", path)
    kept = stamped.replace("' 戻り値\u3000: \r\n", "' 戻り値\u3000: Long - 金額\r\n").replace(
        "Public Function 合計する(ByVal 値 As Long) As Long", "Public Sub 合計する(ByVal 値 As Long)").replace("End Function", "End Sub")
    check(kept != stamped and "金額" in kept, "the return value written by a person")
    text = kept.replace(CRLF, CRLF + "' 注記\r続き" + CRLF, 1) + CRLF.join(["Public Sub 追加()", "End Sub", ""])
    write(path, text)
    for resolve in (False, True):
        server = Server(folder, resolve=resolve, apply_edit=True, versioned=resolve)
        server.initialize()
        server.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "vb", "version": 1, "text": text}})
        published = server.diagnostics(uri, 1)
        starts = line_starts(text)
        file_starts = [0] + [m.end() for m in re.finditer("\n", text)]
        # check's lines, as the editor counts them.
        expected = sorted((position(text, file_starts[line], "utf-16")["line"], rule, message)
                          for line, rule, message in findings(folder, path))
        check(as_findings(published) == expected, f"diagnostics past a CR alone: {as_findings(published)} != {expected}")
        check({d["code"] for d in published} == {"no-stamp", "return-value-differs"}, f"both findings: {published}")
        add = next(d for d in published if d["code"] == "no-stamp")
        check(text[starts[add["range"]["start"]["line"]]:].startswith("Public Sub 追加()"), "the finding stands on its procedure")
        file_line = text[:starts[add["range"]["start"]["line"]]].count("\n") + 1
        expected_text = command(folder, "stamp", "--line", str(file_line), path)
        check(action_text(server, uri, text, at_line(add["range"]["start"]["line"], 2), "Insert function-description stamp",
                          "refactor.rewrite") == expected_text, "the stamp at the caret past a CR alone is the command's")
        check(action_text(server, uri, text, at_line(add["range"]["start"]["line"]), "Insert function-description stamp", "quickfix",
                          [add]) == expected_text, "the quick fix past a CR alone is the command's")
        differs = next(d for d in published if d["code"] == "return-value-differs")
        titles = [(a["title"], a["kind"]) for a in actions(server, uri, differs["range"], [differs])]
        check(("Refresh this stamp", "quickfix") not in titles, f"no fix that would do nothing: {titles}")
        reply = server.request("workspace/executeCommand", {"command": "quillmark.refreshStamp", "arguments": [uri, differs["range"]]})
        check(reply.get("error", {}).get("code") == -32803 and "kept as written" in reply["error"]["message"],
              f"refresh says what it kept: {reply}")
        server.request("shutdown", None)
        server.notify("exit", None)
        check(server.process.wait(10) == 0, "exit")


def bad_input(folder):
    server = Server(folder)
    server.raw(b"Content-Length: 9\r\n\r\n{\"id\":1,]")
    check(server.wait(lambda m: "error" in m)["error"]["code"] == -32700, "malformed JSON: a parse error")
    server.raw(b"Content-Type: x\r\n\r\n")
    check(server.wait(lambda m: "error" in m)["error"]["code"] == -32700, "no Content-Length: a parse error")
    server.raw(b"Content-Length: 4\r\n\r\n\"\xff\xfe\"")
    check(server.wait(lambda m: "error" in m)["error"]["code"] == -32700, "bad UTF-8: a parse error")
    server.raw(b"Content-Length: 3000\r\n\r\n" + b"[" * 3000)
    check(server.wait(lambda m: "error" in m)["error"]["code"] == -32700, "deep nesting: a parse error")
    server.initialize()
    server.notify("$/unknownNotification", {})
    reply = server.request("textDocument/hover", {})
    check(reply.get("error", {}).get("code") == -32601, "an unknown method: MethodNotFound (and the unknown notification no answer)")
    for name in ("a%00b.bas", "a%0Ab.bas"):
        uri = "file://" + folder + "/" + name
        server.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "vb", "version": 1, "text": MODULE}})
        check(server.wait(lambda m: m.get("method") == "window/logMessage")["params"]["type"] == 1, "a name with " + name + " is refused")
        reply = server.request("textDocument/codeAction", {"textDocument": {"uri": uri}, "range": at_line(0), "context": {}})
        check(reply.get("error", {}).get("code") == -32602, "and never opened")
    reply = server.request("textDocument/codeAction", {"textDocument": {"uri": "file:///nowhere/x.bas"}, "range": at_line(0)})
    check(reply.get("error", {}).get("code") == -32602, "a document never opened")
    uri = "file://" + folder + "/past.bas"
    write(folder + "/past.bas", MODULE)
    server.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "vb", "version": 1, "text": MODULE}})
    reply = server.request("textDocument/codeAction", {"textDocument": {"uri": uri}, "range": at_line(999, 999), "context": {}})
    check("result" in reply, "a position past the end is the end")
    reply = server.request("workspace/executeCommand", {"command": "quillmark.wrapEditRecord", "arguments": [uri, at_line(0)]})
    check(reply.get("error", {}).get("code") == -32803 and "hidden header" in reply["error"]["message"],
          "a selection in the hidden header: the command's message, RequestFailed")
    reply = server.request("workspace/executeCommand", {"command": "quillmark.unknown", "arguments": [uri, at_line(0)]})
    check(reply.get("error", {}).get("code") == -32602, "an unknown command")
    # An empty module where the policy asks for a header: the finding on the first line.
    os.makedirs(folder + "/empty", exist_ok=True)
    with open(folder + "/empty/.quillmark-check", "w") as f:
        f.write("module-header = required\n")
    uri = "file://" + folder + "/empty/e.bas"
    server.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "vb", "version": 1, "text": ""}})
    published = server.diagnostics(uri)
    check([(d["code"], d["range"]["start"]["line"]) for d in published] == [("no-module-header", 0)], f"an empty module: {published}")
    server.process.stdin.close()
    check(server.process.wait(10) == 1, "the end of the input without exit: status 1")
    check(not os.path.exists(folder + "/a"), "nothing written")


def client_goes_away(folder):
    server = Server(folder)
    server.initialize()
    server.process.stdin.close()
    check(server.process.wait(10) == 1, "a client that goes away ends the server")


if __name__ == "__main__":
    main()

// The style sheet, the search script and the icon of the documentation site: written into the site
// itself, so that it works from file:// with no network.
#include "cli/doc_assets.h"

namespace qm::cli::doc {

const char* const kStyleSheet = R"css(/* Quillmark reference: light and dark after the system, phone to desktop, print. */
:root {
  --bg: #fdfdfb; --fg: #1f2328; --muted: #5b636e; --line: #d9dde3; --panel: #f3f5f7;
  --accent: #1f5fae; --accent-bg: #e8f0fb; --warn: #9a3b00; --warn-bg: #fff1e0; --code-bg: #f5f6f8;
  color-scheme: light dark;
}
@media (prefers-color-scheme: dark) {
  :root {
    --bg: #15181c; --fg: #e6e8eb; --muted: #9aa3ad; --line: #2f353d; --panel: #1d2127;
    --accent: #7fb0f0; --accent-bg: #1c2a3d; --warn: #f0a868; --warn-bg: #35261a; --code-bg: #1b1f24;
  }
}
* { box-sizing: border-box; }
html { -webkit-text-size-adjust: 100%; text-size-adjust: 100%; }
body {
  margin: 0; background: var(--bg); color: var(--fg);
  font-family: system-ui, -apple-system, "Hiragino Sans", "Hiragino Kaku Gothic ProN", "Yu Gothic UI", "Yu Gothic", Meiryo,
    "Noto Sans CJK JP", "Noto Sans JP", "IPAexGothic", "IPAGothic", sans-serif;
  font-size: 16px; line-height: 1.8; letter-spacing: 0.02em;
  line-break: strict; overflow-wrap: anywhere; word-break: normal;
}
code, pre, .mono {
  font-family: ui-monospace, "SFMono-Regular", Menlo, Consolas, "BIZ UDGothic", "MS Gothic", "Noto Sans Mono CJK JP",
    "IPAGothic", monospace;
  font-size: 0.92em; letter-spacing: 0;
}
a { color: var(--accent); text-decoration: none; }
a:hover, a:focus { text-decoration: underline; }
header.top {
  position: sticky; top: 0; z-index: 10; display: flex; flex-wrap: wrap; align-items: center; gap: 0.5rem 1.5rem;
  padding: 0.6rem max(1rem, calc((100% - 60rem) / 2)); background: var(--panel); border-bottom: 1px solid var(--line);
}
header.top .home { font-weight: 700; color: var(--fg); }
.search { position: relative; flex: 1 1 16rem; max-width: 28rem; }
.search input {
  width: 100%; padding: 0.35rem 0.7rem; font: inherit; color: var(--fg); background: var(--bg);
  border: 1px solid var(--line); border-radius: 6px;
}
.search input:focus { outline: 2px solid var(--accent); outline-offset: 0; }
#qm-results {
  position: absolute; left: 0; right: 0; top: calc(100% + 4px); margin: 0; padding: 0.3rem 0; list-style: none;
  max-height: 70vh; overflow-y: auto; background: var(--bg); border: 1px solid var(--line); border-radius: 6px;
  box-shadow: 0 6px 24px rgba(0, 0, 0, 0.18);
}
#qm-results li { padding: 0.3rem 0.8rem; line-height: 1.5; }
#qm-results li + li { border-top: 1px solid var(--line); }
#qm-results .where, #qm-results .snip { display: block; color: var(--muted); font-size: 0.85em; }
#qm-results .none { color: var(--muted); }
main { max-width: 60rem; margin: 0 auto; padding: 1rem 1rem 3rem; }
h1 { font-size: 1.7rem; line-height: 1.4; margin: 1rem 0 0.5rem; }
h2 { font-size: 1.3rem; line-height: 1.4; margin: 2rem 0 0.5rem; padding-bottom: 0.2rem; border-bottom: 1px solid var(--line); }
h3 { font-size: 1.05rem; margin: 1.2rem 0 0.4rem; }
.crumbs { color: var(--muted); font-size: 0.9em; margin-top: 0.5rem; }
.meta { color: var(--muted); }
.table { overflow-x: auto; }
table { border-collapse: collapse; width: 100%; margin: 0.5rem 0 1rem; }
th, td { text-align: left; vertical-align: top; padding: 0.35rem 0.6rem; border-bottom: 1px solid var(--line); }
th { background: var(--panel); font-weight: 600; white-space: nowrap; }
td.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
.badge {
  display: inline-block; padding: 0 0.45em; margin-left: 0.3em; border-radius: 4px; font-size: 0.75em; font-weight: 600;
  vertical-align: middle; background: var(--accent-bg); color: var(--accent); letter-spacing: 0;
}
.badge.private { background: var(--panel); color: var(--muted); }
.badge.missing, .unreadable { background: var(--warn-bg); color: var(--warn); }
.unreadable { padding: 0.4rem 0.8rem; border-radius: 6px; }
section.proc { margin: 1.5rem 0 2rem; scroll-margin-top: 5rem; }
section.proc:target { background: var(--accent-bg); border-radius: 6px; box-shadow: 0 0 0 0.5rem var(--accent-bg); }
section.proc h2 { display: flex; flex-wrap: wrap; align-items: baseline; gap: 0.2rem 0.5rem; }
section.proc h2 .line { margin-left: auto; font-size: 0.8rem; font-weight: 400; color: var(--muted); }
pre.decl, pre.note {
  margin: 0.5rem 0; padding: 0.6rem 0.8rem; background: var(--code-bg); border: 1px solid var(--line); border-radius: 6px;
  overflow-x: auto; white-space: pre-wrap; line-height: 1.6;
}
pre.note { font-family: inherit; font-size: 0.95em; }
dl.items { display: grid; grid-template-columns: max-content 1fr; gap: 0.2rem 1rem; margin: 0.5rem 0; }
dl.items dt { font-weight: 600; color: var(--muted); }
dl.items dd { margin: 0; white-space: pre-wrap; }
table.args { width: auto; margin: 0; }
table.args td:first-child { white-space: nowrap; padding-left: 0; }
.nostamp { color: var(--warn); }
.refs { margin: 0.3rem 0; color: var(--muted); font-size: 0.95em; }
.refs a { margin-right: 0.6em; }
ul.toc { columns: 14rem; padding-left: 1.2rem; }
footer {
  max-width: 60rem; margin: 0 auto; padding: 1rem; border-top: 1px solid var(--line); color: var(--muted); font-size: 0.85em;
}
@media (max-width: 40rem) {
  body { font-size: 15px; }
  header.top { position: static; }
  h1 { font-size: 1.4rem; }
  dl.items { grid-template-columns: 1fr; }
  dl.items dd { margin-bottom: 0.4rem; }
  section.proc h2 .line { margin-left: 0; }
  th, td { padding: 0.3rem 0.4rem; }
}
@media print {
  :root { --bg: #fff; --fg: #000; --muted: #444; --line: #bbb; --panel: #f2f2f2; --accent: #000; --code-bg: #fff; }
  header.top { display: none; }
  body { font-size: 10.5pt; line-height: 1.6; }
  main { max-width: none; padding: 0; }
  a { color: inherit; }
  section.proc { break-inside: avoid-page; }
  h2, h3 { break-after: avoid-page; }
  pre.decl, pre.note { white-space: pre-wrap; }
  footer { border-top: 1px solid #bbb; }
}
)css";

const char* const kSearchScript = R"js(// Search over the names and stamp texts of the site, from the index beside this script: no server,
// no network. Half-width and full-width forms match each other, case does not matter.
(function () {
  "use strict";
  var box = document.getElementById("qm-search");
  var list = document.getElementById("qm-results");
  if (!box || !list) return;
  var root = document.body.getAttribute("data-root") || "";
  function norm(s) { return String(s).normalize("NFKC").toLowerCase(); }
  var entries = (window.QM_SEARCH || []).map(function (e) {
    return { e: e, name: norm(e.n), text: norm(e.m + "\n" + e.t), plain: String(e.t).normalize("NFKC") };
  });
  function snippet(entry, q) {
    var at = entry.plain.toLowerCase().indexOf(q);
    if (at < 0) return "";
    var from = Math.max(0, at - 20);
    var text = entry.plain.slice(from, at + q.length + 40).replace(/\s+/g, " ");
    return (from > 0 ? "…" : "") + text;
  }
  function show() {
    var q = norm(box.value.trim());
    list.textContent = "";
    if (!q) { list.hidden = true; return; }
    var byName = [], byText = [];
    entries.forEach(function (entry) {
      if (entry.name.indexOf(q) >= 0) byName.push(entry);
      else if (entry.text.indexOf(q) >= 0) byText.push(entry);
    });
    var found = byName.concat(byText).slice(0, 50);
    if (!found.length) {
      var none = document.createElement("li");
      none.className = "none";
      none.textContent = "見つかりません";
      list.appendChild(none);
    }
    found.forEach(function (entry) {
      var li = document.createElement("li");
      var a = document.createElement("a");
      a.href = root + entry.e.u;
      a.textContent = entry.e.n;
      li.appendChild(a);
      var where = document.createElement("span");
      where.className = "where";
      where.textContent = entry.e.k + " · " + entry.e.m;
      li.appendChild(where);
      var text = snippet(entry, q);
      if (text) {
        var s = document.createElement("span");
        s.className = "snip";
        s.textContent = text;
        li.appendChild(s);
      }
      list.appendChild(li);
    });
    list.hidden = false;
  }
  box.addEventListener("input", show);
  box.addEventListener("keydown", function (event) {
    if (event.key === "Escape") { box.value = ""; show(); }
    if (event.key === "Enter") {
      var first = list.querySelector("a");
      if (first) window.location.href = first.href;
    }
  });
  document.addEventListener("click", function (event) {
    if (!list.contains(event.target) && event.target !== box) list.hidden = true;
  });
  box.addEventListener("focus", function () { if (box.value.trim()) show(); });
})();
)js";

const char* const kIcon =
    R"svg(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 16 16"><rect width="16" height="16" rx="3" fill="#1f5fae"/><path d="M4 4h8M4 8h8M4 12h5" stroke="#fff" stroke-width="1.6"/></svg>
)svg";

}  // namespace qm::cli::doc

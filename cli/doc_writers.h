#pragma once
// The three forms of quillmark doc, written from one model: a static site (pages, style sheet,
// search), one JSON file, and Markdown pages. Every text from the code is escaped for where it goes.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/doc_model.h"

namespace qm::cli::doc {

// Files to write: the path inside the output folder ("/" between folders) and the bytes.
using Files = std::vector<std::pair<std::string, std::string>>;

Files HtmlSite(const DocSet& set);
std::string DocJson(const DocSet& set);
Files MarkdownPages(const DocSet& set);

// Text as it may stand in HTML, between tags and inside a quoted attribute.
std::string HtmlText(std::string_view utf8);
// Text as Markdown shows it literally, on one line.
std::string MarkdownText(std::string_view utf8);

}  // namespace qm::cli::doc

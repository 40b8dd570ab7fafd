#pragma once
// The three forms of quillmark doc, written from one model: a static site (pages, style sheet,
// search), one JSON file, and Markdown pages. Every text from the code is escaped for where it goes.
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/doc_model.h"

namespace qm::cli::doc {

// Takes each file as it is made: its path inside the output folder ("/" between folders) and its
// bytes, so that no more than one page is held at a time.
using FileSink = std::function<void(const std::string& path, const std::string& bytes)>;

void HtmlSite(const DocSet& set, const FileSink& put);
std::string DocJson(const DocSet& set);
void MarkdownPages(const DocSet& set, const FileSink& put);

// Text as it may stand in HTML, between tags and inside a quoted attribute.
std::string HtmlText(std::string_view utf8);
// Text as Markdown shows it literally, on one line.
std::string MarkdownText(std::string_view utf8);

}  // namespace qm::cli::doc

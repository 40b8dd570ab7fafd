// quillmark doc: the stamps of projects and files as a reference to browse and search, as JSON or
// as Markdown pages. The output folder is made whole beside its place and then moved there, so a
// failure leaves no half of it.
#include <filesystem>
#include <fstream>
#include <iostream>

#include "addin/settings/format_rules.h"
#include "cli/commands.h"
#include "cli/doc_model.h"
#include "cli/doc_writers.h"
#include "cli/paths.h"
#include "cli/sources.h"
#include "cli/store.h"
#include "platform/text.h"

#ifdef _WIN32
#include <process.h>
#define QM_PID _getpid()
#else
#include <unistd.h>
#define QM_PID getpid()
#endif

namespace qm::cli {
namespace {

namespace fs = std::filesystem;

// What tells a folder that this command wrote it, so that it may be replaced without --force.
constexpr const char* kMarker = ".quillmark-doc";

void WriteOne(const fs::path& folder, const std::string& name, const std::string& bytes) {
    const fs::path path = folder / PathOf(name);
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw Failure{name + ": cannot be written"};
}

// Refuses a folder that holds what this command did not write, unless forced.
void MayReplace(const fs::path& output, const std::string& shown, bool force) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(output, ec);
    if (ec || !fs::exists(status)) return;
    if (!fs::is_directory(status)) throw Failure{shown + ": exists and is not a folder; nothing was written"};
    if (force || fs::exists(output / kMarker)) return;
    if (fs::directory_iterator(output, ec) != fs::directory_iterator()) {
        throw Failure{shown + ": holds files that quillmark doc did not write; nothing was written (--force replaces the folder)"};
    }
}

}  // namespace

int CommandDoc(const DocOptions& options) {
    if (options.format != "html" && options.format != "json" && options.format != "markdown") {
        throw UsageError{"--format must be html, json or markdown, not \"" + options.format + "\""};
    }
    if (options.output.empty()) throw UsageError{"--output DIR is needed: the folder the documentation goes to"};
    if (FindLineBreaker(Utf8ToUtf16(options.output)) != std::u16string::npos) throw UsageError{"--output names a control character"};
    fs::path output = PathOf(options.output);
    if (output.filename().empty()) output = output.parent_path();  // "site/"
    if (output.empty() || output.filename() == "." || output.filename() == "..") {
        throw UsageError{"--output must name a folder of its own, not \"" + options.output + "\""};
    }
    MayReplace(output, options.output, options.force);

    // Each file's own store, as the other commands read them: the one named, else the team file found
    // from the file's folder, else the user's own.
    Stores stores(options.common);
    {
        std::vector<std::string> problems;
        const std::vector<Source> sources = ExpandSources(options.files, problems);
        stores.Prepare(sources, problems);
    }
    const doc::FormatOfFile formatOf = [&](const std::string& path) {
        doc::FileFormat format;
        format.codepage = &stores.Of(path).Cp();
        format.argumentItems = ItemNamesOfKind(stores.FormatOf(path), kind::kArguments);
        // The names the default format and many teams' formats give the argument item.
        format.argumentItems.insert(format.argumentItems.end(), {u"引数", u"引き数"});
        return format;
    };
    const doc::DocSet set = doc::ReadDocSet(options.files, options.common, formatOf, options.publicOnly);

    // Made whole beside the output folder, then moved into its place.
    fs::path parent = output.parent_path();
    if (parent.empty()) parent = ".";
    const std::string leaf = Utf8Of(output.filename());
    const fs::path temporary = parent / PathOf("." + leaf + ".quillmark-new-" + std::to_string(QM_PID));
    const fs::path old = parent / PathOf("." + leaf + ".quillmark-old-" + std::to_string(QM_PID));
    std::error_code ec;
    fs::remove_all(temporary, ec);
    try {
        fs::create_directories(temporary);
        const doc::FileSink put = [&](const std::string& name, const std::string& bytes) { WriteOne(temporary, name, bytes); };
        if (options.format == "html") {
            doc::HtmlSite(set, put);
        } else if (options.format == "json") {
            put("quillmark-doc.json", doc::DocJson(set));
        } else {
            doc::MarkdownPages(set, put);
        }
        put(kMarker, "Written by quillmark doc; the folder is replaced whole by its next run.\n");
        const bool replacing = fs::exists(fs::symlink_status(output));
        if (replacing) fs::rename(output, old);
        try {
            fs::rename(temporary, output);
        } catch (const fs::filesystem_error&) {
            if (replacing) fs::rename(old, output, ec);
            throw;
        }
        if (replacing) fs::remove_all(old, ec);
    } catch (const fs::filesystem_error& e) {
        fs::remove_all(temporary, ec);
        throw Failure{options.output + ": cannot be written: " + e.code().message()};
    } catch (...) {
        fs::remove_all(temporary, ec);
        throw;
    }

    std::vector<std::string> problems;
    for (const doc::Project& project : set.projects) {
        problems.insert(problems.end(), project.problems.begin(), project.problems.end());
        for (const doc::Module& module : project.modules) {
            if (!module.problem.empty()) problems.push_back(module.problem);
        }
    }
    ReportProblems(problems);
    const std::string first = options.format == "html" ? "index.html" : options.format == "json" ? "quillmark-doc.json" : "README.md";
    if (!options.common.quiet) std::cout << Printable(Utf8Of(output / PathOf(first))) << '\n';
    return problems.empty() ? 0 : 1;
}

}  // namespace qm::cli

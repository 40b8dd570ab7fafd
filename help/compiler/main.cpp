// qm_helpc SOURCE OUTDIR: makes Quillmark.hlp, Quillmark.cnt and the HTML Help project (OUTDIR/chm)
// from the help source.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "help/compiler/help_source.h"
#include "help/compiler/html_help.h"
#include "help/compiler/winhelp_file.h"

namespace {

void Write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: qm_helpc SOURCE OUTDIR\n";
        return 2;
    }
    const std::filesystem::path sourcePath = argv[1], outDir = argv[2];
    try {
        std::ifstream in(sourcePath, std::ios::binary);
        if (!in) throw std::runtime_error("cannot read " + sourcePath.string());
        std::ostringstream text;
        text << in.rdbuf();
        const auto codepage = qm::MakeCp932Codepage();
        const qm::help::HelpSource source = qm::help::ParseHelpSource(text.str());
        std::filesystem::create_directories(outDir / "chm");
        Write(outDir / "Quillmark.hlp", qm::help::WriteWinHelpFile(source, *codepage, u"Quillmark.cnt"));
        Write(outDir / "Quillmark.cnt", qm::help::WriteContentsFile(source, *codepage, u"Quillmark.hlp"));
        for (const auto& [name, bytes] : qm::help::WriteHtmlHelpProject(source, *codepage, "Quillmark", "Quillmark.chm")) {
            Write(outDir / "chm" / name, bytes);
        }
    } catch (const qm::help::HelpSourceError& e) {
        std::cerr << sourcePath.string() << ":" << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "qm_helpc: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

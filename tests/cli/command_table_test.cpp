// The table of commands is the one description of the command line: the parser and its help are
// made from it, and the manual page and the bash completion must say the same.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_table.h"
#include "cli/commands.h"

namespace {

using qm::cli::AllOptions;
using qm::cli::CommandTable;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::set<std::string> Words(const std::string& text) {
    std::set<std::string> words;
    std::istringstream in(text);
    for (std::string w; in >> w;) words.insert(w);
    return words;
}

// The words of the first "compgen -W '...'" or "common+='...'" after position from.
std::string Quoted(const std::string& text, const std::string& marker, std::size_t from) {
    const auto at = text.find(marker, from);
    if (at == std::string::npos) return {};
    const auto open = at + marker.size();
    return text.substr(open, text.find('\'', open) - open);
}

std::string Output(const std::string& args) {
    std::string out;
    FILE* pipe = popen((std::string("'") + QUILLMARK_EXE + "' " + args + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
    return out;
}

TEST(CommandTable, TheCompletionOffersWhatTheTableHolds) {
    const std::string bash = ReadText(std::string(QUILLMARK_DOCS) + "/quillmark.bash");
    ASSERT_FALSE(bash.empty());
    std::set<std::string> commands = {"--help", "--version"};
    std::set<std::string> topics;
    for (const auto& c : CommandTable()) {
        commands.insert(c.name);
        if (c.run != nullptr) topics.insert(c.name);
    }
    EXPECT_EQ(Words(Quoted(bash, "'') COMPREPLY=($(compgen -W '", 0)), commands);
    EXPECT_EQ(Words(Quoted(bash, "help) COMPREPLY=($(compgen -W '", 0)), topics);
    // The options of each command: the shared ones, then the command's own.
    const std::set<std::string> shared = Words(Quoted(bash, "local common='", 0));
    for (const auto& c : CommandTable()) {
        if (c.run == nullptr) continue;
        SCOPED_TRACE(c.name);
        const auto block = bash.find("        " + std::string(c.name) + ")");
        ASSERT_NE(block, std::string::npos);
        std::set<std::string> offered = shared;
        for (const auto& w : Words(Quoted(bash, "common+='", block))) offered.insert(w);
        std::set<std::string> expected = {"--help"};
        for (const auto& o : AllOptions(c)) {
            expected.insert(o.name);
            if (o.letter != nullptr) expected.insert(o.letter);
        }
        EXPECT_EQ(offered, expected);
    }
    // The verbs of settings.
    const std::set<std::string> settingsWords = Words(Quoted(bash, "compgen -W '", bash.find("        settings)")));
    for (const std::string& verb : qm::cli::SettingsVerbNames()) EXPECT_TRUE(settingsWords.count(verb)) << verb;
    // After an option that takes a value, no file names are offered.
    std::set<std::string> valued;
    const auto cases = bash.find("case $prev in");
    const auto end = bash.find("esac", cases);
    std::istringstream lines(bash.substr(cases, end - cases));
    for (std::string line; std::getline(lines, line);) {
        const auto paren = line.find(')');
        if (paren == std::string::npos) continue;
        std::istringstream patterns(line.substr(0, paren));
        for (std::string p; std::getline(patterns, p, '|');) valued.insert(*Words(p).begin());
    }
    for (const auto& c : CommandTable()) {
        for (const auto& o : AllOptions(c)) {
            if (o.value != nullptr) {
                EXPECT_TRUE(valued.count(o.name)) << o.name;
            }
        }
    }
}

TEST(CommandTable, TheManualPageDescribesEveryCommandAndOption) {
    const std::string page = ReadText(std::string(QUILLMARK_DOCS) + "/quillmark.1");
    ASSERT_FALSE(page.empty());
    const auto commandsSection = page.find(".SH COMMANDS");
    ASSERT_NE(commandsSection, std::string::npos);
    const auto escaped = [](const std::string& name) {
        std::string out;
        for (const char ch : name) out += ch == '-' ? std::string("\\-") : std::string(1, ch);
        return out;
    };
    for (const auto& c : CommandTable()) {
        SCOPED_TRACE(c.name);
        EXPECT_NE(page.find(".B quillmark " + std::string(c.name)), std::string::npos);
        if (c.run != nullptr) {
            EXPECT_NE(page.find(".B " + std::string(c.name) + "\n", commandsSection), std::string::npos);
        }
        for (const auto& o : AllOptions(c)) EXPECT_NE(page.find(escaped(o.name)), std::string::npos) << o.name;
    }
    // The synopsis of settings names every verb.
    const auto synopsis = page.find(".B quillmark settings");
    const std::set<std::string> said = Words(page.substr(synopsis, page.find(".br", synopsis) - synopsis));
    for (const std::string& verb : qm::cli::SettingsVerbNames()) EXPECT_TRUE(said.count(verb)) << verb;
}

TEST(CommandTable, HelpIsMadeFromTheTable) {
    const std::string overall = Output("help");
    for (const auto& c : CommandTable()) {
        SCOPED_TRACE(c.name);
        EXPECT_NE(overall.find(c.name), std::string::npos);
        EXPECT_NE(overall.find(c.help), std::string::npos);
        if (c.run == nullptr) continue;
        const std::string own = Output(std::string("help ") + c.name);
        for (const auto& o : AllOptions(c)) EXPECT_NE(own.find(o.name), std::string::npos) << o.name;
        for (const auto& p : c.positionals) EXPECT_NE(own.find(p.name), std::string::npos) << p.name;
    }
}

}  // namespace

namespace {

TEST(CommandTable, AMistypedNameFindsTheNearest) {
    const std::vector<std::string> commands = {"stamp", "mark", "check", "refresh", "settings", "preview", "help"};
    const std::vector<std::string> options = {"--line", "--all", "--module-header", "--write", "--diff", "--patch", "--undated"};
    const struct {
        const char* word;
        const std::vector<std::string>& names;
        const char* nearest;
    } cases[] = {
        {"chek", commands, "check"},          // a letter left out
        {"stmap", commands, "stamp"},         // two swapped
        {"refresj", commands, "refresh"},     // one changed
        {"settingss", commands, "settings"},  // one too many
        {"CHECK", commands, "check"},         // nearer than any other, though every letter differs in case
        {"", commands, "mark"},               // the shortest, the first of equals
        {"--wirte", options, "--write"},
        {"--dif", options, "--diff"},
        {"--module", options, "--module-header"},
        {"--undate", options, "--undated"},
    };
    for (const auto& c : cases) EXPECT_EQ(qm::cli::NearestName(c.word, c.names), c.nearest) << c.word;
    EXPECT_EQ(qm::cli::NearestName("x", {}), "");
}

}  // namespace

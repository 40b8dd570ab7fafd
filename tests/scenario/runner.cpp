#include "tests/scenario/runner.h"

#include <cmath>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "addin/resources/button_faces.h"
#include "addin/settings/settings_store.h"
#include "platform/bytes.h"
#include "platform/failure.h"
#include "platform/text.h"
#include "tests/scenario/headless_host.h"

namespace qm::scenario {
namespace {

struct Step {
    int line = 0;
    std::vector<std::string> words;
    std::vector<std::string> block;  // the lines up to "end", for steps that take text
};

std::vector<std::string> Words(const std::string& line, int lineNo) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        if (line[i] == '#') break;
        std::string word;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                // \" and \\ stand for themselves, \r \n \t for control characters; any other
                // backslash is kept, so that Windows paths read as written.
                if (c == '\\' && i < line.size() && std::string("\"\\rnt").find(line[i]) != std::string::npos) {
                    const char e = line[i++];
                    word += e == 'r' ? '\r' : e == 'n' ? '\n' : e == 't' ? '\t' : e;
                } else {
                    word += c;
                }
            }
            if (!closed) throw StepError{"line " + std::to_string(lineNo) + ": missing closing quote"};
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') word += line[i++];
        }
        words.push_back(word);
    }
    return words;
}

bool TakesBlock(const std::vector<std::string>& w) {
    if (w.empty()) return false;
    if (w[0] == "module" || w[0] == "class" || w[0] == "document" || w[0] == "userform") return true;
    return w.size() >= 2 && w[0] == "expect" && (w[1] == "lines" || w[1] == "controls" || w[1] == "list");
}

std::u16string U(const std::string& s) { return Utf8ToUtf16(s); }
std::string N(const std::u16string& s) { return Utf16ToUtf8(s); }

int Int(const std::string& s) {
    try {
        std::size_t used = 0;
        const int v = std::stoi(s, &used);
        if (used == s.size()) return v;
    } catch (...) {
    }
    throw StepError{"\"" + s + "\" is not a whole number"};
}

// NAME or NAME(index): a control of the open dialog.
std::pair<std::u16string, int> ControlRef(const std::string& ref) {
    std::string name = ref;
    int index = -1;
    const auto open = ref.find('(');
    if (open != std::string::npos && ref.back() == ')') {
        name = ref.substr(0, open);
        index = Int(ref.substr(open + 1, ref.size() - open - 2));
    }
    return {U(name), index};
}

class Runner {
public:
    Runner(std::string name, std::vector<Step> steps, Host& host, ide::HostKind kind)
        : name_(std::move(name)), steps_(std::move(steps)), host_(host) {
        options_.host = kind;
    }

    std::vector<Failure> Run() {
        host_.Drive([this] {
            if (next_ >= steps_.size()) return false;
            RunNext();
            return true;
        });
        if (connected_ && host_.VbeMade() && Vbe().AddInConnected()) {
            Attempt([&] { Vbe().DisconnectAddIn(0); });
        }
        return failures_;
    }

private:
    void Fail(int line, const std::string& message) { failures_.push_back({name_, line, message}); }

    void RunNext() {
        const Step& step = steps_[next_++];
        try {
            Do(step);
        } catch (const StepError& e) {
            Fail(step.line, e.message);
        } catch (const PlatformError& e) {
            Fail(step.line, std::string("the step could not be done: ") + e.what());
        }
    }

    ide::SimulatedVbe& Vbe() { return host_.Vbe(options_); }
    ide::TextCodeModule& Module(const std::string& name) {
        auto* m = Vbe().Module(U(name));
        if (m == nullptr) throw StepError{"no module " + name};
        return *m;
    }
    // The line as the module holds it, whether or not the editor would let anyone read it.
    static std::optional<std::string> LineOf(ide::TextCodeModule& module, int line) {
        const auto& lines = module.AllLines();
        if (line < 1 || static_cast<std::size_t>(line) > lines.size()) return std::nullopt;
        return N(std::u16string(lines[static_cast<std::size_t>(line - 1)]));
    }
    ide::TextCodePane& Pane(const std::string& name) {
        auto* p = Vbe().Pane(U(name));
        if (p == nullptr) throw StepError{"no module " + name};
        return *p;
    }
    void NeedDialog() {
        if (!host_.DialogOpen()) throw StepError{"no dialog is open"};
    }
    ControlState Inspect(const std::string& ref) {
        NeedDialog();
        const auto [name, index] = ControlRef(ref);
        auto state = host_.Inspect(name, index);
        if (!state) throw StepError{"the dialog has no control " + ref};
        return *state;
    }
    void Act(const std::string& ref, UserAction action, const std::u16string& text = {}, int number = -1) {
        Inspect(ref);
        const auto [name, index] = ControlRef(ref);
        host_.Act(name, index, action, text, number);
    }
    std::shared_ptr<ide::SimControl> CommandControl(const std::string& caption) {
        const auto found = Vbe().FindControlsByPath(U(caption));
        if (found.empty()) throw StepError{"no command-bar control \"" + caption + "\""};
        return found.front().control;
    }
    // The add-in's own key, or the key through which the host knows it (host-setting).
    std::u16string KeyOf(const std::string& verb) const {
        if (verb.rfind("host-", 0) != 0 && verb.rfind("no-host-", 0) != 0) return kSettingsKey;
        return options_.host == ide::HostKind::Vba ? VbaRegistrationKey(host_.Bitness()) : kSettingsKey;
    }
    std::optional<StoredSetting> Stored(const std::string& name, const std::string& verb = "setting") {
        SettingsStore store(host_.Store(), host_.Cp(), KeyOf(verb));
        return store.PeekSetting(U(name));
    }
    void Expect(bool ok, const std::string& message) {
        if (!ok) throw StepError{message};
    }
    template <class A, class B>
    void ExpectEq(const A& got, const B& want, const std::string& what) {
        if (!(got == want)) {
            std::ostringstream s;
            s << what << ": expected \"" << want << "\", found \"" << got << "\"";
            throw StepError{s.str()};
        }
    }
    // Figures in twips, read from the screen within its rounding.
    void ExpectFigures(const std::vector<double>& got, const std::vector<std::string>& want, const std::string& what) {
        bool same = got.size() == want.size();
        std::ostringstream found;
        std::ostringstream expected;
        for (std::size_t i = 0; i < got.size(); ++i) {
            const double w = i < want.size() ? std::stod(want[i]) : 0;
            same = same && std::abs(got[i] - w) <= host_.Tolerance() + 0.5;
            found << (i ? " " : "") << std::round(got[i]);
            expected << (i ? " " : "") << (i < want.size() ? want[i] : "?");
        }
        if (!same) throw StepError{what + ": expected \"" + expected.str() + "\", found \"" + found.str() + "\""};
    }

    void Do(const Step& step) {
        const auto& w = step.words;
        const auto need = [&](std::size_t n) {
            if (w.size() < n) throw StepError{"\"" + w[0] + "\" needs more words"};
        };
        const std::string& verb = w[0];
        if (verb == "environment") {
            need(2);
            if (host_.VbeMade()) throw StepError{"the environment is already running"};
            if (w[1] == "no-standard-bar")
                options_.standardBar = false;
            else if (w[1] == "no-addins-bar")
                options_.addInsBar = false;
            else if (w[1] == "standard-controls")
                options_.standardControls = Int(w.at(2));
            else if (w[1] == "no-main-window")
                options_.tellsMainWindow = false;
            else if (w[1] == "vba")
                options_.host = ide::HostKind::Vba;
            else
                throw StepError{"unknown environment option " + w[1]};
        } else if (verb == "screen") {
            need(3);
            host_.SetScreen(static_cast<float>(Int(w[1])), static_cast<float>(Int(w[2])));
        } else if (verb == "clock") {
            need(3);
            const auto t = ParseDateTime(w[1] + " " + w[2]);
            if (!t) throw StepError{"not a date and time"};
            host_.SetClock(*t);
        } else if (verb == "library") {
            need(2);
            host_.SetLibrary(U(w[1]));
        } else if (verb == "setting" || verb == "host-setting") {
            need(3);
            Registry& registry = host_.Store();
            RegKey key = 0;
            if (registry.CreateKey(Hive::CurrentUser, KeyOf(verb), &key) != RegStatus::Success)
                throw StepError{"the settings key cannot be made"};
            if (w[2] == "number") {
                need(4);
                const auto bytes = PackLe32(static_cast<std::uint32_t>(Int(w[3])));
                registry.SetValue(key, U(w[1]), regtype::Dword, bytes.data(), 4);
            } else if (w[2] == "text") {
                need(4);
                const std::string bytes = host_.Cp().ToAnsi(U(w[3]));
                registry.SetValue(key, U(w[1]), regtype::Sz, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                  static_cast<std::uint32_t>(bytes.size()));
            } else {
                registry.CloseKey(key);
                throw StepError{"setting NAME number N | text \"...\""};
            }
            registry.CloseKey(key);
        } else if (verb == "clipboard") {
            need(2);
            host_.ClipboardSetText(U(w[1]));
        } else if (verb == "module") {
            need(2);
            std::vector<std::u16string> lines;
            for (const auto& l : step.block) lines.push_back(U(l));
            Vbe().AddCodeWindow(U(w[1]), lines, w.size() > 2 ? U(w[2]) : u"");
        } else if (verb == "class" || verb == "document" || verb == "userform") {
            // A class module is in both editors; document modules (a workbook's, a sheet's) and
            // UserForms only in Office's, where no module has a file. A UserForm has its designer too.
            need(2);
            if (verb != "class" && options_.host != ide::HostKind::Vba)
                throw StepError{verb + " modules are the VBA editor's (environment vba)"};
            std::vector<std::u16string> lines;
            for (const auto& l : step.block) lines.push_back(U(l));
            Vbe().AddCodeWindow(U(w[1]), lines);
            if (verb == "userform") Vbe().AddWindow(U(w[1]) + u" (UserForm)");
        } else if (verb == "window") {
            need(2);
            Vbe().AddWindow(U(w[1]));
        } else if (verb == "activate") {
            need(2);
            Vbe().Activate(U(w[1]));
        } else if (verb == "close-window") {
            need(2);
            Vbe().CloseWindow(U(w[1]));
        } else if (verb == "caret") {
            need(4);
            Pane(w[1]).SetSelection({Int(w[2]), Int(w[3]), Int(w[2]), Int(w[3])});
        } else if (verb == "select") {
            need(6);
            Pane(w[1]).SetSelection({Int(w[2]), Int(w[3]), Int(w[4]), Int(w[5])});
        } else if (verb == "readonly") {
            need(2);
            Module(w[1]).SetReadOnly(true);
        } else if (verb == "locked") {
            // Office's project protection; the VB6 environment has none.
            need(2);
            if (options_.host != ide::HostKind::Vba) throw StepError{"locked projects are the VBA editor's (environment vba)"};
            Module(w[1]).SetLocked(true);
        } else if (verb == "access-key") {
            need(2);
            const std::u16string key = U(w[1]);
            if (key.size() != 1) throw StepError{"access-key takes one character"};
            host_.PressAccessKey(key[0]);
        } else if (verb == "help-viewer-missing") {
            host_.SetHelpViewerMissing();
        } else if (verb == "windows-version") {
            need(2);
            host_.SetWindowsVersion(Int(w[1]));
        } else if (verb == "windows-directory") {
            need(2);
            host_.SetWindowsDirectory(U(w[1]));
        } else if (verb == "connect") {
            connected_ = true;
            Vbe().ConnectAddIn(host_.AddIn(), w.size() > 1 ? Int(w[1]) : 1);
        } else if (verb == "disconnect") {
            Vbe().DisconnectAddIn(w.size() > 1 ? Int(w[1]) : 1);
        } else if (verb == "shutdown") {
            Vbe().Shutdown();
        } else if (verb == "tick") {
            host_.Tick(w.size() > 1 ? Int(w[1]) : 1);
        } else if (verb == "click") {
            need(2);
            Vbe().Click(U(w[1]));
        } else if (verb == "press" || verb == "choose") {
            need(2);
            Act(w[1], UserAction::Click);
        } else if (verb == "type") {
            need(3);
            Act(w[1], UserAction::Type, U(w[2]));
        } else if (verb == "check") {
            need(3);
            Act(w[1], UserAction::Check, {}, Int(w[2]));
        } else if (verb == "pick") {
            need(3);
            Act(w[1], UserAction::Pick, {}, Int(w[2]));
        } else if (verb == "dblclick") {
            need(2);
            Act(w[1], UserAction::DblClick, {}, w.size() > 2 ? Int(w[2]) : -1);
        } else if (verb == "close") {
            NeedDialog();
            host_.CloseDialog();
        } else if (verb == "expect") {
            need(2);
            DoExpect(step);
        } else {
            throw StepError{"unknown step \"" + verb + "\""};
        }
    }

    void DoExpect(const Step& step) {
        const auto& w = step.words;
        const auto need = [&](std::size_t n) {
            if (w.size() < n) throw StepError{"\"expect " + w[1] + "\" needs more words"};
        };
        const std::string& what = w[1];
        if (what == "line") {
            need(5);
            ExpectEq(LineOf(Module(w[2]), Int(w[3])).value_or("<no such line>"), w[4], w[2] + " line " + w[3]);
        } else if (what == "lines") {
            need(4);
            auto& m = Module(w[2]);
            const int from = Int(w[3]);
            for (std::size_t i = 0; i < step.block.size(); ++i) {
                const int line = from + static_cast<int>(i);
                ExpectEq(LineOf(m, line).value_or("<no such line>"), step.block[i], w[2] + " line " + std::to_string(line));
            }
        } else if (what == "count") {
            need(4);
            ExpectEq(static_cast<std::int32_t>(Module(w[2]).AllLines().size()), Int(w[3]), w[2] + " line count");
        } else if (what == "selection") {
            need(7);
            const auto s = Pane(w[2]).GetSelection();
            const std::string got = std::to_string(s.startLine) + " " + std::to_string(s.startColumn) + " " + std::to_string(s.endLine) +
                                    " " + std::to_string(s.endColumn);
            ExpectEq(got, w[3] + " " + w[4] + " " + w[5] + " " + w[6], w[2] + " selection");
        } else if (what == "topline") {
            need(4);
            ExpectEq(Pane(w[2]).TopLine(), Int(w[3]), w[2] + " top line");
        } else if (what == "enabled" || what == "disabled") {
            need(3);
            ExpectEq(CommandControl(w[2])->Enabled() ? "enabled" : "disabled", what, "\"" + w[2] + "\"");
        } else if (what == "no-control") {
            need(3);
            Expect(Vbe().FindControls(U(w[2])).empty(), "\"" + w[2] + "\" exists");
        } else if (what == "control-count") {
            need(4);
            ExpectEq(static_cast<int>(Vbe().FindControls(U(w[2])).size()), Int(w[3]), "controls \"" + w[2] + "\"");
        } else if (what == "controls") {
            need(3);
            ExpectControls(w[2], step.block);
        } else if (what == "bar") {
            need(3);
            Expect(Vbe().Bar(U(w[2])) != nullptr, "no command bar " + w[2]);
        } else if (what == "no-bar") {
            need(3);
            Expect(Vbe().Bar(U(w[2])) == nullptr, "command bar " + w[2] + " exists");
        } else if (what == "message") {
            need(3);
            const auto messages = host_.Messages();
            Expect(messagesRead_ < messages.size(), "no message was shown, expected \"" + w[2] + "\"");
            const auto& m = messages[messagesRead_++];
            ExpectEq(N(m.text), w[2], "message");
            if (w.size() > 3) ExpectEq(N(m.title), w[3], "message title");
        } else if (what == "no-message") {
            const auto messages = host_.Messages();
            if (messagesRead_ < messages.size()) throw StepError{"a message was shown: " + N(messages.back().text)};
        } else if (what == "setting" || what == "host-setting") {
            need(5);
            const auto s = Stored(w[2], what);
            Expect(s.has_value(), "setting " + w[2] + " is not stored");
            if (w[3] == "number") {
                Expect(s->type == regtype::Dword && s->data.size() == 4, w[2] + " is not a number");
                std::uint32_t v = 0;
                for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s->data[static_cast<std::size_t>(i)]);
                ExpectEq(static_cast<int>(v), Int(w[4]), "setting " + w[2]);
            } else {
                Expect(s->type == regtype::Sz, w[2] + " is not text");
                ExpectEq(N(host_.Cp().FromAnsi(s->data)), w[4], "setting " + w[2]);
            }
        } else if (what == "no-setting" || what == "no-host-setting") {
            need(3);
            Expect(!Stored(w[2], what).has_value(), "setting " + w[2] + " is stored");
        } else if (what == "clipboard") {
            need(3);
            const auto text = host_.ClipboardText();
            ExpectEq(text ? N(*text) : std::string("<no text>"), w[2], "clipboard");
        } else if (what == "started") {
            need(3);
            const auto started = host_.Started();
            Expect(!started.empty(), "no program was started");
            ExpectEq(N(started.back()), w[2], "started program");
        } else if (what == "nothing-started") {
            Expect(host_.Started().empty(), "a program was started");
        } else if (what == "no-help") {
            Expect(host_.HelpRequests().empty() && host_.HtmlHelpRequests().empty(), "help was shown");
        } else if (what == "dialog") {
            need(3);
            NeedDialog();
            ExpectEq(N(host_.DialogName()), w[2], "open dialog");
            if (w.size() > 3) ExpectEq(N(host_.DialogCaption()), w[3], "dialog caption");
        } else if (what == "no-dialog") {
            Expect(!host_.DialogOpen(), "a dialog is open: " + (host_.DialogOpen() ? N(host_.DialogName()) : ""));
        } else if (what == "text") {
            need(4);
            const auto c = Inspect(w[2]);
            if (!c.text) throw StepError{"the control shows no text"};
            ExpectEq(N(*c.text), w[3], w[2]);
        } else if (what == "value") {
            need(4);
            const auto c = Inspect(w[2]);
            if (!c.value) throw StepError{w[2] + " has no value"};
            ExpectEq(*c.value, Int(w[3]), w[2]);
        } else if (what == "geometry") {
            need(7);
            const auto c = Inspect(w[2]);
            ExpectFigures({c.left, c.top, c.width, c.height}, {w[3], w[4], w[5], w[6]}, w[2] + " geometry");
        } else if (what == "font") {
            need(4);
            ExpectEq(Inspect(w[2]).fontSize, std::stod(w[3]), w[2] + " font size");
        } else if (what == "form-size") {
            need(4);
            NeedDialog();
            const auto box = host_.DialogPlace();
            ExpectFigures({box.width, box.height}, {w[2], w[3]}, "dialog size");
        } else if (what == "centred") {
            NeedDialog();
            const auto d = host_.DialogPlace();
            const auto s = host_.ScreenBox();
            Expect(std::abs(d.left - (s.width - d.width) / 2) < 0.5 + host_.Tolerance() &&
                       std::abs(d.top - (s.height - d.height) / 2) < 0.5 + host_.Tolerance(),
                   "the dialog is not centred");
        } else if (what == "caption") {
            need(3);
            NeedDialog();
            ExpectEq(N(host_.DialogCaption()), w[2], "dialog caption");
        } else if (what == "page") {
            need(3);
            NeedDialog();
            // The wizard's pages are the pictures Picture3(n); only the current one is shown.
            const int page = Int(w[2]);
            bool found = false;
            for (int n = 0; n <= 200; ++n) {
                const auto box = host_.Inspect(u"Picture3", n);
                if (!box) continue;
                if (n == page) found = true;
                Expect(box->visible == (n == page), "page " + std::to_string(n) + (box->visible ? " is visible" : " is hidden"));
            }
            Expect(found, "the dialog has no page " + w[2]);
        } else if (what == "list") {
            need(3);
            const auto list = Inspect(w[2]);
            std::vector<std::string> got;
            for (const auto& e : list.entries) got.push_back("\"" + N(e.text) + "\" " + std::to_string(e.tag));
            std::vector<std::string> expected;
            for (const auto& l : step.block) {
                const auto words = Words(l, 0);
                if (words.empty()) continue;
                expected.push_back("\"" + words[0] + "\" " + (words.size() > 1 ? words[1] : "?"));
            }
            if (got != expected) {
                std::string message = w[2] + " holds:";
                for (const auto& g : got) message += "\n    " + g;
                message += "\n  expected:";
                for (const auto& e : expected) message += "\n    " + e;
                throw StepError{message};
            }
            if (w.size() > 3) ExpectEq(list.value.value_or(-1), Int(w[3]), w[2] + " selection");
        } else if (what == "usable" || what == "unusable") {
            need(3);
            ExpectEq(Inspect(w[2]).usable ? "usable" : "unusable", what, w[2]);
        } else if (what == "visible" || what == "hidden") {
            need(3);
            ExpectEq(Inspect(w[2]).visible ? "visible" : "hidden", what, w[2]);
        } else if (what == "focus") {
            need(3);
            NeedDialog();
            const std::u16string focus = host_.Focus();
            ExpectEq(focus.empty() ? std::string("nothing") : N(focus), w[2], "focus");
        } else if (what == "forecolor") {
            need(4);
            Inspect(w[2]);
            const auto [name, index] = ControlRef(w[2]);
            Expect(host_.ForeColorIs(name, index, Int(w[3])), w[2] + " is not shown in colour " + w[3]);
        } else if (what == "help" || what == "html-help") {
            need(4);
            const auto requests = what == "help" ? host_.HelpRequests() : host_.HtmlHelpRequests();
            Expect(!requests.empty(), "no " + what + " was asked for");
            ExpectEq(N(requests.back().first), w[2], "help file");
            ExpectEq(requests.back().second, Int(w[3]), "help context");
        } else if (what == "environment-disabled" || what == "environment-enabled") {
            Expect(host_.EnvironmentEnabled() == (what == "environment-enabled"), what == "environment-enabled"
                                                                                      ? "the environment's main window is disabled"
                                                                                      : "the environment's main window takes input");
        } else if (what == "connected") {
            Expect(Vbe().AddInConnected(), "the add-in is not connected");
        } else if (what == "disconnected") {
            Expect(!Vbe().AddInConnected(), "the add-in is connected");
        } else if (what == "poller") {
            need(3);
            ExpectEq(host_.PollerRunning() ? "on" : "off", w[2], "button-state poller");
        } else if (what == "face") {
            need(4);
            const Bitmap* face = CommandControl(w[2])->Face();
            Expect(face != nullptr && *face == ButtonFace(Int(w[3])), "\"" + w[2] + "\" does not show face " + w[3]);
        } else {
            throw StepError{"unknown expectation \"" + what + "\""};
        }
    }

    // The controls of a bar (or of a popup: BAR/CAPTION), one line each: caption [group] [face N] [popup].
    void ExpectControls(const std::string& path, const std::vector<std::string>& want) {
        const auto slash = path.find('/');
        std::vector<std::shared_ptr<ide::SimControl>>* items = Vbe().BarItems(U(path.substr(0, slash)));
        if (items == nullptr) throw StepError{"no command bar " + path.substr(0, slash)};
        if (slash != std::string::npos) {
            const std::u16string popup = U(path.substr(slash + 1));
            std::shared_ptr<ide::SimControl> found;
            for (auto& c : *items) {
                if (c->Caption() == popup) found = c;
            }
            if (!found) throw StepError{"no popup " + path};
            items = &found->Children();
        }
        std::vector<std::string> got;
        for (auto& c : *items) {
            std::string line = "\"" + N(c->Caption()) + "\"";
            if (c->BeginGroup()) line += " group";
            for (int f = 0; f < kButtonFaceCount; ++f) {
                if (c->Face() != nullptr && *c->Face() == ButtonFace(f)) line += " face " + std::to_string(f);
            }
            if (c->Type() == ide::ControlType::Popup) line += " popup";
            got.push_back(line);
        }
        std::vector<std::string> expected;
        for (const auto& l : want) {
            std::string line;
            for (const auto& word : Words(l, 0)) {
                line += line.empty() ? "\"" + word + "\"" : " " + word;
            }
            if (!line.empty()) expected.push_back(line);
        }
        const auto join = [](const std::vector<std::string>& v) {
            std::string s;
            for (const auto& x : v) s += "\n    " + x;
            return s;
        };
        if (got != expected) throw StepError{"controls of " + path + ":" + join(got) + "\n  expected:" + join(expected)};
    }

    std::string name_;
    std::vector<Step> steps_;
    Host& host_;
    std::size_t next_ = 0;
    std::vector<Failure> failures_;
    ide::SimulatedVbe::Options options_;
    bool connected_ = false;
    std::size_t messagesRead_ = 0;
};

}  // namespace

std::vector<Failure> RunScenarioText(const std::string& name, const std::string& text, Host& host, ide::HostKind kind) {
    std::vector<Step> steps;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    try {
        while (std::getline(in, line)) {
            ++lineNo;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            Step step{lineNo, Words(line, lineNo), {}};
            if (step.words.empty()) continue;
            if (TakesBlock(step.words)) {
                bool ended = false;
                while (std::getline(in, line)) {
                    ++lineNo;
                    if (!line.empty() && line.back() == '\r') line.pop_back();
                    if (line == "end") {
                        ended = true;
                        break;
                    }
                    step.block.push_back(line);
                }
                if (!ended) return {{name, step.line, "the block has no \"end\""}};
            }
            steps.push_back(std::move(step));
        }
    } catch (const StepError& e) {
        return {{name, lineNo, e.message}};
    }
    if (steps.empty()) return {{name, 0, "the scenario has no steps"}};
    return Runner(name, std::move(steps), host, kind).Run();
}

std::vector<Failure> RunScenarioFile(const std::string& path, Host& host, ide::HostKind kind) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {{path, 0, "cannot read the scenario"}};
    std::stringstream text;
    text << in.rdbuf();
    return RunScenarioText(path, text.str(), host, kind);
}

std::vector<Failure> RunScenarioText(const std::string& name, const std::string& text, ide::HostKind kind) {
    HeadlessHost host;
    return RunScenarioText(name, text, host, kind);
}

std::vector<Failure> RunScenarioFile(const std::string& path, ide::HostKind kind) {
    HeadlessHost host;
    return RunScenarioFile(path, host, kind);
}

}  // namespace qm::scenario

#pragma once
// A code module over a list of text lines that finds procedure regions the way the development
// environment does: the declarations section first; each procedure's region runs from the line
// after the previous procedure's end (blank and comment lines go with the procedure that follows
// them) to its own End statement; lines after the last procedure belong to it.
#include <memory>
#include <string>
#include <vector>

#include "platform/ide/code_window.h"
#include "platform/text_lines.h"

namespace qm::ide {

class TextComponent final : public VBComponent {
public:
    explicit TextComponent(std::u16string path = {}) : path_(std::move(path)) {}
    std::u16string FileNames(std::int16_t index) override;
    void SetPath(std::u16string path) { path_ = std::move(path); }
    void SetFailing(bool failing) { failing_ = failing; }

private:
    std::u16string path_;
    bool failing_ = false;
};

struct ProcedureRegion {
    std::u16string name;
    vbext_ProcKind kind = vbext_pk_Proc;
    std::int32_t startLine = 0;  // first line of the region
    std::int32_t bodyLine = 0;   // the declaration
    std::int32_t endLine = 0;    // last line of the region
};

class TextCodeModule : public CodeModule {
public:
    explicit TextCodeModule(const std::vector<std::u16string>& lines = {}, std::u16string path = {});
    explicit TextCodeModule(LineBuffer lines, std::u16string path = {});
    // A module over lines held elsewhere, which outlive it: it reads them there, and its insertions
    // go there.
    explicit TextCodeModule(LineSource& lines, std::u16string path = {});
    // Lines split at CR LF (or a lone LF).
    static std::vector<std::u16string> SplitText(std::u16string_view text);

    std::u16string Lines(std::int32_t start, std::int32_t count) override;
    void InsertLines(std::int32_t line, const std::u16string& text) override;
    std::int32_t CountOfLines() override;
    std::int32_t CountOfDeclarationLines() override;
    std::u16string ProcOfLine(std::int32_t line, vbext_ProcKind* kind) override;
    std::int32_t ProcStartLine(const std::u16string& name, vbext_ProcKind kind) override;
    std::int32_t ProcBodyLine(const std::u16string& name, vbext_ProcKind kind) override;
    VBComponent& Parent() override { return component_; }

    // The lines as they stand; the view holds while no line is inserted.
    TextLines AllLines() const { return Store(); }
    const std::vector<ProcedureRegion>& Procedures();
    TextComponent& Component() { return component_; }
    // A module that cannot be edited refuses every insertion.
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    // A module of a project that is locked for viewing: Office's editor refuses to read or change
    // it (run-time error 50289), whoever asks.
    void SetLocked(bool locked) { locked_ = locked; }
    bool Locked() const { return locked_; }

private:
    void Analyse();
    void Reachable() const;
    const ProcedureRegion& Find(const std::u16string& name, vbext_ProcKind kind);
    const LineSource& Store() const {
        if (elsewhere_ != nullptr) return *elsewhere_;
        return own_;
    }
    LineSource& Store() {
        if (elsewhere_ != nullptr) return *elsewhere_;
        return own_;
    }

    LineBuffer own_;
    LineSource* elsewhere_ = nullptr;
    TextComponent component_;
    bool readOnly_ = false;
    bool locked_ = false;
    bool analysed_ = false;
    std::int32_t declarationLines_ = 0;
    std::vector<ProcedureRegion> procedures_;
};

class TextCodePane final : public CodePane {
public:
    explicit TextCodePane(CodeModule& module) : module_(module) {}
    Selection GetSelection() override { return selection_; }
    void SetSelection(const Selection& selection) override;
    void SetTopLine(std::int32_t line) override;
    CodeModule& GetCodeModule() override { return module_; }
    std::int32_t TopLine() const { return topLine_; }

private:
    CodeModule& module_;
    Selection selection_;
    std::int32_t topLine_ = 1;
};

}  // namespace qm::ide

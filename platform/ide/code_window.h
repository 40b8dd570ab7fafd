#pragma once
// The code-window objects of the development environment that the stamp commands use.
// Lines and columns count from 1. Every operation throws PlatformError when it fails.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/failure.h"

namespace qm::ide {

class Window {
public:
    virtual ~Window() = default;
    virtual std::u16string Caption() = 0;
};

enum vbext_ProcKind : std::int32_t { vbext_pk_Proc = 0, vbext_pk_Let = 1, vbext_pk_Set = 2, vbext_pk_Get = 3 };

class VBComponent {
public:
    virtual ~VBComponent() = default;
    // Full path of the component's file (index 1); empty when it was never saved.
    virtual std::u16string FileNames(std::int16_t index) = 0;
};

class CodeModule {
public:
    virtual ~CodeModule() = default;
    // count lines from start, joined by CR LF, without a final line break.
    virtual std::u16string Lines(std::int32_t start, std::int32_t count) = 0;
    // The text (which may hold CR LF) becomes new lines in front of line; line may be one past the end.
    virtual void InsertLines(std::int32_t line, const std::u16string& text) = 0;
    virtual std::int32_t CountOfLines() = 0;
    virtual std::int32_t CountOfDeclarationLines() = 0;
    // Name of the procedure whose region holds the line ("" in the declarations section).
    virtual std::u16string ProcOfLine(std::int32_t line, vbext_ProcKind* kind) = 0;
    // First line of the procedure's region; fails when there is no such procedure.
    virtual std::int32_t ProcStartLine(const std::u16string& name, vbext_ProcKind kind) = 0;
    // Line of the procedure's declaration; fails like ProcStartLine.
    virtual std::int32_t ProcBodyLine(const std::u16string& name, vbext_ProcKind kind) = 0;
    virtual VBComponent& Parent() = 0;
};

struct Selection {
    std::int32_t startLine = 1;
    std::int32_t startColumn = 1;
    std::int32_t endLine = 1;
    std::int32_t endColumn = 1;
    friend bool operator==(const Selection&, const Selection&) = default;
};

class CodePane {
public:
    virtual ~CodePane() = default;
    virtual Selection GetSelection() = 0;
    virtual void SetSelection(const Selection& selection) = 0;
    virtual void SetTopLine(std::int32_t line) = 0;
    virtual CodeModule& GetCodeModule() = 0;
    // The window that shows the pane; a pane that knows none has none to give.
    virtual std::shared_ptr<Window> GetWindow() { throw PlatformError("the pane has no window"); }
};

}  // namespace qm::ide

#pragma once
// What every documentation site carries besides its pages.
namespace qm::cli::doc {

extern const char* const kStyleSheet;
extern const char* const kSearchScript;
extern const char* const kIcon;

}  // namespace qm::cli::doc

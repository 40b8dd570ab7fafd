#pragma once
// What a procedure declaration says: its keyword, its name and the names of its arguments.
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct ParsedDeclaration {
    std::u16string keyword;  // "Sub", "Function", "Property Get", "Property Let", "Property Set"; empty when none
    std::u16string name;
    bool hasArguments = false;                  // the list holds at least one argument
    std::vector<std::u16string> argumentNames;  // each argument's name, "()" kept for arrays
};

// Reads a declaration joined into one line. Strings and nested parentheses inside the argument
// list do not end an argument, and whatever follows the list (the type, a comment) is not read.
ParsedDeclaration ParseDeclaration(std::u16string_view declaration);

}  // namespace qm

#pragma once
// Errors and warnings of the assembler and the disassembler, each tied to the
// file and line that caused it.
#include <string>
#include <vector>

namespace tallivo::assembler {

enum class Severity { Error, Warning };

struct Diagnostic {
    Severity severity = Severity::Error;
    std::string file;
    int line = 0;  // 1-based; 0 when the message concerns the whole file
    std::string message;
};

// "file:line: error: message", the form that editors and IDEs jump to.
std::string formatDiagnostic(const Diagnostic& diagnostic);

bool hasErrors(const std::vector<Diagnostic>& diagnostics);

}  // namespace tallivo::assembler

#include "asm/diagnostic.h"

#include <algorithm>

namespace tallivo::assembler {

std::string formatDiagnostic(const Diagnostic& diagnostic) {
    std::string text = diagnostic.file;
    if (diagnostic.line > 0) text += ":" + std::to_string(diagnostic.line);
    text += diagnostic.severity == Severity::Error ? ": error: " : ": warning: ";
    text += diagnostic.message;
    return text;
}

bool hasErrors(const std::vector<Diagnostic>& diagnostics) {
    return std::any_of(diagnostics.begin(), diagnostics.end(),
                       [](const Diagnostic& d) { return d.severity == Severity::Error; });
}

}  // namespace tallivo::assembler

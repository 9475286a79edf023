// tallivo-asm: assembles 4004 source into a code file for the ROMs, and
// disassembles a code file back into source.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "asm/assembler.h"
#include "asm/code_file_reader.h"
#include "asm/disassembler.h"
#include "asm/output_files.h"

namespace {

using namespace tallivo::assembler;
namespace fs = std::filesystem;

constexpr int kExitErrors = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "usage: tallivo-asm SOURCE -o CODEFILE [--listing FILE] [--symbols FILE]\n"
    "       tallivo-asm --disassemble CODEFILE [-o SOURCE]\n"
    "A FILE of - means standard output.\n";

struct Options {
    std::string input;
    bool disassemble = false;
    std::string output;
    std::string listing;
    std::string symbols;
};

int usageError(const std::string& message) {
    std::cerr << "tallivo-asm: " << message << "\n" << kUsage;
    return kExitUsage;
}

// Parses the command line; returns an exit code when the program should stop.
std::optional<int> parseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& into) -> bool {
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return true;
        };
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "-o") {
            if (!value(options.output)) return usageError("-o needs a file name");
        } else if (arg == "--listing") {
            if (!value(options.listing)) return usageError("--listing needs a file name");
        } else if (arg == "--symbols") {
            if (!value(options.symbols)) return usageError("--symbols needs a file name");
        } else if (arg == "--disassemble") {
            if (!value(options.input)) return usageError("--disassemble needs a code file");
            options.disassemble = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option '" + arg + "'");
        } else if (options.input.empty()) {
            options.input = arg;
        } else {
            return usageError("more than one input file ('" + options.input + "' and '" + arg +
                              "')");
        }
    }
    if (options.input.empty()) return usageError("no input file");
    if (options.disassemble && (!options.listing.empty() || !options.symbols.empty()))
        return usageError("--listing and --symbols belong to assembling");
    if (!options.disassemble && options.output.empty())
        return usageError("no code file named with -o");
    return std::nullopt;
}

std::optional<std::string> readWhole(const std::string& path) {
    return fileSystemReader()(path);
}

bool samePath(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) return true;
    return fs::absolute(a, ec).lexically_normal() == fs::absolute(b, ec).lexically_normal();
}

struct Output {
    std::string path;
    std::string text;
};

// Writes every output to a temporary file beside it and renames them into
// place only when all were written, so a failure leaves earlier files as they
// were.
bool writeOutputs(const std::vector<Output>& outputs) {
    std::vector<std::pair<std::string, std::string>> done;  // temporary, final
    bool ok = true;
    for (const Output& output : outputs) {
        if (output.path == "-") continue;
        const std::string temporary = output.path + ".tmp";
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << output.text;
        out.close();
        if (!out) {
            std::cerr << "tallivo-asm: can't write '" << output.path << "'\n";
            std::remove(temporary.c_str());
            ok = false;
            break;
        }
        done.emplace_back(temporary, output.path);
    }
    for (const auto& [temporary, path] : done) {
        std::error_code ec;
        if (ok) fs::rename(temporary, path, ec);
        if (!ok || ec) {
            if (ec)
                std::cerr << "tallivo-asm: can't write '" << path << "': " << ec.message() << "\n";
            std::remove(temporary.c_str());
            ok = false;
        }
    }
    if (!ok) return false;
    for (const Output& output : outputs) {
        if (output.path == "-") std::cout << output.text;
    }
    std::cout.flush();
    return static_cast<bool>(std::cout);
}

void printDiagnostics(const std::vector<Diagnostic>& diagnostics) {
    for (const Diagnostic& d : diagnostics) std::cerr << formatDiagnostic(d) << "\n";
}

int run(const Options& options) {
    std::vector<std::string> outputs = {options.output, options.listing, options.symbols};
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i].empty() || outputs[i] == "-") continue;
        if (samePath(outputs[i], options.input))
            return usageError("'" + outputs[i] + "' is the input file; it would be overwritten");
        for (std::size_t j = 0; j < i; ++j) {
            if (!outputs[j].empty() && outputs[j] != "-" && samePath(outputs[i], outputs[j]))
                return usageError("'" + outputs[i] + "' is named for two outputs");
        }
    }
    const std::optional<std::string> text = readWhole(options.input);
    if (!text) {
        std::cerr << "tallivo-asm: can't read '" << options.input << "'\n";
        return kExitErrors;
    }
    if (options.disassemble) {
        const CodeFileContents contents = readCodeFile(*text, options.input);
        printDiagnostics(contents.diagnostics);
        const std::string source =
            disassemble(contents.image, fs::path(options.input).filename().string());
        return writeOutputs({{options.output.empty() ? "-" : options.output, source}})
                   ? 0
                   : kExitErrors;
    }
    const Assembly assembly = assemble(*text, options.input, fileSystemReader());
    printDiagnostics(assembly.diagnostics);
    if (!assembly.ok()) return kExitErrors;
    std::vector<Output> files = {{options.output, formatCodeFile(assembly)}};
    if (!options.listing.empty()) files.push_back({options.listing, formatListing(assembly)});
    if (!options.symbols.empty()) files.push_back({options.symbols, formatSymbols(assembly)});
    return writeOutputs(files) ? 0 : kExitErrors;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const std::optional<int> exit = parseArguments(argc, argv, options)) return *exit;
    return run(options);
}

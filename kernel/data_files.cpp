#include "kernel/data_files.h"

#include <filesystem>
#include <system_error>

namespace tallivo {

namespace {

std::filesystem::path& executableDir() {
    static std::filesystem::path dir;
    return dir;
}

bool isFile(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_regular_file(p, ec);
}

}  // namespace

void setExecutablePath(const std::string& argv0) {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || self.empty()) self = std::filesystem::absolute(argv0, ec);
    executableDir() = self.parent_path();
}

std::vector<std::string> dataFileCandidates(const std::string& name) {
    if (name.find('/') != std::string::npos) return {name};
    std::vector<std::string> candidates{name};
    const auto& dir = executableDir();
    if (!dir.empty()) {
        candidates.push_back((dir / name).string());
        candidates.push_back((dir / ".." / "share" / "tallivo" / name).lexically_normal().string());
    }
    return candidates;
}

std::string findDataFile(const std::string& name) {
    for (const std::string& candidate : dataFileCandidates(name))
        if (isFile(candidate)) return candidate;
    return name;
}

std::string describeSearch(const std::string& name) {
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    std::string text = "looked for " + name + " in:";
    for (const std::string& candidate : dataFileCandidates(name)) {
        std::filesystem::path shown(candidate);
        if (shown.is_relative() && !ec) shown = here / shown;
        text += "\n  " + shown.string() + (isFile(candidate) ? "" : " (not there)");
    }
    return text;
}

}  // namespace tallivo

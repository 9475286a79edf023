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

std::string findDataFile(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    if (isFile(name)) return name;
    const auto& dir = executableDir();
    if (!dir.empty()) {
        if (auto beside = dir / name; isFile(beside)) return beside.string();
        if (auto shared = dir / ".." / "share" / "tallivo" / name; isFile(shared))
            return shared.lexically_normal().string();
    }
    return name;
}

}  // namespace tallivo

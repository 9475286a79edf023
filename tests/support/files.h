#pragma once
// The whole content of a file, as bytes; empty when it cannot be read.
#include <fstream>
#include <sstream>
#include <string>

namespace tallivo::testing {

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace tallivo::testing

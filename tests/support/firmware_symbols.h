#pragma once
// Addresses of the shipped firmware's labels, read from the symbol table
// the build writes beside 4001.code, so that tests do not depend on where a
// routine happens to lie.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace tallivo::testing {

inline int firmwareSymbol(const std::string& name) {
    std::ifstream in(std::string(TALLIVO_BIN_DIR) + "/4001.sym");
    std::string label, value;
    while (in >> label >> value) {
        if (label == name) return std::stoi(value, nullptr, 16);
    }
    ADD_FAILURE() << "the firmware has no label " << name;
    return -1;
}

}  // namespace tallivo::testing

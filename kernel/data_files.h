#pragma once
// Where the programs find the data files that ship with them (4001.code,
// Flowchart.bmp, types.bmp): the working directory first, then the folder of
// the executable, then ../share/tallivo beside it (the installed layout).
#include <string>
#include <vector>

namespace tallivo {

// Records the folder of the running executable, from argv[0] or /proc.
void setExecutablePath(const std::string& argv0);

// The first existing candidate for `name`, or `name` itself when none exists
// (so that opening it fails with the plain name in the message). A name that
// holds a '/' is taken as it is.
std::string findDataFile(const std::string& name);

// Every place where `name` is looked for, in order.
std::vector<std::string> dataFileCandidates(const std::string& name);

// "looked for NAME in:" and one indented line per place, as full paths,
// marked "(not there)" where no file is: for a user whose file was not found.
std::string describeSearch(const std::string& name);

}  // namespace tallivo

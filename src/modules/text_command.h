#pragma once
// The text command language: one line such as !Schalten(1,$1E,3,1) drives a module by name.

#include <string>
#include <vector>

// Splits a command line into: 0 the command word, 1 Ifc, 2 Ma, 3-5 the command's own parameters
// (empty where missing), and last the error marker ("ERROR" or empty). At least six entries.
std::vector<std::string> SplitTextCommand(const std::string& text);

#pragma once

#include <string>
#include <vector>

namespace tarnvale::test {

// Runs a program (looked up in PATH) without a shell, waits for it and
// returns what it printed on standard output.
std::string runProgram(const std::vector<std::string>& args);

}  // namespace tarnvale::test

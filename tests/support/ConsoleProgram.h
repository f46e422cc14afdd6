#pragma once
// Runs a console program beside the test program with the given standard input, and gives back
// what it wrote to standard output: how tests drive varenko-cmd.exe as a user's script does.
#include <string>

// False in *started (when given) if the program could not be started; the output is then empty.
std::string RunConsoleProgram(const std::wstring& fileName, const std::string& input, bool* started = nullptr);

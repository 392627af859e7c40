#pragma once

#include <cstdio>

inline constexpr char kBanner[] = "\nLorund Demo (mouse click the window Close Box to quit)\n";
inline constexpr char kNotFound[] = "\nDMX Adapter was not found!\n";

// The whole program after output is set up: banner, adapter link, and one
// command per line of input. Returns the exit status: 0 when no adapter was
// found or input ended, 1 when the adapter could not be set up or a command
// could not be written.
int RunTerminal(std::FILE* input);

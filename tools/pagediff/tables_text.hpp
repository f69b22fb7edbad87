// Both tables of a machine as pagesim's display prints them, with each
// entry's last_use, the clock hand marked and runs of free lines shortened.
#pragma once

#include <string>

#include "variants/machine.hpp"

/// The tables of `state`, one line each, every line ending in a line feed.
std::string tables_text(const variants::MachineState& state);

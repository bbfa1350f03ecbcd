// The tool's one way of saying it cannot go on: a message for the publisher,
// caught in main, which exits with 2. Findings about a manifest are results,
// never errors.
#pragma once

#include <stdexcept>
#include <string>

struct ToolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

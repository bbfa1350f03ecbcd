// Whether what the tool explains for a pair is what the real run did.
#pragma once

#include <string>
#include <vector>

#include "differential_case.h"
#include "module_run.h"
#include "tool_run.h"

struct Disagreement {
    std::string category;  // the same text for every pair that disagrees so
    std::string detail;    // what each side said for this pair
};

std::vector<Disagreement> Compare(const DiffCase& c, const ToolAnswer& tool, const ModuleOutcome& module);

// Both sides of a pair, for the report of a disagreement.
std::string DescribeOutcome(const ToolAnswer& tool, const ModuleOutcome& module);

// What each verb prints: plain text for people, JSON for pipelines.
#pragma once

#include <string>
#include <vector>

#include "explain.h"
#include "manifest_check.h"
#include "offers.h"

std::string CheckText(const std::string& name, const std::vector<Finding>& findings);
std::string CheckJson(const std::string& name, const std::vector<Finding>& findings);

std::string ExplainText(const Explanation& explanation, const Installation& installation);
std::string ExplainJson(const Explanation& explanation, const Installation& installation);

std::string CoverageText(const std::vector<CoverageRow>& rows, bool testMode);
std::string CoverageJson(const std::vector<CoverageRow>& rows, bool testMode);

// The rows of the same ranges in the old and the new manifest, with what
// each withdraws.
std::string DiffText(const UpdateManifest& old, const UpdateManifest& fresh,
                     const std::vector<CoverageRow>& before, const std::vector<CoverageRow>& after,
                     bool testMode);
std::string DiffJson(const UpdateManifest& old, const UpdateManifest& fresh,
                     const std::vector<CoverageRow>& before, const std::vector<CoverageRow>& after,
                     bool testMode);

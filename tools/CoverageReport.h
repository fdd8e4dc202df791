#pragma once
// The coverage figures of a results table as the commands print them (run's
// closing lines, stats), and the --levels list they take.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "coverage/ResultsExport.h"

namespace zw::tool {

// "60,70.5" -> {60, 70.5}; "" -> {}. "" or the message.
std::string ParseLevels(const std::string& text, std::vector<double>& out);

// Loads the table and computes its figures with the threshold given, else the
// task's receive level. "" or the failure text.
std::string CoverageReport(const std::filesystem::path& table, const coverage::ExportOptions& options,
                           std::optional<double> threshold, const std::vector<double>& levels, std::string& text,
                           std::string& json);

}  // namespace zw::tool

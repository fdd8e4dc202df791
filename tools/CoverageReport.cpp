#include "CoverageReport.h"

#include <cmath>

#include "common/TextJoin.h"
#include "common/Units.h"
#include "coverage/CoverageFigures.h"

namespace zw::tool {

std::string ParseLevels(const std::string& text, std::vector<double>& out) {
  out.clear();
  if (Trim(text).empty()) return {};
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto comma = text.find(',', start);
    const std::string item = Trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    double v = 0;
    if (!TryParseDouble(item, v) || !std::isfinite(v))
      return "--levels takes numbers separated by commas, e.g. --levels 50,60,70 (not '" + item + "')";
    out.push_back(v);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return {};
}

std::string CoverageReport(const std::filesystem::path& table, const coverage::ExportOptions& options,
                           std::optional<double> threshold, const std::vector<double>& levels, std::string& text,
                           std::string& json) {
  coverage::StudyResults study;
  if (auto err = coverage::LoadStudyResults(table, options, study); !err.empty()) return err;
  if (!threshold) threshold = coverage::StudyThreshold(study);
  const auto figures = coverage::ComputeCoverageFigures(study, threshold, levels);
  text = coverage::CoverageFiguresText(figures);
  json = coverage::CoverageFiguresJson(figures);
  return {};
}

}  // namespace zw::tool

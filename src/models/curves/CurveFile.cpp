#include "models/curves/CurveFile.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "platform/ProgramDir.h"

namespace zw {

namespace {

std::string Where(const std::filesystem::path& file) { return "Curve table " + file.string() + ": "; }

std::vector<std::string> SplitCells(const std::string& line) {
  std::vector<std::string> out;
  std::string cell;
  std::istringstream in(line);
  while (std::getline(in, cell, ',')) out.push_back(Trim(cell));
  if (!line.empty() && line.back() == ',') out.emplace_back();
  return out;
}

// A finite number filling the whole cell.
bool ParseCell(const std::string& s, double& v) {
  if (s.empty()) return false;
  std::size_t used = 0;
  try {
    v = std::stod(s, &used);
  } catch (const std::exception&) {
    return false;
  }
  return used == s.size() && std::isfinite(v);
}

bool Ascending(const std::vector<double>& a) {
  for (std::size_t i = 1; i < a.size(); ++i)
    if (!(a[i] > a[i - 1])) return false;
  return true;
}

CurveCsv Fail(CurveCsv& t, const std::filesystem::path& file, const std::string& why) {
  t = CurveCsv{};
  t.error = Where(file) + why;
  return t;
}

}  // namespace

CurveCsv ReadCurveCsv(const std::filesystem::path& file, bool allowEmptyTail) {
  CurveCsv t;
  std::ifstream in(file, std::ios::binary);
  if (!in) return Fail(t, file, "the file is missing or cannot be read");
  std::string line;
  int lineNo = 0;
  bool header = true;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Trim(line).empty()) continue;
    const auto cells = SplitCells(line);
    if (header) {
      header = false;
      if (cells.size() < 3) return Fail(t, file, "the header row has fewer than two axis values");
      for (std::size_t i = 1; i < cells.size(); ++i) {
        double v = 0;
        if (!ParseCell(cells[i], v))
          return Fail(t, file, "header cell " + std::to_string(i + 1) + " is not a number: '" + cells[i] + "'");
        t.columns.push_back(v);
      }
      continue;
    }
    const std::string at = "line " + std::to_string(lineNo);
    if (cells.size() != t.columns.size() + 1)
      return Fail(t, file, at + " has " + std::to_string(cells.size()) + " cells, the header " +
                               std::to_string(t.columns.size() + 1));
    double key = 0;
    if (!ParseCell(cells[0], key)) return Fail(t, file, at + ": the axis value is not a number: '" + cells[0] + "'");
    t.rows.push_back(key);
    bool tail = false;
    for (std::size_t i = 1; i < cells.size(); ++i) {
      double v = 0;
      if (cells[i].empty() && allowEmptyTail && i > 1) {
        tail = true;
        t.cells.push_back(std::nan(""));
        continue;
      }
      if (tail) return Fail(t, file, at + ": a value follows an empty cell");
      if (!ParseCell(cells[i], v))
        return Fail(t, file, at + ", cell " + std::to_string(i + 1) + " is not a finite number: '" + cells[i] + "'");
      t.cells.push_back(v);
    }
  }
  if (header) return Fail(t, file, "the file is empty");
  if (t.rows.size() < 2) return Fail(t, file, "fewer than two rows of values");
  if (!Ascending(t.columns)) return Fail(t, file, "the header axis does not ascend");
  if (!Ascending(t.rows)) return Fail(t, file, "the row axis does not ascend");
  return t;
}

std::string CheckCurveAxis(const std::filesystem::path& file, const char* what, std::span<const double> got,
                           std::span<const double> want) {
  bool same = got.size() == want.size();
  for (std::size_t i = 0; same && i < got.size(); ++i)
    same = std::fabs(got[i] - want[i]) <= 1e-6 * std::max(1.0, std::fabs(want[i]));
  if (same) return {};
  std::string w;
  for (double v : want) w += (w.empty() ? "" : ", ") + FormatGeneral(v);
  return Where(file) + what + " must be " + w + " (" + std::to_string(want.size()) + " values), the file has " +
         std::to_string(got.size());
}

std::filesystem::path CurveDirectory() { return platform::DataDirectory() / "curves"; }

CurveGrid CurveGridOf(const CurveCsv& t, bool transpose) {
  CurveGrid g;
  const auto& xs = transpose ? t.rows : t.columns;
  const auto& ys = transpose ? t.columns : t.rows;
  for (double v : xs) g.x.push_back(static_cast<float>(v));
  for (double v : ys) g.y.push_back(static_cast<float>(v));
  g.z.reserve(xs.size() * ys.size());
  for (std::size_t j = 0; j < ys.size(); ++j)
    for (std::size_t i = 0; i < xs.size(); ++i)
      g.z.push_back(static_cast<float>(transpose ? t.at(i, j) : t.at(j, i)));
  return g;
}

}  // namespace zw

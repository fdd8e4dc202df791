#pragma once
// Curve tables shipped as CSV files (data/curves): a header row whose first
// cell names the axes and whose other cells are the column axis, then one row
// per row-axis value: that value, then the cells. Reading checks the shape,
// the axes and that every cell is a finite number, so a model never runs on a
// partial or damaged table; every message names the file.
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "common/itplbv.h"

namespace zw {

struct CurveCsv {
  std::vector<double> columns;  // header cells after the first
  std::vector<double> rows;     // first cell of each row
  std::vector<double> cells;    // rows x columns, row-major; NaN for an allowed empty cell
  std::string error;            // empty when the file was read

  double at(std::size_t row, std::size_t col) const { return cells[row * columns.size() + col]; }
};

// Reads a table. With allowEmptyTail, cells left empty at the end of a row
// (a curve leaving the figure) are NaN; any other empty cell is an error.
CurveCsv ReadCurveCsv(const std::filesystem::path& file, bool allowEmptyTail = false);

// Error text ("" when the axis matches) for an axis that must hold exactly
// the given values (to 1e-6 relative).
std::string CheckCurveAxis(const std::filesystem::path& file, const char* what, std::span<const double> got,
                           std::span<const double> want);

// The directory of the shipped curve tables: DataDirectory()/curves.
std::filesystem::path CurveDirectory();

// A grid for itplbv from a table: X = columns, Y = rows (transpose false), or
// X = rows, Y = columns (transpose true).
CurveGrid CurveGridOf(const CurveCsv& t, bool transpose);

}  // namespace zw

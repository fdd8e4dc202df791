#pragma once
// Maps of studies made from other studies whose points fall into classes:
// the best-server map of an aggregate "Best Server" study (each point in the
// colour of the transmitter that serves it, grey where none does) and the
// interference map of an adjacent-channel interference study (served,
// interfered, unserved). The legend names each class.
#include <filesystem>
#include <string>

#include "plot/MapExport.h"

namespace zw::plot {

// True when the table's task is one of these studies (its map is drawn here).
bool IsCategoryStudy(const std::filesystem::path& table);

// Draws the map (.png, .svg or .pdf); "" or the failure text.
std::string ExportCategoryMap(const std::filesystem::path& table, const std::filesystem::path& file,
                              const MapOptions& options, std::string* note = nullptr);

}  // namespace zw::plot

#include "tasks/PathsFile.h"

#include "platform/NumberFormat.h"
#include "common/TextJoin.h"
#include "platform/FileSystem.h"

namespace zw::tasks {
namespace {

std::string Opt(double v, const char* picture) { return v == kMissingNumber ? std::string() : FormatNumber(v, picture); }

}  // namespace

std::vector<Radial> ParsePaths(std::string_view text) {
  std::vector<Radial> out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    auto nl = text.find('\n', pos);
    if (nl == std::string_view::npos) nl = text.size();
    const std::string line = Trim(text.substr(pos, nl - pos));
    pos = nl + 1;
    if (line.size() < 4 || ToUpper(line.substr(0, 4)) != "PATH") continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    Radial r;
    r.key = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    r.fields = SplitFields(value);
    r.azimuth = FieldNumber(value, 4);
    r.length = FieldNumber(value, 7);
    r.unit = Field(value, 8);
    r.targetLat = FieldNumber(value, 9);
    r.targetLon = FieldNumber(value, 10);
    out.push_back(std::move(r));
  }
  return out;
}

std::optional<std::vector<Radial>> ReadPathsFile(const std::filesystem::path& file, std::string* error) {
  const auto text = platform::ReadWholeFile(file);
  if (!text) {
    if (error) *error = "Paths file not found: " + file.string();
    return std::nullopt;
  }
  return ParsePaths(*text);
}

std::string PathsFileText(double txLat, double txLon, const std::vector<RadialLine>& radials) {
  std::string out = "[Paths]\r\nNum Paths=" + std::to_string(radials.size()) + "\r\n";
  for (std::size_t i = 0; i < radials.size(); ++i) {
    const RadialLine& r = radials[i];
    const std::vector<std::string> f = {std::to_string(i + 1),
                                        FormatNumber(txLat, "##0.000000"),
                                        FormatNumber(txLon, "##0.000000"),
                                        FormatNumber(r.azimuth, "##0.00"),
                                        Opt(r.endLat, "##0.000000"),
                                        Opt(r.endLon, "##0.000000"),
                                        FormatGeneral(r.length),
                                        r.unit,
                                        Opt(r.targetLat, "##0.000000"),
                                        Opt(r.targetLon, "##0.000000")};
    out += "PATH" + std::to_string(i) + "=" + JoinFields(f) + "\r\n";
  }
  return out;
}

std::string WritePathsFile(const std::filesystem::path& file, double txLat, double txLon,
                           const std::vector<RadialLine>& radials) {
  std::string why;
  if (!platform::WriteFileAtomic(file, PathsFileText(txLat, txLon, radials), &why))
    return "Cannot write the paths file " + file.string() + ": " + why;
  return {};
}

}  // namespace zw::tasks

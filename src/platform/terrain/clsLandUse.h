#pragma once
// Land-use data: a raster of class codes (for example NLCD land cover) and a
// template, an INI file that says where the raster is and what each class
// means:
//
//   [Land Use]
//   ; the raster: a file or directory, relative to the template
//   Raster = nlcd2011_zion.tif
//   ; loss of codes the template does not list
//   Unknown Loss = 0
//   [Classes]
//   ; code = name | loss dB | area type | street orientation
//   21 = Developed, Open Space | 3 | SUBURBAN | NO CORRECTION
//   23 = Developed, Medium Intensity | 8@150;12@900 | URBAN-MEDIUM | ALONG PATH
//
// A loss is a number of dB, or value@MHz pairs separated by ";" interpolated
// linearly in frequency (held constant beyond the first and last pair); the
// frequency is the one given to PrepareBox. Area types and street orientations
// are the names the Hata/Davidson and Okumura models take ("URBAN-LARGE",
// "URBAN-MEDIUM", "SUBURBAN", "QUASI-OPEN", "OPEN"; "ALONG PATH",
// "ACROSS PATH"); blank or "NO CORRECTION" means none.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zw::platform {

class TerrainSource;

// The largest land-use template read (16 MB).
inline constexpr std::uintmax_t kMaxLandUseTemplateBytes = 16ull * 1024 * 1024;

struct LandUseClass {
  std::int16_t iCode = 0;  // 0 where there is no land-use data
  std::string sName;
  double dLossDB = 0;
  std::string sAreaType;  // upper case, trimmed; "" when the template gives none
  std::string sStreet;    // upper case, trimmed; "" when the template gives none
};

class clsLandUse {
 public:
  clsLandUse();
  ~clsLandUse();
  clsLandUse(const clsLandUse&) = delete;
  clsLandUse& operator=(const clsLandUse&) = delete;

  bool bUse() const;
  void bUse(bool v);
  std::string sTemplate() const;
  // Template name: a path to an INI file, or a bare name looked up as
  // <template directory>/<name>.INI (the extension may be given).
  void sTemplate(const std::string& name);
  void sTemplateDir(const std::filesystem::path& dir);
  // Positions handed to the lookups are on this datum (EPSG, default WGS 84).
  void iDatumEpsg(int epsg);

  // Loads the template (when not loaded yet or changed) and the raster blocks
  // of the box, for the frequency in MHz. Returns "" or the problem text.
  std::string PrepareBox(double maxLat, double minLat, double maxLon, double minLon, double freqMHz);

  // Land use at a point: code, class name and loss in dB. False (code 0,
  // empty name, loss 0) where there is no land-use data or no usable template.
  bool Lookup(double lat, double lon, std::int16_t& code, std::string& name, double& lossDB);
  bool LookupClass(double lat, double lon, LandUseClass& out);

  // Problems met while loading, "" when none.
  std::string sMessage() const;
  // The same, one line each, for the report.
  std::vector<std::string> Warnings() const;
  // True once the template has been loaded with a raster that can be read:
  // only then does land use enter the calculations.
  bool bUsable() const;

 private:
  struct ClassDef {
    std::string name, areaType, street;
    std::vector<std::pair<double, double>> loss;  // (MHz, dB), sorted; one pair with MHz 0 for a flat loss
  };
  std::string LoadTemplate();  // with m_ held
  double LossAt(const std::vector<std::pair<double, double>>& t) const;

  mutable std::mutex m_;
  bool bUse_ = false;
  std::string template_;
  std::filesystem::path templateDir_;
  int datum_ = 4326;
  bool loaded_ = false;
  std::string message_;
  double freqMHz_ = 0;
  std::vector<std::pair<double, double>> unknownLoss_;
  std::map<int, ClassDef> classes_;
  std::unique_ptr<TerrainSource> raster_;
  struct CursorHolder;
  std::unique_ptr<CursorHolder> cursor_;
};

}  // namespace zw::platform

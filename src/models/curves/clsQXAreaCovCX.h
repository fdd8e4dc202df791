#pragma once
// The Part 22 (FCC 94-201) contour calculator: per path, the radial HAAT over
// the HAAT window and the ERP toward the path give the service-contour
// distance along the path azimuth by the closed form of the station type.
// The cellular CGSA calculator (clsQXAreaCovCG) is this calculator with its
// own keys, names and contour formula.
//
// In contour studies the contour point is stored; the engine refuses every
// other study type for these models up front, since the formulas give a
// distance only (point to point: the distance along the path's azimuth and
// whether the path's end lies within it).
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "coverage/clsQXAreaCov.h"
#include "models/curves/CurveStudyParams.h"

namespace zw {

class clsQXAreaCovCX : public clsQXAreaCov {
 public:
  clsQXAreaCovCX();

  bool CovCalc() override;
  // The model gives a service-contour distance, not a field: point to point
  // the result is the contour distance along the path's azimuth (and whether
  // the path's end lies within it, bCovered); ResultQuantity and ResultUnit
  // say so through the model table.
  bool PrtParameters(std::ostream& out) override;
  std::string sNameModel() const override { return keys_.name; }
  std::string sNameModel2() const override { return keys_.code; }
  bool bDirectContourCalc() const override { return true; }

  // The study's task type ("Contour" or "CONTOUR" selects the contour branch).
  void sTaskType(std::string t) { sTaskType_ = std::move(t); }
  const std::string& sTaskType() const { return sTaskType_; }
  bool bContourStudy() const;
  void StudyTaskType(const std::string& type) override { sTaskType_ = type; }
  bool ContourPoint(double& distKm, double& lat, double& lon) const override {
    if (!bContourStudy() || bErrorRun_) return false;
    distKm = dContourDistKm();
    lat = dContourLat_;
    lon = dContourLon_;
    return true;
  }

  std::int16_t iPart22Type() const { return iType_; }
  double dHaatStartM() const { return haat_.startM; }
  double dHaatStopM() const { return haat_.stopM; }
  const std::vector<double>& daRadials() const { return daRadials_; }
  const std::string& sRadials() const { return sRadials_; }
  const std::string& sDesc() const { return sDesc_; }

  // Values of the last path.
  double dDistMi() const { return dDistMi_; }
  double dAzimuth() const { return dAzimuth_; }
  double dHaatM() const { return dHaatM_; }
  double dHorizErpW() const { return dHorizErpW_; }
  double dPathErpW() const { return dPathErpW_; }
  double dContourDistMi() const { return dContourMi_; }
  double dContourDistKm() const { return dContourMi_ * 1.609344; }
  double dContourLat() const { return dContourLat_; }
  double dContourLon() const { return dContourLon_; }
  // Path studies: whether the path end lies within the contour.
  bool bCovered() const { return bCovered_; }
  // The contour distance of the last path and whether its end lies within.
  PathExtras LastPathExtras() const override {
    PathExtras x;
    x.contourKm = dContourDistKm();
    x.insideContour = bCovered();
    return x;
  }

 protected:
  struct Keys {
    std::string name, printName, code;
    std::string hstrt, hstrtun, hstop, hstopun, hradial, desc;  // template
    std::string cfgHStrt, cfgHStop, cfgHRadial;                 // QXCoverage settings
    std::string labelPrefix;                                    // reader labels
  };
  explicit clsQXAreaCovCX(Keys keys);

  bool ReadParameters(const FieldCollection& m) override;
  // The model's own template values; false rejects the template.
  virtual bool ReadModelParameters(const FieldCollection& m);
  // Contour distance (miles) for the last path's HAAT and ERPs; "" on success.
  virtual std::string ContourMi(double& distMi) const;
  // The model's line of the parameter print-out.
  virtual std::string ModelPrintLine() const;
  // Vertical-pattern mode of the path ERP (blank: the horizon angle).
  virtual std::string VerticalMode() const { return "   "; }

  Keys keys_;

 private:
  // Steps of CovCalc: the ERP toward the azimuth (dHorizErpW_) and toward the
  // radio horizon (dPathErpW_, returned in dBm); a contour study's point at
  // (lat, lon); a coverage study's field, inside or beyond the contour.
  double PathErpDbm();
  void ContourPoint(double lat, double lon, double pathDbm);
  void CoveragePoint(double pathDbm);
  std::string DetailLines(bool contour) const;

  std::string sTaskType_;
  std::int16_t iType_ = 0;
  HaatWindow haat_{3000, 16000, "3", "km", "16", "km"};
  std::vector<double> daRadials_;
  std::string sRadials_;
  std::string sDesc_;

  double dDistMi_ = 0, dAzimuth_ = 0, dEndLat_ = 0, dEndLon_ = 0;
  double dHaatM_ = 0, dHorizErpW_ = 0, dPathErpW_ = 0, dThreshold_ = 0;
  double dContourMi_ = 0, dContourLat_ = 0, dContourLon_ = 0;
  bool bCovered_ = false;
};

}  // namespace zw

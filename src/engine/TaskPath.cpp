#include "engine/TaskPath.h"

#include <memory>

#include "common/TextJoin.h"
#include "common/Units.h"
#include "engine/clsRFProp.h"
#include "platform/NumberFormat.h"
#include "platform/ProgramDir.h"
#include "platform/terrain/clsPathElv.h"

namespace zw {

TaskPathResult RunTaskPath(const TaskPathRequest& r) {
  TaskPathResult res;
  P2PResult& out = res.path;
  clsRFProp e;
  e.bSilent(true);
  e.sWorkDir(r.workDir.string());
  e.lTaskID(r.task);
  if (!e.sTaskMessage().empty()) {
    out.error = e.sTaskMessage();
    return res;
  }
  if (r.details) e.bDetails(true);
  // The study's receive level is the link's threshold unless one is given.
  if (const auto& mob = e.cMOB()) {
    const std::string unit = Trim(mob->GetText("RX_A1FLDUN"));
    const double level = mob->GetDouble("RX_A1FLD");
    if ((unit.empty() || ToLower(unit) == "dbu") && level != 0) res.threshold = LinkThreshold{level, "dBu"};
  }
  res.txDesc = Trim(e.cFAC() ? e.cFAC()->GetText("FAC_DESC") : "");

  // The terrain: the given one, else the data directory's terrain folder.
  const std::string dem =
      r.dem.empty() ? (platform::DataDirectory() / "terrain").string() : r.dem;
  auto terrain = OpenTerrain(dem, out.error);
  if (!terrain) return res;
  bool err = false;
  const double stepM = ConvertLength(e.sTopoStepUn(), "m", e.dTopoStep(), err);
  if (err || !(stepM > 0)) {
    out.error = "The task's terrain step cannot be used: " + FormatGeneral(e.dTopoStep()) + " " + e.sTopoStepUn();
    return res;
  }
  auto path = TerrainProfile(terrain, e.sFacDatum(), e.dFacLat(), e.dFacLon(), r.toLat, r.toLon, stepM, out.error);
  if (!path) return res;
  out.points = path->iLastPoint() + 1;
  out.pathLengthM = path->DIS_Array().back();
  out.kFactor = e.dKCurve();
  e.cPathElv(path);
  e.dTgtLat(r.toLat);
  e.dTgtLon(r.toLon);
  e.dTgtAz(path->dPathAz());
  e.dTgtDisKM(out.pathLengthM / 1000.0);
  if (std::string fail = e.RunPathSetup(); !fail.empty()) {
    out.error = Trim(fail);
    return res;
  }
  const std::string fail = e.RunPath();
  clsQXAreaCov* calc = e.Calculator();
  HarvestPath(*calc, out);  // the model's account in details, as the template form gives it
  if (!fail.empty()) {
    out.error = fail;
    return res;
  }
  out.parameters = ParameterText(*calc);
  out.ok = true;
  return res;
}

}  // namespace zw

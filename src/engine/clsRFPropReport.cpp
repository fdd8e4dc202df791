#include "engine/clsRFProp.h"

// The calculation report of a loaded task: the study's inputs and the
// model's parameters, the results to follow.
#include <filesystem>
#include <fstream>

#include "common/ErrorHandler.h"
#include "common/TextJoin.h"
#include "geo/CoordText.h"
#include "platform/NumberFormat.h"
#include "platform/terrain/clsLandUse.h"
#include "platform/terrain/clsObstructions.h"
#include "tasks/TaskCodes.h"

namespace zw {


std::string clsRFProp::OpenCalcReport(std::ofstream& out) {
  if (lTaskID_ < 1 || !cTask_) return OpenCalcReport(out, {});
  const std::filesystem::path file = cTask_->WorkDir() / tasks::TaskFileName('T', lTaskID_, ".TXT");
  // Never written through a link planted at the report's name.
  std::error_code ec;
  if (std::filesystem::is_symlink(file, ec)) {
    const std::string msg = "The calculation report " + file.string() + " is a symbolic link; it was not written";
    Report(msg);
    return msg;
  }
  return OpenCalcReport(out, file);
}

std::string clsRFProp::OpenCalcReport(std::ofstream& out, const std::filesystem::path& file) {
  ProcScope proc(kProcRFPropCalcReport);
  if (out.is_open()) out.close();
  if (lTaskID_ < 1 || !cTask_) {
    const std::string msg = "No task loaded: the calculation report has no task to describe";
    Report(msg);
    return msg;
  }
  if (!cCovModel_) {
    const std::string msg = "No coverage model: the calculation report cannot list the model's parameters";
    Report(msg);
    return msg;
  }
  proc.Step(1000);
  out.open(file, std::ios::binary | std::ios::trunc);
  if (!out) {
    const std::string msg = "Cannot write the calculation report " + file.string();
    Report(msg);
    return msg;
  }

  proc.Step(1100);
  const std::string_view nl = kLineBreak;
  out << GeneralDateNow() << nl;
  out << "Task " << lTaskID_ << "\t" << cTask_->sDesc << nl;
  out << sPropModel_ << " " << sTaskType_ << " Calculations" << nl;
  out << Trim(sFacDesc_) << nl;
  out << FormatNumber(dFreqMHz_, "####0.00000") << " MHz" << nl;
  out << "Site " << CoordText(dFacLat_, "LT") << " " << CoordText(dFacLon_, "LN") << nl;
  out << "     " << FormatNumber(rFacElv_, "####0.00") << sFacElvUn_ << nl;
  out << "     " << nl;
  out << "Transmit: " << FormatNumber(dAntHgt_, "####0.00") << sAntHgtUn_ << " " << sAntElMode_ << nl;
  out << "          " << FormatNumber(dERP_, "####0.00000") << sERPUn_ << " " << "ERP" << nl;
  if (!Trim(ant_.sDesc).empty()) {
    out << "Antenna: " << ant_.sDesc << nl;
    out << "         Orientation " << FormatNumber(ant_.dOrien, "###0.00") << nl;
    if (ant_.dMTilt != 0) {
      out << "           Mech Tilt " << FormatNumber(ant_.dMTilt, "###0.00") << " on Azimuth "
          << FormatNumber(ant_.dMDir, "###0.00") << nl;
    }
    if (ant_.dETilt != 0) out << "           Elec Tilt " << FormatNumber(ant_.dETilt, "###0.00") << nl;
    if (ant_.bInverted) out << "           Inverted" << nl;
  }
  out << "Effective earth curvature " << FormatNumber(dKCurve_, "0.000") << nl;
  if (cOBS_ && cOBS_->bUse() && cOBS_->iFileCount() > 0) {
    out << "     " << nl << "Obstruction files included in calculations:" << nl;
    for (int i = 0; i < cOBS_->iFileCount(); ++i) out << cOBS_->sFileName(i) << nl;
    out << "     " << nl;
  }
  if (cLandUse_ && cLandUse_->bUse() && !Trim(cLandUse_->sTemplate()).empty()) {
    out << "Land Use Data included in calculations;  Template:  " << cLandUse_->sTemplate() << nl;
    out << "     " << nl;
  }
  // Inputs the task names that could not be used are said, not dropped.
  {
    std::vector<std::string> warnings;
    if (cOBS_) warnings = cOBS_->Warnings();
    if (cLandUse_)
      for (const auto& w : cLandUse_->Warnings()) warnings.push_back(w);
    for (const auto& w : warnings) out << "WARNING: " << w << nl;
    if (!warnings.empty()) out << "     " << nl;
  }
  out << "Receive: " << FormatNumber(rMobHgt_, "###0.00") << sMobHgtUn_ << " " << sMobRef_ << nl;
  out << "     " << nl;

  proc.Step(1200);
  cCovModel_->PrtParameters(out);
  out.flush();
  if (!out) {
    out.close();
    const std::string msg = "Error writing the calculation report " + file.string();
    Report(msg);
    return msg;
  }
  if (sDetails_ == "Parameters Only" || sTxtFileOut_ == "Parameters Only") out.close();
  return {};
}

}  // namespace zw

#include "engine/CalculatorSetup.h"

#include "common/TextJoin.h"
#include "engine/CalculatorFactory.h"

namespace zw {

bool Configure(clsQXAreaCov& c, const CalculatorSetup& s) {
  c.bSilent(s.silent);
  c.StudyTaskType(s.taskType);
  c.cPropMod(s.propMod);
  if (!c.cPropMod()) return false;
  c.bMOBMSL(s.mobMSL);
  c.FACERPdBm(s.facERPdBm);
  c.FACTXmAGL(s.facTXmAGL);
  c.FACTXmMSL(s.facTXmMSL);
  c.MOBAntM(s.mobAntM);
  c.MOBERPdBm(s.mobERPdBm);
  c.bDetails(s.details);
  c.sDetails("");
  c.sDetailUnPwr(s.detailUnPwr);
  c.sDetailUnDis(s.detailUnDis);
  c.sDetailUnElv(s.detailUnElv);
  c.cOBS(s.obs);
  c.cFAC(s.fac);
  c.daHaz(s.haz);
  c.daHgain(s.hgain);
  c.daVel(s.vel);
  c.daVgain(s.vgain);
  c.cMOB(s.mob);
  c.cLandUse(s.landUse);
  return true;
}

PathOutcome ReadOutcome(const clsQXAreaCov& c, bool withDetails, bool withWarnings) {
  PathOutcome o;
  o.fieldDbu = c.dNetField();
  o.freeSpaceDbu = c.dFreeSpaceFld();
  o.modelLossDb = c.dModelLoss();
  o.landUseLossDb = c.dLULoss();
  o.luCode = c.iLUCode();
  o.rxGroundM = c.rTgtElvM();
  o.errBits = c.lErrBits();
  o.errLevel = c.lErrLevel();
  o.failed = c.bErrorRun();
  if (o.failed) o.failure = c.sPathError();
  if (withWarnings) o.warnings = c.Warnings();
  if (withDetails) o.details = c.sDetails();
  return o;
}

std::unique_ptr<clsQXAreaCov> MakeCalculator(const CalculatorSetup& s, std::string* error) {
  auto c = NewCalculator(Trim(s.model));
  if (!c) {
    if (error) *error = "Error setting cCovModel: no calculator for model '" + s.model + "'";
    return nullptr;
  }
  CalculatorSetup own = s;
  own.propMod = s.propMod ? std::make_shared<FieldCollection>(*s.propMod) : nullptr;
  own.fac = s.fac ? std::make_shared<FieldCollection>(*s.fac) : nullptr;
  own.mob = s.mob ? std::make_shared<FieldCollection>(*s.mob) : nullptr;
  if (!Configure(*c, own)) {
    if (error) *error = "Error setting Prop model in SetModel Class";
    return nullptr;
  }
  return c;
}

}  // namespace zw

// Longley-Rice core: ITS Irregular Terrain Model 1.2.2, point-to-point mode.
// The routines follow the published algorithm step by step; the order of the
// arithmetic is kept as published so that results agree with the reference
// to the last digits.
#include "models/terrain/modPropLR.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

namespace zw {

namespace {

using lr::kThird;
using lr::sq;
constexpr double kGma = 157e-9;  // curvature of the actual earth, 1/m

// |z|^2
double abq(std::complex<double> z) { return z.real() * z.real() + z.imag() * z.imag(); }

bool allFinite(const LRResult& r) {
  return std::isfinite(r.dAttenDB) && std::isfinite(r.dHeEffM[0]) && std::isfinite(r.dHeEffM[1]) &&
         std::isfinite(r.dDeltaHM) && std::isfinite(r.dEarthFactor);
}

LRResult refused(std::string msg) {
  LRResult r;
  r.bOK = false;
  r.sError = std::move(msg);
  r.lErrLevel = 4;
  return r;
}

// Why the model cannot compute this path (it would divide by zero, index
// outside the profile or produce no number); nullptr when it can.
const char* InputRefusal(std::span<const double> pfl, const LRInputs& in) {
  if (pfl.size() < 2 || !std::isfinite(pfl[0]))
    return "Longley-Rice: the terrain profile is empty.";
  if (pfl[0] < 1.0) return "Longley-Rice: the terrain profile has fewer than two points.";
  if (pfl[0] > kLRMaxIntervals)
    return "Longley-Rice: the terrain profile has more than 32767 intervals (the model's limit).";
  if (pfl[0] != std::floor(pfl[0]))
    return "Longley-Rice: the terrain profile's interval count is not a whole number.";
  const long np = static_cast<long>(pfl[0]);
  if (pfl.size() < static_cast<std::size_t>(np) + 3)
    return "Longley-Rice: the terrain profile holds fewer elevations than its interval count.";
  if (!std::isfinite(pfl[1]) || !(pfl[1] > 0.0) || !std::isfinite(pfl[0] * pfl[1]))
    return "Longley-Rice: the terrain profile spacing is not greater than 0.";
  for (long i = 0; i <= np; ++i)
    if (!std::isfinite(pfl[i + 2]))
      return "Longley-Rice: the terrain profile holds an elevation that is not a number.";
  if (!std::isfinite(in.dTxHeightM) || !std::isfinite(in.dRxHeightM) || in.dTxHeightM < 0.0 ||
      in.dRxHeightM < 0.0)
    return "Longley-Rice: an antenna height is negative or not a number.";
  if (!std::isfinite(in.dFreqMHz) || !(in.dFreqMHz > 0.0))
    return "Longley-Rice: the frequency is not greater than 0.";
  if (!std::isfinite(in.dSurRefrac) || !std::isfinite(in.dSeaRefrac) || !std::isfinite(in.dRelPermit) ||
      !std::isfinite(in.dConductivity))
    return "Longley-Rice: a refractivity or ground constant is not a number.";
  if (!std::isfinite(in.dSitPct) || !std::isfinite(in.dLocPct) || !std::isfinite(in.dTimPct))
    return "Longley-Rice: a variability percentage is not a number.";
  return nullptr;
}

}  // namespace

const std::array<std::string, 7>& LRClimateNames() {
  static const std::array<std::string, 7> names = {
      "1 Equatorial",          "2 Continental Subtropical",      "3 Maritime Subtropical",
      "4 Desert",              "5 Continental Temperate",        "6 Maritime Temperate Over Land",
      "7 Maritime Temperate Over Sea"};
  return names;
}

// ---------------------------------------------------------------- the model

clsLRCore::clsLRCore() { InitTables(); }

void clsLRCore::InitTables() {
  // The tables are compile-time constants; the first use of the climate
  // names builds that table once.
  (void)LRClimateNames();
  bTablesLoaded_ = true;
}

void clsLRCore::qlrps(double fmhz, double zsys, double en0, int ipol, double eps, double sgm) {
  prop_.wn = fmhz / 47.7;
  prop_.ens = en0;
  if (zsys != 0.0) prop_.ens *= std::exp(-zsys / 9460.0);
  prop_.gme = kGma * (1.0 - 0.04665 * std::exp(prop_.ens / 179.3));
  const std::complex<double> zq(eps, 376.62 * sgm / prop_.wn);
  prop_.zgnd = std::sqrt(zq - 1.0);
  if (ipol != 0) prop_.zgnd = prop_.zgnd / zq;
}

void clsLRCore::hzns(std::span<const double> pfl) {
  const long np = static_cast<long>(pfl[0]);
  const double xi = pfl[1];
  const double za = pfl[2] + prop_.hg[0];
  const double zb = pfl[np + 2] + prop_.hg[1];
  const double qc = 0.5 * prop_.gme;
  double q = qc * prop_.dist;
  prop_.the[1] = (zb - za) / prop_.dist;
  prop_.the[0] = prop_.the[1] - q;
  prop_.the[1] = -prop_.the[1] - q;
  prop_.dl[0] = prop_.dist;
  prop_.dl[1] = prop_.dist;
  if (np < 2) return;
  // (The rays and horizons in locals while the profile is read: stored
  // through, they would be read back at every point.)
  double the0 = prop_.the[0], the1 = prop_.the[1], dl0 = prop_.dl[0], dl1 = prop_.dl[1];
  const double* z = pfl.data() + 2;
  double sa = 0.0;
  double sb = prop_.dist;
  bool wq = true;
  for (long i = 1; i < np; ++i) {
    sa += xi;
    sb -= xi;
    q = z[i] - (qc * sa + the0) * sa - za;
    if (q > 0.0) {
      the0 += q / sa;
      dl0 = sa;
      wq = false;
    }
    if (!wq) {
      q = z[i] - (qc * sb + the1) * sb - zb;
      if (q > 0.0) {
        the1 += q / sb;
        dl1 = sb;
      }
    }
  }
  prop_.the[0] = the0;
  prop_.the[1] = the1;
  prop_.dl[0] = dl0;
  prop_.dl[1] = dl1;
}

void clsLRCore::qlrpfl(std::span<const double> pfl, int klimx, int mdvarx) {
  const long np = static_cast<long>(pfl[0]);
  prop_.dist = pfl[0] * pfl[1];
  hzns(pfl);
  std::array<double, 2> xl{};
  for (int j = 0; j < 2; ++j) xl[j] = std::min(15.0 * prop_.hg[j], 0.1 * prop_.dl[j]);
  xl[1] = prop_.dist - xl[1];
  prop_.dh = lr::d1thx(pfl, xl[0], xl[1]);
  double za = 0.0, zb = 0.0, q = 0.0;
  if (prop_.dl[0] + prop_.dl[1] > 1.5 * prop_.dist) {
    lr::z1sq1(pfl, xl[0], xl[1], za, zb);
    prop_.he[0] = prop_.hg[0] + lr::dim(pfl[2], za);
    prop_.he[1] = prop_.hg[1] + lr::dim(pfl[np + 2], zb);
    for (int j = 0; j < 2; ++j)
      prop_.dl[j] = std::sqrt(2.0 * prop_.he[j] / prop_.gme) *
                    std::exp(-0.07 * std::sqrt(prop_.dh / std::max(prop_.he[j], 5.0)));
    q = prop_.dl[0] + prop_.dl[1];
    if (q <= prop_.dist) {
      q = sq(prop_.dist / q);
      for (int j = 0; j < 2; ++j) {
        prop_.he[j] *= q;
        prop_.dl[j] = std::sqrt(2.0 * prop_.he[j] / prop_.gme) *
                      std::exp(-0.07 * std::sqrt(prop_.dh / std::max(prop_.he[j], 5.0)));
      }
    }
    for (int j = 0; j < 2; ++j) {
      q = std::sqrt(2.0 * prop_.he[j] / prop_.gme);
      prop_.the[j] = (0.65 * prop_.dh * (q / prop_.dl[j] - 1.0) - 2.0 * prop_.he[j]) / q;
    }
  } else {
    lr::z1sq1(pfl, xl[0], 0.9 * prop_.dl[0], za, q);
    lr::z1sq1(pfl, prop_.dist - 0.9 * prop_.dl[1], xl[1], q, zb);
    prop_.he[0] = prop_.hg[0] + lr::dim(pfl[2], za);
    prop_.he[1] = prop_.hg[1] + lr::dim(pfl[np + 2], zb);
  }
  prop_.mdp = -1;
  var_.lvar = std::max(var_.lvar, 3);
  if (mdvarx >= 0) {
    var_.mdvar = mdvarx;
    var_.lvar = std::max(var_.lvar, 4);
  }
  if (klimx > 0) {
    var_.klim = klimx;
    var_.lvar = 5;
  }
}

double clsLRCore::adiffSetup() {
  double q = prop_.hg[0] * prop_.hg[1];
  dif_.qk = prop_.he[0] * prop_.he[1] - q;
  if (prop_.mdp < 0) q += 10.0;
  dif_.wd1 = std::sqrt(1.0 + dif_.qk / q);
  dif_.xd1 = prop_.dla + prop_.tha / prop_.gme;
  q = (1.0 - 0.8 * std::exp(-prop_.dlsa / 50e3)) * prop_.dh;
  q *= 0.78 * std::exp(-std::pow(q / 16.0, 0.25));
  dif_.afo = std::min(15.0, 2.171 * std::log(1.0 + 4.77e-4 * prop_.hg[0] * prop_.hg[1] * prop_.wn * q));
  dif_.qk = 1.0 / std::abs(prop_.zgnd);
  dif_.aht = 20.0;
  dif_.xht = 0.0;
  for (int j = 0; j < 2; ++j) {
    const double a = 0.5 * sq(prop_.dl[j]) / prop_.he[j];
    const double wa = std::pow(a * prop_.wn, kThird);
    const double pk = dif_.qk / wa;
    q = (1.607 - pk) * 151.0 * wa * prop_.dl[j] / a;
    dif_.xht += q;
    dif_.aht += lr::fht(q, pk);
  }
  return 0.0;
}

double clsLRCore::adiff(double d) {
  const double th = prop_.tha + d * prop_.gme;
  const double ds = d - prop_.dla;
  double q = 0.0795775 * prop_.wn * ds * sq(th);
  double v = lr::aknfe(q * prop_.dl[0] / (ds + prop_.dl[0])) +
             lr::aknfe(q * prop_.dl[1] / (ds + prop_.dl[1]));
  const double a = ds / th;
  const double wa = std::pow(a * prop_.wn, kThird);
  const double pk = dif_.qk / wa;
  q = (1.607 - pk) * 151.0 * wa * th + dif_.xht;
  const double ar = 0.05751 * q - 4.343 * std::log(q) - dif_.aht;
  q = (dif_.wd1 + dif_.xd1 / d) *
      std::min((1.0 - 0.8 * std::exp(-d / 50e3)) * prop_.dh * prop_.wn, 6283.2);
  const double wd = 25.1 / (25.1 + std::sqrt(q));
  v = ar * wd + (1.0 - wd) * v + dif_.afo;
  return v;
}

double clsLRCore::ascatSetup() {
  sct_.ad = prop_.dl[0] - prop_.dl[1];
  sct_.rr = prop_.he[1] / prop_.he[0];
  if (sct_.ad < 0.0) {
    sct_.ad = -sct_.ad;
    sct_.rr = 1.0 / sct_.rr;
  }
  sct_.etq = (5.67e-6 * prop_.ens - 2.32e-3) * prop_.ens + 0.031;
  sct_.h0s = -15.0;
  return 0.0;
}

double clsLRCore::ascat(double d) {
  double h0;
  double th;
  if (sct_.h0s > 15.0) {
    h0 = sct_.h0s;
  } else {
    th = prop_.the[0] + prop_.the[1] + d * prop_.gme;
    double r2 = 2.0 * prop_.wn * th;
    const double r1 = r2 * prop_.he[0];
    r2 *= prop_.he[1];
    if (r1 < 0.2 && r2 < 0.2) return 1001.0;
    double ss = (d - sct_.ad) / (d + sct_.ad);
    double q = sct_.rr / ss;
    ss = std::max(0.1, ss);
    q = std::min(std::max(0.1, q), 10.0);
    const double z0 = (d - sct_.ad) * (d + sct_.ad) * th * 0.25 / d;
    const double et = (sct_.etq * std::exp(-std::pow(std::min(1.7, z0 / 8.0e3), 6.0)) + 1.0) * z0 / 1.7556e3;
    const double ett = std::max(et, 1.0);
    h0 = (lr::h0f(r1, ett) + lr::h0f(r2, ett)) * 0.5;
    h0 += std::min(h0, (1.38 - std::log(ett)) * std::log(ss) * std::log(q) * 0.49);
    h0 = lr::dim(h0, 0.0);
    if (et < 1.0)
      h0 = et * h0 + (1.0 - et) * 4.343 *
                         std::log(sq((1.0 + 1.4142 / r1) * (1.0 + 1.4142 / r2)) * (r1 + r2) /
                                  (r1 + r2 + 2.8284));
    if (h0 > 15.0 && sct_.h0s >= 0.0) h0 = sct_.h0s;
  }
  sct_.h0s = h0;
  th = prop_.tha + d * prop_.gme;
  return lr::ahd(th * d) + 4.343 * std::log(47.7 * prop_.wn * std::pow(th, 4.0)) -
         0.1 * (prop_.ens - 301.0) * std::exp(-th * d / 40e3) + h0;
}

double clsLRCore::alosSetup() {
  wls_ = 0.021 / (0.021 + prop_.wn * prop_.dh / std::max(10e3, prop_.dlsa));
  return 0.0;
}

double clsLRCore::alos(double d) {
  double q = (1.0 - 0.8 * std::exp(-d / 50e3)) * prop_.dh;
  const double s = 0.78 * q * std::exp(-std::pow(q / 16.0, 0.25));
  q = prop_.he[0] + prop_.he[1];
  const double sps = q / std::sqrt(d * d + q * q);
  std::complex<double> r = (sps - prop_.zgnd) / (sps + prop_.zgnd) *
                           std::exp(-std::min(10.0, prop_.wn * s * sps));
  q = abq(r);
  if (q < 0.25 || q < sps) r = r * std::sqrt(sps / q);
  double v = prop_.emd * d + prop_.aed;
  q = prop_.wn * prop_.he[0] * prop_.he[1] * 2.0 / d;
  if (q > 1.57) q = 3.14 - 2.4649 / q;
  v = (-4.343 * std::log(abq(std::complex<double>(std::cos(q), -std::sin(q)) + r)) - v) * wls_ + v;
  return v;
}

void clsLRCore::lrpropSetup() {
  for (int j = 0; j < 2; ++j) prop_.dls[j] = std::sqrt(2.0 * prop_.he[j] / prop_.gme);
  prop_.dlsa = prop_.dls[0] + prop_.dls[1];
  prop_.dla = prop_.dl[0] + prop_.dl[1];
  prop_.tha = std::max(prop_.the[0] + prop_.the[1], -prop_.dla * prop_.gme);
  wlos_ = false;
  wscat_ = false;
  int& kwx = prop_.kwx;
  if (prop_.wn < 0.838 || prop_.wn > 210.0) kwx = std::max(kwx, 1);
  for (int j = 0; j < 2; ++j)
    if (prop_.hg[j] < 1.0 || prop_.hg[j] > 1000.0) kwx = std::max(kwx, 1);
  for (int j = 0; j < 2; ++j)
    if (std::fabs(prop_.the[j]) > 200e-3 || prop_.dl[j] < 0.1 * prop_.dls[j] ||
        prop_.dl[j] > 3.0 * prop_.dls[j])
      kwx = std::max(kwx, 3);
  if (prop_.ens < 250.0 || prop_.ens > 400.0 || prop_.gme < 75e-9 || prop_.gme > 250e-9 ||
      prop_.zgnd.real() <= std::fabs(prop_.zgnd.imag()) || prop_.wn < 0.419 || prop_.wn > 420.0)
    kwx = 4;
  for (int j = 0; j < 2; ++j)
    if (prop_.hg[j] < 0.5 || prop_.hg[j] > 3000.0) kwx = 4;
  dmin_ = std::fabs(prop_.he[0] - prop_.he[1]) / 200e-3;
  (void)adiffSetup();
  xae_ = std::pow(prop_.wn * sq(prop_.gme), -kThird);
  const double d3 = std::max(prop_.dlsa, 1.3787 * xae_ + prop_.dla);
  const double d4 = d3 + 2.7574 * xae_;
  const double a3 = adiff(d3);
  const double a4 = adiff(d4);
  prop_.emd = (a4 - a3) / (d4 - d3);
  prop_.aed = a3 - prop_.emd * d3;
}

void clsLRCore::lrpropDistance() {
  int& kwx = prop_.kwx;
  if (prop_.dist > 0.0) {
    if (prop_.dist > 1000e3) kwx = std::max(kwx, 1);
    if (prop_.dist < dmin_) kwx = std::max(kwx, 3);
    if (prop_.dist < 1e3 || prop_.dist > 2000e3) kwx = 4;
  }
  if (prop_.dist < prop_.dlsa) {
    if (!wlos_) {
      (void)alosSetup();
      const double d2 = prop_.dlsa;
      const double a2 = prop_.aed + d2 * prop_.emd;
      double d0 = 1.908 * prop_.wn * prop_.he[0] * prop_.he[1];
      double d1;
      if (prop_.aed >= 0.0) {
        d0 = std::min(d0, 0.5 * prop_.dla);
        d1 = d0 + 0.25 * (prop_.dla - d0);
      } else {
        d1 = std::max(-prop_.aed / prop_.emd, 0.25 * prop_.dla);
      }
      const double a1 = alos(d1);
      bool wq = false;
      if (d0 < d1) {
        const double a0 = alos(d0);
        const double q = std::log(d2 / d0);
        prop_.ak2 = std::max(0.0, ((d2 - d0) * (a1 - a0) - (d1 - d0) * (a2 - a0)) /
                                      ((d2 - d0) * std::log(d1 / d0) - (d1 - d0) * q));
        wq = prop_.aed >= 0.0 || prop_.ak2 > 0.0;
        if (wq) {
          prop_.ak1 = (a2 - a0 - prop_.ak2 * q) / (d2 - d0);
          if (prop_.ak1 < 0.0) {
            prop_.ak1 = 0.0;
            prop_.ak2 = lr::dim(a2, a0) / q;
            if (prop_.ak2 == 0.0) prop_.ak1 = prop_.emd;
          }
        }
      }
      if (!wq) {
        prop_.ak1 = lr::dim(a2, a1) / (d2 - d1);
        prop_.ak2 = 0.0;
        if (prop_.ak1 == 0.0) prop_.ak1 = prop_.emd;
      }
      prop_.ael = a2 - prop_.ak1 * d2 - prop_.ak2 * std::log(d2);
      wlos_ = true;
    }
    if (prop_.dist > 0.0) prop_.aref = prop_.ael + prop_.ak1 * prop_.dist + prop_.ak2 * std::log(prop_.dist);
  }
  if (prop_.dist <= 0.0 || prop_.dist >= prop_.dlsa) {
    if (!wscat_) {
      (void)ascatSetup();
      const double d5 = prop_.dla + 200e3;
      const double d6 = d5 + 200e3;
      const double a6 = ascat(d6);
      const double a5 = ascat(d5);
      if (a5 < 1000.0) {
        prop_.ems = (a6 - a5) / 200e3;
        prop_.dx = std::max(prop_.dlsa,
                            std::max(prop_.dla + 0.3 * xae_ * std::log(47.7 * prop_.wn),
                                     (a5 - prop_.aed - prop_.ems * d5) / (prop_.emd - prop_.ems)));
        prop_.aes = (prop_.emd - prop_.ems) * prop_.dx + prop_.aed;
      } else {
        prop_.ems = prop_.emd;
        prop_.aes = prop_.aed;
        prop_.dx = 10.e6;
      }
      wscat_ = true;
    }
    if (prop_.dist > prop_.dx)
      prop_.aref = prop_.aes + prop_.ems * prop_.dist;
    else
      prop_.aref = prop_.aed + prop_.emd * prop_.dist;
  }
  prop_.aref = std::max(prop_.aref, 0.0);
}

LRResult clsLRCore::PointToPoint(std::span<const double> pfl, const LRInputs& in) {
  if (const char* why = InputRefusal(pfl, in)) return refused(why);
  const long np = static_cast<long>(pfl[0]);

  // ---- the published point-to-point sequence
  prop_ = PathState{};
  prop_.hg = {in.dTxHeightM, in.dRxHeightM};
  prop_.kwx = 0;
  var_.klim = in.iClimate;
  var_.lvar = 5;
  prop_.mdp = -1;
  const double zc = lr::qerfi(in.dSitPct / 100.0);
  const double zl = lr::qerfi(in.dLocPct / 100.0);
  const double zt = lr::qerfi(in.dTimPct / 100.0);

  double zsys = 0.0;
  double ns = in.dSeaRefrac;
  if (ns <= 0.0) {
    // Mean of array elements ja..jb, counting the first element as 1.
    const long ja = in.eMeanElevRule == LRMeanElevationRule::Truncate
                        ? static_cast<long>(3.0 + 0.1 * pfl[0])
                        : lr::roundHalfEven(3.0 + 0.1 * pfl[0]);
    const long jb = np - ja + 6;
    double odd = 0.0;  // (two sums, so that each addition need not wait on the one before)
    long i = ja - 1;
    for (; i + 1 < jb; i += 2) {
      zsys += pfl[i];
      odd += pfl[i + 1];
    }
    if (i < jb) zsys += pfl[i];
    zsys = (zsys + odd) / static_cast<double>(jb - ja + 1);
    ns = in.dSurRefrac;
  }
  prop_.zsys = zsys;

  // A negative mode of variability would leave the previous path's mode in
  // force; it is taken as an invalid mode instead (default 0, level 2).
  int mdvar = in.iMDVAR;
  const bool badNegativeMode = mdvar < 0;
  if (badNegativeMode) mdvar = 0;

  qlrps(in.dFreqMHz, zsys, ns, in.iPolariz, in.dRelPermit, in.dConductivity);
  if (!(prop_.gme > 0.0) || !std::isfinite(prop_.gme))
    return refused("Longley-Rice: the surface refractivity gives no valid earth curvature.");
  if (std::abs(prop_.zgnd) == 0.0 || !std::isfinite(std::abs(prop_.zgnd)))
    return refused("Longley-Rice: the ground constants give no valid ground impedance.");

  qlrpfl(pfl, 0, mdvar);
  if (!(prop_.he[0] > 0.0) || !(prop_.he[1] > 0.0))
    return refused("Longley-Rice: an effective antenna height is 0.");
  lrpropSetup();
  lrpropDistance();

  LRResult r;
  // mode of propagation
  {
    const double q = prop_.dist - prop_.dla;
    const double s = 0.5 * pfl[1];
    const double rr = lr::dim(q, s) - lr::dim(-q, s);
    if (rr < 0.0) {
      r.sMode1 = "line-of-sight path";
    } else {
      r.sMode1 = rr == 0.0 ? "single-horizon path" : "double-horizon path";
      if (prop_.dist <= prop_.dlsa || prop_.dist <= prop_.dx)
        r.sMode2 = "diffraction";
      else
        r.sMode2 = "tropospheric scatter";
    }
  }
  r.dEarthFactor = kGma / prop_.gme;
  r.dAttenDB = avar(zt, zl, zc);
  if (badNegativeMode) prop_.kwx = std::max(prop_.kwx, 2);
  r.dHeEffM = prop_.he;
  r.dDeltaHM = prop_.dh;
  r.lErrLevel = prop_.kwx;
  if (!allFinite(r)) {
    LRResult bad = refused(
        "Longley-Rice: the model gave no finite result for these inputs (they are far outside its range).");
    bad.sMode1 = r.sMode1;
    bad.sMode2 = r.sMode2;
    return bad;
  }
  r.bOK = true;
  return r;
}

double clsLRCore::VariabilityOnly(const VariabilityPath& p, double zt, double zl, double zc,
                                  std::int32_t& lErrLevel) {
  // Values the step cannot compute with give 0 dB at level 4 rather than a
  // result that is not a number.
  const bool finite = std::isfinite(p.dDistM) && std::isfinite(p.dFreqMHz) &&
                      std::isfinite(p.dHeM[0]) && std::isfinite(p.dHeM[1]) &&
                      std::isfinite(p.dDeltaHM) && std::isfinite(p.dArefDB) && std::isfinite(zt) &&
                      std::isfinite(zl) && std::isfinite(zc);
  if (!finite || !(p.dFreqMHz > 0.0) || p.dDistM < 0.0 || p.dHeM[0] < 0.0 || p.dHeM[1] < 0.0 ||
      p.dDeltaHM < 0.0) {
    lErrLevel = 4;
    return 0.0;
  }
  prop_ = PathState{};
  prop_.dist = p.dDistM;
  prop_.wn = p.dFreqMHz / 47.7;
  prop_.he = p.dHeM;
  prop_.dh = p.dDeltaHM;
  prop_.aref = p.dArefDB;
  var_.klim = p.iClimate;
  var_.mdvar = p.iMDVAR;
  var_.lvar = 5;
  const double a = avar(zt, zl, zc);
  lErrLevel = prop_.kwx;
  return a;
}

double clsLRCore::ReferenceAttenuationAt(double dM) {
  const PathState saved = prop_;
  prop_.dist = dM;
  lrpropDistance();
  const double a = prop_.aref;
  // keep the lazily computed range coefficients, restore the path's values
  const PathState computed = prop_;
  prop_ = saved;
  prop_.dx = computed.dx;
  prop_.aes = computed.aes;
  prop_.ems = computed.ems;
  prop_.ael = computed.ael;
  prop_.ak1 = computed.ak1;
  prop_.ak2 = computed.ak2;
  return a;
}

}  // namespace zw

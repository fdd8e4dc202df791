#include "common/itplbv.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zw {

namespace {

// Read-only view of a grid with the divided differences, their extensions
// beyond the edges and the estimated partial derivatives at the nodes.
//
// Node indexes run 0..nx-1 (0..ny-1) over the real grid; when an axis has
// three or more points, -1 and nx (ny) are the pseudo nodes that bound the
// extrapolation rectangles. Rectangle (cell) k lies between nodes k and k+1,
// so the real cells are 0..nx-2 and the pseudo cells -1 and nx-1.
class GridView {
 public:
  GridView(const float* x, const float* y, const float* z, int nx, int ny)
      : x_(x), y_(y), z_(z), nx_(nx), ny_(ny) {}

  int nx() const { return nx_; }
  int ny() const { return ny_; }
  bool PseudoX() const { return nx_ >= 3; }
  bool PseudoY() const { return ny_ >= 3; }

  // Cell of a coordinate: -1 before the first node, the last node's index at
  // or beyond it (the pseudo cell there), else the cell holding it. An axis of
  // two points has the one cell 0 for every coordinate.
  static int Locate(const float* axis, int n, double c) {
    if (n == 2) return 0;
    if (c >= axis[n - 1]) return n - 1;
    if (c < axis[0]) return -1;
    const float* p = std::upper_bound(axis, axis + n, static_cast<float>(c));
    int k = static_cast<int>(p - axis) - 1;
    // The float comparison above is exact for float queries; guard the cast.
    while (k > 0 && c < axis[k]) --k;
    while (k < n - 2 && c >= axis[k + 1]) ++k;
    return k;
  }
  int CellX(double u) const { return Locate(x_, nx_, u); }
  int CellY(double v) const { return Locate(y_, ny_, v); }

  // Coordinates of nodes, pseudo nodes included. The pseudo node mirrors the
  // spacing of the second interval from the edge (Akima's end rule).
  double Xn(int i) const { return NodeCoord(x_, nx_, i); }
  double Yn(int j) const { return NodeCoord(y_, ny_, j); }

  // Surface value at a node, pseudo nodes included.
  double Zn(int i, int j) const {
    if (j < 0) return Zn(i, 0) - Hy(-1) * ColumnDiff(i, -1);
    if (j >= ny_) return Zn(i, ny_ - 1) + Hy(ny_ - 1) * ColumnDiff(i, ny_ - 1);
    if (i < 0) return Z(0, j) - Hx(-1) * Ax(-1, j);
    if (i >= nx_) return Z(nx_ - 1, j) + Hx(nx_ - 1) * Ax(nx_ - 1, j);
    return Z(i, j);
  }

  // Width of a cell (pseudo cells included).
  double Hx(int k) const { return Xn(k + 1) - Xn(k); }
  double Hy(int l) const { return Yn(l + 1) - Yn(l); }

  struct Derivs {
    double zx, zy, zxy;
  };

  // Partial derivatives at a node, pseudo nodes included.
  Derivs At(int i, int j) const {
    const bool outX = i < 0 || i >= nx_;
    const bool outY = j < 0 || j >= ny_;
    if (!outX && !outY) return RealNode(i, j);
    const int ei = i < 0 ? 0 : nx_ - 1;  // edge node next to a pseudo node
    const int ej = j < 0 ? 0 : ny_ - 1;
    if (outX && outY) {
      // Pseudo corner: bilinear extension of its three neighbours.
      const Derivs a = At(ei, j), b = At(i, ej), c = RealNode(ei, ej);
      return {a.zx + b.zx - c.zx, a.zy + b.zy - c.zy, a.zxy + b.zxy - c.zxy};
    }
    if (outX) {
      const int ni = i < 0 ? 1 : nx_ - 2;  // second node from the edge
      const Derivs e = RealNode(ei, j), f = RealNode(ni, j);
      const int inner = i < 0 ? -1 : nx_ - 1, outer = i < 0 ? -2 : nx_;
      const double h1 = i < 0 ? Hx(0) : Hx(nx_ - 2), h2 = i < 0 ? Hx(1) : Hx(nx_ - 3);
      return {PseudoSlope(Ax(inner, j), Ax(outer, j), h1, h2), 2 * e.zy - f.zy, 2 * e.zxy - f.zxy};
    }
    const int nj = j < 0 ? 1 : ny_ - 2;
    const Derivs e = RealNode(i, ej), f = RealNode(i, nj);
    const int inner = j < 0 ? -1 : ny_ - 1, outer = j < 0 ? -2 : ny_;
    const double h1 = j < 0 ? Hy(0) : Hy(ny_ - 2), h2 = j < 0 ? Hy(1) : Hy(ny_ - 3);
    return {2 * e.zx - f.zx, PseudoSlope(By(i, inner), By(i, outer), h1, h2), 2 * e.zxy - f.zxy};
  }

 private:
  double X(int i) const { return x_[i]; }
  double Y(int j) const { return y_[j]; }
  double Z(int i, int j) const { return z_[static_cast<std::size_t>(j) * nx_ + i]; }

  static double NodeCoord(const float* a, int n, int i) {
    if (i < 0) return double(a[0]) - (double(a[2]) - double(a[1]));
    if (i >= n) return double(a[n - 1]) + (double(a[n - 2]) - double(a[n - 3]));
    return a[i];
  }

  // f over the real cells 0..last, continued linearly in the cell index
  // beyond either end (constant when there is one cell).
  template <typename F>
  static double Extend(const F& f, int k, int last) {
    if (last == 0) return f(0);
    if (k < 0) {
      const double f0 = f(0);
      return f0 + (-k) * (f0 - f(1));
    }
    if (k > last) {
      const double fl = f(last);
      return fl + (k - last) * (fl - f(last - 1));
    }
    return f(k);
  }

  double RawAx(int k, int j) const { return (Z(k + 1, j) - Z(k, j)) / (X(k + 1) - X(k)); }
  double RawBy(int i, int l) const { return (Z(i, l + 1) - Z(i, l)) / (Y(l + 1) - Y(l)); }

  // Divided difference in x of cell k along real row j (k from -2 to nx).
  double Ax(int k, int j) const {
    return Extend([&](int c) { return RawAx(c, j); }, k, nx_ - 2);
  }
  // Divided difference in y of cell l along real column i (l from -2 to ny).
  double By(int i, int l) const {
    return Extend([&](int c) { return RawBy(i, c); }, l, ny_ - 2);
  }
  // Second-order divided difference of cell (k, l), extended linearly along
  // both axes.
  double Exy(int k, int l) const {
    return Extend(
        [&](int cl) {
          return Extend([&](int ck) { return (RawAx(ck, cl + 1) - RawAx(ck, cl)) / (Y(cl + 1) - Y(cl)); }, k,
                        nx_ - 2);
        },
        l, ny_ - 2);
  }
  // y difference of cell l along column i, pseudo columns included.
  double ColumnDiff(int i, int l) const {
    if (i < 0) return By(0, l) - Hx(-1) * Exy(-1, l);
    if (i >= nx_) return By(nx_ - 1, l) + Hx(nx_ - 1) * Exy(nx_ - 1, l);
    return By(i, l);
  }

  // Akima's weights of the two differences next to a node from the four
  // around it: each side's weight is the change of slope on the far side.
  static void Weights(double d1, double d2, double d3, double d4, double& w2, double& w3) {
    const double a = std::fabs(d4 - d3), b = std::fabs(d2 - d1);
    if (a + b == 0.0) {
      w2 = w3 = 0.5;
    } else {
      w2 = a / (a + b);
      w3 = b / (a + b);
    }
  }

  Derivs RealNode(int i, int j) const {
    double wx2, wx3, wy2, wy3;
    Weights(Ax(i - 2, j), Ax(i - 1, j), Ax(i, j), Ax(i + 1, j), wx2, wx3);
    Weights(By(i, j - 2), By(i, j - 1), By(i, j), By(i, j + 1), wy2, wy3);
    const double zx = wx2 * Ax(i - 1, j) + wx3 * Ax(i, j);
    const double zy = wy2 * By(i, j - 1) + wy3 * By(i, j);
    const double zxy = wy2 * (wx2 * Exy(i - 1, j - 1) + wx3 * Exy(i, j - 1)) +
                       wy3 * (wx2 * Exy(i - 1, j) + wx3 * Exy(i, j));
    return {zx, zy, zxy};
  }

  // Slope at a pseudo node from the differences of the pseudo cell (inner)
  // and the one beyond it (outer); h1 is the width of the edge cell, h2 that
  // of the next one in. Equal spacing gives the plain mean.
  static double PseudoSlope(double inner, double outer, double h1, double h2) {
    const double wi = 3 * h1 * h2 + h1 * h1;
    const double wo = 2 * h2 * h2 + h1 * h2 + h1 * h1;
    return (wi * inner + wo * outer) / (wi + wo);
  }

  const float* x_;
  const float* y_;
  const float* z_;
  int nx_, ny_;
};

// The bicubic polynomial of one cell in Hermite form: corner values and
// derivatives scaled to the unit square.
struct CellPatch {
  int ci = 0, cj = 0;
  double x0 = 0, y0 = 0, hx = 1, hy = 1;
  double f[2][2]{}, fx[2][2]{}, fy[2][2]{}, fxy[2][2]{};  // [corner in x][corner in y]

  void Build(const GridView& g, int i, int j) {
    ci = i;
    cj = j;
    x0 = g.Xn(i);
    y0 = g.Yn(j);
    hx = g.Xn(i + 1) - x0;
    hy = g.Yn(j + 1) - y0;
    for (int a = 0; a < 2; ++a) {
      for (int b = 0; b < 2; ++b) {
        const GridView::Derivs d = g.At(i + a, j + b);
        f[a][b] = g.Zn(i + a, j + b);
        fx[a][b] = d.zx * hx;
        fy[a][b] = d.zy * hy;
        fxy[a][b] = d.zxy * hx * hy;
      }
    }
  }

  double Eval(double u, double v) const {
    const double s = (u - x0) / hx, t = (v - y0) / hy;
    // Cubic Hermite basis: value at 0, value at 1, slope at 0, slope at 1.
    const auto basis = [](double r, double (&p)[2], double (&q)[2]) {
      const double r2 = r * r, r3 = r2 * r;
      p[0] = 2 * r3 - 3 * r2 + 1;
      p[1] = -2 * r3 + 3 * r2;
      q[0] = r3 - 2 * r2 + r;
      q[1] = r3 - r2;
    };
    double ps[2], qs[2], pt[2], qt[2];
    basis(s, ps, qs);
    basis(t, pt, qt);
    double w = 0;
    for (int a = 0; a < 2; ++a) {
      for (int b = 0; b < 2; ++b) {
        w += f[a][b] * ps[a] * pt[b] + fx[a][b] * qs[a] * pt[b] + fy[a][b] * ps[a] * qt[b] +
             fxy[a][b] * qs[a] * qt[b];
      }
    }
    return w;
  }
};

std::int16_t CheckAxis(const float* a, int n, std::int16_t equalCode, std::int16_t orderCode) {
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(a[i])) return orderCode;
  }
  for (int i = 1; i < n; ++i) {
    if (a[i - 1] == a[i]) return equalCode;
    if (!(a[i - 1] < a[i])) return orderCode;
  }
  return 0;
}

std::int16_t Interpolate(int lx, int ly, const float* x, const float* y, const float* z, int n, const float* u,
                         const float* v, float* w) {
  if (lx < 2) return 1;
  if (ly < 2) return 2;
  if (n < 1) return 3;
  if (const std::int16_t e = CheckAxis(x, lx, 4, 5); e != 0) return e;
  if (const std::int16_t e = CheckAxis(y, ly, 6, 7); e != 0) return e;

  const GridView g(x, y, z, lx, ly);
  CellPatch patch;
  bool havePatch = false;
  std::int16_t ier = 0;
  for (int k = 0; k < n; ++k) {
    const double uk = u[k], vk = v[k];
    if (!std::isfinite(uk) || !std::isfinite(vk)) {
      w[k] = std::numeric_limits<float>::quiet_NaN();
      ier = 8;
      continue;
    }
    const int ci = g.CellX(uk), cj = g.CellY(vk);
    if (!havePatch || ci != patch.ci || cj != patch.cj) {
      patch.Build(g, ci, cj);
      havePatch = true;
    }
    w[k] = static_cast<float>(patch.Eval(uk, vk));
  }
  return ier;
}

}  // namespace

void itplbv(const std::int16_t& lx, const std::int16_t& ly, const float& x, const float& y, const float& z,
            const std::int16_t& n, const float& u, const float& v, float& w, std::int16_t& ier) {
  const std::int16_t e = Interpolate(lx, ly, &x, &y, &z, n, &u, &v, &w);
  if (e != 0) ier = e;
}

std::int16_t itplbv(std::span<const float> x, std::span<const float> y, std::span<const float> z,
                    std::span<const float> u, std::span<const float> v, std::span<float> w) {
  constexpr std::size_t kMax = std::numeric_limits<std::int16_t>::max();
  if (x.size() < 2) return 1;
  if (y.size() < 2) return 2;
  if (u.empty()) return 3;
  if (x.size() > kMax || y.size() > kMax || u.size() > kMax) return 9;
  if (z.size() != x.size() * y.size() || v.size() != u.size() || w.size() != u.size()) return 9;
  return Interpolate(static_cast<int>(x.size()), static_cast<int>(y.size()), x.data(), y.data(), z.data(),
                     static_cast<int>(u.size()), u.data(), v.data(), w.data());
}

float itplbv(const CurveGrid& grid, float u, float v, std::int16_t& ier) {
  float w = 0.0f;
  ier = itplbv(grid.x, grid.y, grid.z, std::span<const float>(&u, 1), std::span<const float>(&v, 1),
               std::span<float>(&w, 1));
  return w;
}

std::string ItplbvErrorText(std::int16_t ier) {
  switch (ier) {
    case 0: return "";
    case 1: return "fewer than 2 grid points in X";
    case 2: return "fewer than 2 grid points in Y";
    case 3: return "no points to interpolate";
    case 4: return "identical X grid values";
    case 5: return "X grid values out of sequence";
    case 6: return "identical Y grid values";
    case 7: return "Y grid values out of sequence";
    case 8: return "query point is not a number";
    case 9: return "array sizes do not agree";
    default: return "unknown interpolation error " + std::to_string(ier);
  }
}

}  // namespace zw

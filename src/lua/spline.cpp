// Linear interpolation and natural cubic splines for Lua animations.
#include "lua/bridge.h"
#include "lua/lua_state.h"

namespace sorv {

bool LuaLinear(double x0, double y0, double x1, double y1, double x, double& y) {
  // Equal ends give a constant even when the x values coincide.
  if (y0 == y1) {
    y = y0;
    return true;
  }
  if (x0 == x1) return false;
  y = y1 * (x - x0) / (x1 - x0) + y0 * (x - x1) / (x0 - x1);
  return true;
}

// The natural spline: second derivative 0 at both ends; the inner ones solve
// a tridiagonal system by forward elimination and back substitution. The
// stored coefficients are the second derivatives divided by six.
void DefineSpline(SplineSlot& slot, const double* xs, const double* ys, int count) {
  if (count > kSplinePoints) count = kSplinePoints;
  slot = SplineSlot{};
  slot.count = count;
  for (int i = 0; i < count; ++i) {
    slot.x[i] = xs[i];
    slot.y[i] = ys[i];
  }
  int n = count - 1;
  if (n < 2) return;
  double h[kSplinePoints], s[kSplinePoints], diag[kSplinePoints], rhs[kSplinePoints];
  for (int i = 0; i < n; ++i) {
    h[i] = slot.x[i + 1] - slot.x[i];
    s[i] = h[i] != 0 ? (slot.y[i + 1] - slot.y[i]) / h[i] : 0;
  }
  for (int i = 1; i < n; ++i) {
    diag[i] = 2 * (h[i - 1] + h[i]);
    rhs[i] = s[i] - s[i - 1];
  }
  for (int i = 2; i < n; ++i) {
    if (diag[i - 1] == 0) continue;
    double m = h[i - 1] / diag[i - 1];
    diag[i] -= m * h[i - 1];
    rhs[i] -= m * rhs[i - 1];
  }
  for (int i = n - 1; i >= 1; --i) {
    double next = i + 1 < n ? slot.z[i + 1] : 0;
    slot.z[i] = diag[i] != 0 ? (rhs[i] - h[i] * next) / diag[i] : 0;
  }
}

bool EvaluateSpline(const SplineSlot& slot, double x, double& y, const char*& error) {
  int count = slot.count;
  if (count < 2 || x < slot.x[0] || x > slot.x[count - 1]) {
    error = "SVSpline：求めたいxが範囲外です。";
    return false;
  }
  for (int i = 0; i < count; ++i) {
    if (x == slot.x[i]) {
      y = slot.y[i];
      return true;
    }
    if (i + 1 < count && !(slot.x[i] < slot.x[i + 1])) {
      error = "SVSpline:xarrayは同じ値を含まない、小さい順にソートされた配列でなければなりません。";
      return false;
    }
  }
  int lo = 0, hi = count - 1;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    if (x > slot.x[mid]) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  int i = lo > 0 ? lo - 1 : 0;
  double t = x - slot.x[i], h = slot.x[i + 1] - slot.x[i];
  double zi = slot.z[i], zj = slot.z[i + 1];
  y = slot.y[i] + t * ((slot.y[i + 1] - slot.y[i]) / h - h * (2 * zi + zj) + t * (t * (zj - zi) / h + 3 * zi));
  return true;
}

}  // namespace sorv

// The software drawing of textures onto a 24-bit screen surface: straight
// copies, alpha and additive drawing, and the transformed draws. The
// transformed draws map every destination pixel back into the texture in
// 16.16 fixed point; each row's span of pixels whose source point lies in
// the area is worked out once per row, so the pixel loops test nothing.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "texture/texture.h"

namespace sorv {

namespace {

constexpr int64_t kOne = 65536;

// The coverage of every texture alpha at one opacity: alpha x a / 255.
struct Levels {
  uint8_t of[256];
  explicit Levels(int32_t alpha) {
    for (int32_t a = 0; a < 256; ++a) of[a] = static_cast<uint8_t>(alpha * a / 255);
  }
};

inline void PutAlpha(uint8_t* d, const uint8_t* s, const Levels& levels) {
  int32_t o = levels.of[s[3]];
  if (o == 0) return;
  d[0] = static_cast<uint8_t>(d[0] + (s[0] - d[0]) * o / 255);
  d[1] = static_cast<uint8_t>(d[1] + (s[1] - d[1]) * o / 255);
  d[2] = static_cast<uint8_t>(d[2] + (s[2] - d[2]) * o / 255);
}

inline void PutAdd(uint8_t* d, const uint8_t* s, const Levels& levels) {
  int32_t m = levels.of[s[3]];
  if (m == 0) return;
  d[0] = static_cast<uint8_t>(std::min(255, d[0] + s[0] * m / 255));
  d[1] = static_cast<uint8_t>(std::min(255, d[1] + s[1] * m / 255));
  d[2] = static_cast<uint8_t>(std::min(255, d[2] + s[2] * m / 255));
}

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
  int64_t q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

// Narrows [lo, hi) to the x for which low <= a + x * d < high.
void Narrow(int64_t a, int64_t d, int64_t low, int64_t high, int64_t& lo, int64_t& hi) {
  if (d == 0) {
    if (a < low || a >= high) hi = lo;
    return;
  }
  if (d > 0) {
    lo = std::max(lo, CeilDiv(low - a, d));
    hi = std::min(hi, FloorDiv(high - 1 - a, d) + 1);
  } else {
    lo = std::max(lo, CeilDiv(a - (high - 1), -d));
    hi = std::min(hi, FloorDiv(a - low, -d) + 1);
  }
}

// An inverse mapping: the area point of destination pixel (x, y) is
// (u0 + x ux + y uy, v0 + x vx + y vy), taken at the pixel's centre.
struct InverseMap {
  double u0, ux, uy, v0, vx, vy;
};

// The part of the area that lies in the texture, in area pixels.
struct AreaLimits {
  int64_t uLow, uHigh, vLow, vHigh;  // 16.16
  const uint8_t* origin;             // texture pixel of area point (0, 0)
  int32_t texStride;                 // bytes a texture row
};

bool LimitsFor(const Texture& tex, int32_t sx, int32_t sy, int32_t w, int32_t h, AreaLimits& l) {
  int64_t u0 = std::max<int64_t>(0, -int64_t{sx}), u1 = std::min<int64_t>(w, int64_t{tex.width} - sx);
  int64_t v0 = std::max<int64_t>(0, -int64_t{sy}), v1 = std::min<int64_t>(h, int64_t{tex.height} - sy);
  if (u1 <= u0 || v1 <= v0) return false;
  l.uLow = u0 * kOne, l.uHigh = u1 * kOne, l.vLow = v0 * kOne, l.vHigh = v1 * kOne;
  l.texStride = tex.width * 4;
  // Only ever offset by (u, v) inside the limits, which land in the texture.
  l.origin = tex.pixels.data() + (int64_t{sy} * tex.width + sx) * 4;
  return true;
}

// Draws destination row y over [lo, hi) through the map.
void DrawSpan(const DrawTarget& t, const AreaLimits& l, const InverseMap& m, int32_t y, int64_t lo, int64_t hi,
              const Levels& alpha, bool add) {
  double cy = y + 0.5;
  double fa = (m.u0 + m.uy * cy + m.ux * 0.5) * kOne, fb = (m.v0 + m.vy * cy + m.vx * 0.5) * kOne;
  double fu = m.ux * kOne, fv = m.vx * kOne;
  // A map this steep (a nearly flat quadrilateral) has no pixel worth
  // drawing, and its numbers would not fit the fixed point.
  constexpr double kLimit = 1e18;
  if (!(std::fabs(fa) < kLimit && std::fabs(fb) < kLimit && std::fabs(fu) < kLimit && std::fabs(fv) < kLimit)) return;
  int64_t a = std::llround(fa), b = std::llround(fb);
  int64_t du = std::llround(fu), dv = std::llround(fv);
  Narrow(a, du, l.uLow, l.uHigh, lo, hi);
  Narrow(b, dv, l.vLow, l.vHigh, lo, hi);
  if (hi <= lo) return;
  int64_t u = a + lo * du, v = b + lo * dv;
  uint8_t* d = t.TopRow(y) + lo * 3;
  const uint8_t* origin = l.origin;
  const int64_t stride = l.texStride;
  int64_t n = hi - lo;
  if (add) {
    for (int64_t i = 0; i < n; ++i, d += 3, u += du, v += dv) {
      PutAdd(d, origin + (v >> 16) * stride + (u >> 16) * 4, alpha);
    }
  } else if (dv == 0) {
    // Unturned rows read one texture row.
    const uint8_t* row = origin + (v >> 16) * stride;
    for (int64_t i = 0; i < n; ++i, d += 3, u += du) PutAlpha(d, row + (u >> 16) * 4, alpha);
  } else {
    for (int64_t i = 0; i < n; ++i, d += 3, u += du, v += dv) {
      PutAlpha(d, origin + (v >> 16) * stride + (u >> 16) * 4, alpha);
    }
  }
}

// The destination box of points, clipped to the target.
bool BoxOf(const DrawTarget& t, const double* xs, const double* ys, int n, int64_t& left, int64_t& top,
           int64_t& right, int64_t& bottom) {
  double minX = xs[0], maxX = xs[0], minY = ys[0], maxY = ys[0];
  for (int i = 1; i < n; ++i) {
    minX = std::min(minX, xs[i]), maxX = std::max(maxX, xs[i]);
    minY = std::min(minY, ys[i]), maxY = std::max(maxY, ys[i]);
  }
  if (!(minX == minX) || !(maxX == maxX) || !(minY == minY) || !(maxY == maxY)) return false;
  left = static_cast<int64_t>(std::max(0.0, std::floor(minX) - 1));
  top = static_cast<int64_t>(std::max(0.0, std::floor(minY) - 1));
  right = static_cast<int64_t>(std::min<double>(t.width, std::ceil(maxX) + 1));
  bottom = static_cast<int64_t>(std::min<double>(t.height, std::ceil(maxY) + 1));
  return left < right && top < bottom;
}

int32_t ClampAlpha(int32_t alpha) { return std::clamp(alpha, 0, 255); }

// The inverse of the affine map taking destination points A, B, C to area
// points a, b, c. False for a triangle without area.
bool TriangleMap(const double A[2], const double B[2], const double C[2], const double a[2], const double b[2],
                 const double c[2], InverseMap& m) {
  double e1x = B[0] - A[0], e1y = B[1] - A[1], e2x = C[0] - A[0], e2y = C[1] - A[1];
  double det = e1x * e2y - e2x * e1y;
  if (det == 0) return false;
  // (s, t) of a destination point D: s = ( e2y dx - e2x dy) / det,
  //                                  t = (-e1y dx + e1x dy) / det.
  double sx = e2y / det, sy = -e2x / det, tx = -e1y / det, ty = e1x / det;
  double bu = b[0] - a[0], bv = b[1] - a[1], cu = c[0] - a[0], cv = c[1] - a[1];
  m.ux = bu * sx + cu * tx;
  m.uy = bu * sy + cu * ty;
  m.vx = bv * sx + cv * tx;
  m.vy = bv * sy + cv * ty;
  m.u0 = a[0] - m.ux * A[0] - m.uy * A[1];
  m.v0 = a[1] - m.vx * A[0] - m.vy * A[1];
  return true;
}

}  // namespace

bool CreateTexture(Texture& tex, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || !SurfaceSizeAllowed(width, height, 32)) return false;
  tex.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
  tex.width = width, tex.height = height;
  tex.loaded = true;
  return true;
}

DrawTarget TargetOf(Surface& s) {
  DrawTarget t;
  if (s.Empty() || s.BitCount() != 24) return t;
  t.bits = s.bits.data();
  t.width = s.width, t.height = s.height, t.stride = s.stride;
  return t;
}

bool ClipBlt(const DrawTarget& t, const Texture& tex, BltRect& r) {
  if (!t.bits || !tex.loaded) return false;
  int64_t dx = r.dx, dy = r.dy, w = r.w, h = r.h, sx = r.sx, sy = r.sy;
  if (dx >= t.width || dy >= t.height || sx >= tex.width || sy >= tex.height) return false;
  if (dx < 0) w += dx, sx -= dx, dx = 0;
  if (dy < 0) h += dy, sy -= dy, dy = 0;
  // A negative source corner would read before the texture: it shifts the
  // destination instead, as a negative destination shifts the source.
  if (sx < 0) w += sx, dx -= sx, sx = 0;
  if (sy < 0) h += sy, dy -= sy, sy = 0;
  w = std::min({w, int64_t{t.width} - dx, int64_t{tex.width} - sx});
  h = std::min({h, int64_t{t.height} - dy, int64_t{tex.height} - sy});
  if (w <= 0 || h <= 0) return false;
  r = BltRect{static_cast<int32_t>(dx), static_cast<int32_t>(dy), static_cast<int32_t>(w),
              static_cast<int32_t>(h), static_cast<int32_t>(sx), static_cast<int32_t>(sy)};
  return true;
}

void DrawTexture(const DrawTarget& t, const Texture& tex, BltRect r, TextureBlend blend, int32_t alpha) {
  if (!ClipBlt(t, tex, r)) return;
  const Levels levels(ClampAlpha(alpha));
  for (int32_t y = 0; y < r.h; ++y) {
    uint8_t* d = t.TopRow(r.dy + y) + r.dx * 3;
    const uint8_t* s = tex.Row(r.sy + y) + r.sx * 4;
    switch (blend) {
      case TextureBlend::Copy:
        for (int32_t x = 0; x < r.w; ++x, d += 3, s += 4) d[0] = s[0], d[1] = s[1], d[2] = s[2];
        break;
      case TextureBlend::Alpha:
        for (int32_t x = 0; x < r.w; ++x, d += 3, s += 4) PutAlpha(d, s, levels);
        break;
      case TextureBlend::Add:
        for (int32_t x = 0; x < r.w; ++x, d += 3, s += 4) PutAdd(d, s, levels);
        break;
    }
  }
}

void DrawTextureRotated(const DrawTarget& t, const Texture& tex, int32_t dcx, int32_t dcy, int32_t sx, int32_t sy,
                        int32_t w, int32_t h, int32_t xs, int32_t ys, double rot, int32_t alpha, bool add) {
  if (!t.bits || !tex.loaded || xs == 0 || ys == 0 || w <= 0 || h <= 0) return;
  AreaLimits limits;
  if (!LimitsFor(tex, sx, sy, w, h, limits)) return;
  double theta = rot * (3.1415926536 / 180.0);
  double cs = std::cos(theta), sn = std::sin(theta);
  double fx = xs / 100.0, fy = ys / 100.0;
  // Corners of the area about its centre, scaled and turned.
  double px[4], py[4];
  const double cu[4] = {-w / 2.0, w / 2.0, -w / 2.0, w / 2.0}, cv[4] = {-h / 2.0, -h / 2.0, h / 2.0, h / 2.0};
  for (int i = 0; i < 4; ++i) {
    double qx = cu[i] * fx, qy = cv[i] * fy;
    px[i] = dcx + qx * cs + qy * sn;
    py[i] = dcy - qx * sn + qy * cs;
  }
  int64_t left, top, right, bottom;
  if (!BoxOf(t, px, py, 4, left, top, right, bottom)) return;
  InverseMap m;
  m.ux = cs / fx, m.uy = -sn / fx;
  m.vx = sn / fy, m.vy = cs / fy;
  m.u0 = w / 2.0 - m.ux * dcx - m.uy * dcy;
  m.v0 = h / 2.0 - m.vx * dcx - m.vy * dcy;
  const Levels levels(ClampAlpha(alpha));
  for (int64_t y = top; y < bottom; ++y) DrawSpan(t, limits, m, static_cast<int32_t>(y), left, right, levels, add);
}

void DrawTextureQuad(const DrawTarget& t, const Texture& tex, const int32_t corners[8], int32_t sx, int32_t sy,
                     int32_t w, int32_t h, int32_t alpha, bool add) {
  if (!t.bits || !tex.loaded || w <= 0 || h <= 0) return;
  // Corners millions of pixels away are no picture; refusing them keeps the
  // diagonal's integer arithmetic below overflow.
  constexpr int32_t kFar = 1 << 24;
  for (int i = 0; i < 8; ++i) {
    if (corners[i] > kFar || corners[i] < -kFar) return;
  }
  AreaLimits limits;
  if (!LimitsFor(tex, sx, sy, w, h, limits)) return;
  const double d00[2] = {double(corners[0]), double(corners[1])}, d10[2] = {double(corners[2]), double(corners[3])};
  const double d01[2] = {double(corners[4]), double(corners[5])}, d11[2] = {double(corners[6]), double(corners[7])};
  const double a00[2] = {0, 0}, a10[2] = {double(w), 0}, a01[2] = {0, double(h)}, a11[2] = {double(w), double(h)};
  const double xs[4] = {d00[0], d10[0], d01[0], d11[0]}, ys[4] = {d00[1], d10[1], d01[1], d11[1]};
  int64_t left, top, right, bottom;
  if (!BoxOf(t, xs, ys, 4, left, top, right, bottom)) return;
  // Two affine halves split along the diagonal from top-right to
  // bottom-left: the half holding the top-left corner and the other.
  InverseMap upper, lower;
  bool hasUpper = TriangleMap(d00, d10, d01, a00, a10, a01, upper);
  bool hasLower = TriangleMap(d11, d01, d10, a11, a01, a10, lower);
  // Twice the diagonal's edge function at pixel centres, in integers:
  // 2E(x, y) = ex (2x + 1) + ey (2y + 1) + e0.
  int64_t ex = -(int64_t{corners[5]} - corners[3]), ey = int64_t{corners[4]} - corners[2];
  int64_t e0 = -2 * (ex * corners[2] + ey * corners[3]);
  int64_t sideOf00 = ex * 2 * corners[0] + ey * 2 * corners[1] + e0;
  int64_t sign = sideOf00 < 0 ? -1 : 1;
  const Levels levels(ClampAlpha(alpha));
  for (int64_t y = top; y < bottom; ++y) {
    // Pixels on the top-left corner's side (the diagonal included):
    // sign * (2 ex x + ex + ey (2y + 1) + e0) >= 0.
    int64_t a = sign * (ex + ey * (2 * y + 1) + e0), d = sign * 2 * ex;
    int64_t lo = left, hi = right;
    Narrow(a, d, 0, INT64_MAX / 4, lo, hi);
    int32_t row = static_cast<int32_t>(y);
    if (hasUpper && lo < hi) DrawSpan(t, limits, upper, row, lo, hi, levels, add);
    if (!hasLower) continue;
    // The rest of the row lies on either side of that span.
    if (lo >= hi) {
      DrawSpan(t, limits, lower, row, left, right, levels, add);
    } else {
      if (left < lo) DrawSpan(t, limits, lower, row, left, lo, levels, add);
      if (hi < right) DrawSpan(t, limits, lower, row, hi, right, levels, add);
    }
  }
}

void FillTarget(const DrawTarget& t, int32_t lx, int32_t ly, int32_t rx, int32_t ry, int32_t r, int32_t g,
                int32_t b) {
  if (!t.bits) return;
  int32_t left = std::max(lx, 0), top = std::max(ly, 0);
  int32_t right = std::min(rx, t.width), bottom = std::min(ry, t.height);
  uint8_t bgr[3] = {static_cast<uint8_t>(std::clamp(b, 0, 255)), static_cast<uint8_t>(std::clamp(g, 0, 255)),
                    static_cast<uint8_t>(std::clamp(r, 0, 255))};
  for (int32_t y = top; y < bottom; ++y) {
    uint8_t* d = t.TopRow(y) + left * 3;
    for (int32_t x = left; x < right; ++x, d += 3) d[0] = bgr[0], d[1] = bgr[1], d[2] = bgr[2];
  }
}

}  // namespace sorv

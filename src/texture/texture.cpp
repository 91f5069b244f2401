// The 64-slot texture table and the SVD functions Lua calls. In software
// mode they draw into the presented frame (or, in off-screen mode, into the
// scene buffer); in hardware mode the drawing goes to the svdx library.
#include "texture/texture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "graphics/decoders/decoders.h"
#include "graphics/effect.h"
#include "graphics/image_load.h"
#include "graphics/scene.h"
#include "interp/error.h"
#include "interp/game_paths.h"
#include "lua/lua_call.h"
#include "platform/dynlib.h"
#include "platform/fs.h"
#include "plugin/plugin.h"
#include "shell/engine.h"

namespace sorv {

namespace {

[[noreturn]] void Raise(const std::string& utf8) { throw LuaRaise(utf8); }

Texture& Slot(LuaCall& c, int32_t n) {
  if (n < 0 || n >= kTextureSlots) Raise(Format("SVD系命令のテクスチャ番号%dが範囲外です(0～%d)", n, kTextureSlots - 1));
  return c.e.textures.slots[static_cast<size_t>(n)];
}

Texture& LoadedSlot(LuaCall& c, int32_t n) {
  Texture& tex = Slot(c, n);
  if (!tex.loaded) Raise(Format("ロードされていないテクスチャ番号%dを使いました。", n));
  return tex;
}

Surface& TargetSurface(Engine& e) { return e.textures.offscreen ? e.scene.scene : e.scene.display; }
DrawTarget Target(Engine& e) { return TargetOf(TargetSurface(e)); }

bool Hardware(const Engine& e) { return e.textures.hardware; }

// Hardware drawing happens inside a scene; the first draw opens one.
void OpenScene(Engine& e) {
  TextureState& t = e.textures;
  if (t.inScene) return;
  if (t.api.BeginScene) t.api.BeginScene();
  t.inScene = true;
}

void SendTexture(Engine& e, int32_t n) {
  TextureState& t = e.textures;
  const Texture& tex = t.slots[static_cast<size_t>(n)];
  if (t.hardware && t.api.CreateTexture) t.api.CreateTexture(n, tex.width, tex.height, tex.pixels.data());
}

// The library's frame into the display buffer and onto the window.
void HostPresent(void* context, const uint8_t* pixels, int32_t pitch, int32_t width, int32_t height) {
  Engine& e = *static_cast<Engine*>(context);
  Surface& d = e.scene.display;
  if (d.Empty() || d.BitCount() != 24) return;
  int32_t w = std::min(width, d.width), h = std::min(height, d.height);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = pixels + static_cast<ptrdiff_t>(y) * pitch;
    uint8_t* o = d.TopRow(y);
    for (int32_t x = 0; x < w; ++x, s += 4, o += 3) o[0] = s[0], o[1] = s[1], o[2] = s[2];
  }
  PresentDisplay(e);
}

bool EndsWithPng(const std::string& name) {
  return name.size() >= 3 && strcasecmp(name.c_str() + name.size() - 3, "png") == 0;
}

// A PNG from a loose file or an archive into the slot.
void LoadPngInto(LuaCall& c, Texture& tex, const std::string& name) {
  if (!EndsWithPng(name)) Raise("SVDLoad命令はPNGファイルしか読み込めません。");
  // A name leading out of the game is refused as for every picture.
  AssetPathOrError(c.e, name);
  std::string bytes;
  if (!ReadLuaFile(c.e, name, false, bytes)) {
    Raise("テクスチャに読み込もうとしたファイル\"" + Sjis(name) + "\"がありません。");
  }
  Texture loaded;
  if (!DecodeTexturePng(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), loaded)) {
    // A damaged picture is the game's error, told as one; the slot keeps
    // what it had.
    Raise("テクスチャに読み込もうとしたファイル\"" + Sjis(name) + "\"はPNG画像として読めません。");
  }
  tex = std::move(loaded);
}

int32_t TextureNumber(LuaCall& c, int at) {
  int32_t n = c.Int(at);
  Slot(c, n);
  return n;
}

int DrawStraight(LuaCall& c, const char* name, const char* usage, TextureBlend blend) {
  c.Check(name, blend == TextureBlend::Copy ? "nnnnnnn" : "nnnnnnnn", usage);
  int32_t n = c.Int(1);
  const Texture& tex = LoadedSlot(c, n);
  BltRect r{c.Int(2), c.Int(3), c.Int(4), c.Int(5), c.Int(6), c.Int(7)};
  int32_t alpha = blend == TextureBlend::Copy ? 255 : c.Int(8);
  Engine& e = c.e;
  if (Hardware(e)) {
    OpenScene(e);
    const SvdxApi& api = e.textures.api;
    if (blend == TextureBlend::Copy && api.Blt) api.Blt(n, r.dx, r.dy, r.w, r.h, r.sx, r.sy);
    if (blend == TextureBlend::Alpha && api.Sp) api.Sp(n, r.dx, r.dy, r.w, r.h, r.sx, r.sy, alpha);
    if (blend == TextureBlend::Add && api.SpAdd) api.SpAdd(n, r.dx, r.dy, r.w, r.h, r.sx, r.sy, alpha);
    return 0;
  }
  DrawTexture(Target(e), tex, r, blend, alpha);
  return 0;
}

int DrawTurned(LuaCall& c, const char* name, const char* usage, bool add) {
  c.Check(name, "nnnnnnnnnnn", usage);
  int32_t n = c.Int(1);
  const Texture& tex = LoadedSlot(c, n);
  int32_t dcx = c.Int(2), dcy = c.Int(3), sx = c.Int(4), sy = c.Int(5), w = c.Int(6), h = c.Int(7);
  int32_t xs = c.Int(8), ys = c.Int(9), alpha = c.Int(11);
  double rot = c.Num(10);
  Engine& e = c.e;
  if (Hardware(e)) {
    OpenScene(e);
    SvdxSp2Fn fn = add ? e.textures.api.Sp2Add : e.textures.api.Sp2;
    if (fn) fn(n, dcx, dcy, sx, sy, w, h, xs, ys, rot, alpha);
    return 0;
  }
  DrawTextureRotated(Target(e), tex, dcx, dcy, sx, sy, w, h, xs, ys, rot, alpha, add);
  return 0;
}

int DrawMapped(LuaCall& c, const char* name, const char* usage, bool add) {
  c.Check(name, "nnnnnnnnnnnnnn", usage);
  int32_t n = c.Int(1);
  const Texture& tex = LoadedSlot(c, n);
  int32_t corners[8];
  for (int i = 0; i < 8; ++i) corners[i] = c.Int(2 + i);
  int32_t sx = c.Int(10), sy = c.Int(11), w = c.Int(12), h = c.Int(13), alpha = c.Int(14);
  Engine& e = c.e;
  if (Hardware(e)) {
    OpenScene(e);
    SvdxSp3Fn fn = add ? e.textures.api.Sp3Add : e.textures.api.Sp3;
    if (fn) fn(n, corners, sx, sy, w, h, alpha);
    return 0;
  }
  DrawTextureQuad(Target(e), tex, corners, sx, sy, w, h, alpha, add);
  return 0;
}

int RunTransitionCall(LuaCall& c, const char* name, bool withoutClickCut) {
  c.Check(name, "n");
  EffectRequest fx;
  fx.type = c.Int(1);
  if (c.api.SL_isnumber(c.L, 2)) fx.duration = c.Int(2);
  if (c.api.SL_isstring(c.L, 3)) fx.image = c.Str(3);
  Engine& e = c.e;
  bool clickCut = e.effects.clickCut;
  if (withoutClickCut) e.effects.clickCut = false;
  try {
    if (e.textures.offscreen) {
      // What Lua drew off screen is the picture to move to.
      RunEffectOverScene(e, fx);
    } else {
      MarkAllDirty(e);
      RunEffect(e, fx);
    }
  } catch (...) {
    e.effects.clickCut = clickCut;
    throw;
  }
  e.effects.clickCut = clickCut;
  return 0;
}

}  // namespace

bool DecodeTexturePng(const uint8_t* data, size_t size, Texture& tex) {
  // The decoder gives the colours with the coverage beside them as a mask
  // (255 - alpha); a texture keeps alpha in each pixel.
  Surface s;
  if (!DecodePng(data, size, true, 1, s) || s.width < 2) return false;
  int32_t w = s.width / 2, h = s.height;
  if (!CreateTexture(tex, w, h)) return false;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* colour = s.TopRow(y);
    const uint8_t* mask = colour + w * 3;
    uint8_t* o = tex.Row(y);
    for (int32_t x = 0; x < w; ++x, o += 4) {
      o[0] = colour[x * 3], o[1] = colour[x * 3 + 1], o[2] = colour[x * 3 + 2];
      o[3] = static_cast<uint8_t>(255 - mask[x * 3]);
    }
  }
  return true;
}

bool ParseColourBlock(const std::string& text, int32_t& w, int32_t& h, uint8_t bgra[4]) {
  if (text.empty() || text[0] != '*') return false;
  int32_t v[6] = {0, 0, 0, 0, 0, 0};
  int count = 0;
  const char* p = text.c_str() + 1;
  while (count < 6) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p < '0' || *p > '9') return false;
    int64_t n = 0;
    while (*p >= '0' && *p <= '9') n = std::min<int64_t>(n * 10 + (*p++ - '0'), 1 << 30);
    v[count++] = static_cast<int32_t>(n);
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') break;
    if (*p++ != ',') return false;
  }
  if (*p != '\0' || (count != 2 && count != 6)) return false;
  for (int i = 2; i < 6; ++i) {
    if (v[i] > 255) return false;
  }
  w = v[0], h = v[1];
  bgra[0] = static_cast<uint8_t>(v[4]), bgra[1] = static_cast<uint8_t>(v[3]);
  bgra[2] = static_cast<uint8_t>(v[2]), bgra[3] = static_cast<uint8_t>(v[5]);
  return true;
}

void FinalizeTextures(Engine& e) {
  TextureState& t = e.textures;
  if (t.hardware && t.api.Finalize) t.api.Finalize();
  t.hardware = false;
  t.inScene = false;
  for (Texture& tex : t.slots) tex = Texture{};
}

// --- the Lua functions ---

int SVDDirectX(LuaCall& c) {
  Engine& e = c.e;
  TextureState& t = e.textures;
  if (t.hardware) return 0;
  // Our drawing library lives beside the executable; a game's own copy
  // (made for Windows) is never loaded in its place.
  std::string lib = platform::ExecutableDirectory() + "/svdx.dll";
  SvdxApi api;
  api.Initialize = reinterpret_cast<SvdxInitializeFn>(BindEntryAnywhere(e, lib, "Initialize"));
  if (!api.Initialize) ReportError(e, "エラー", "svdx.dllがありません。");
  auto bind = [&](const char* entry) { return BindEntryAnywhere(e, lib, entry); };
  api.Finalize = reinterpret_cast<SvdxFinalizeFn>(bind("Finalize"));
  api.Clear = reinterpret_cast<SvdxClearFn>(bind("Clear"));
  api.Fill = reinterpret_cast<SvdxFillFn>(bind("Fill"));
  api.BeginScene = reinterpret_cast<SvdxSceneFn>(bind("BeginScene"));
  api.EndScene = reinterpret_cast<SvdxSceneFn>(bind("EndScene"));
  api.Present = reinterpret_cast<SvdxSceneFn>(bind("Present"));
  api.CreateTexture = reinterpret_cast<SvdxCreateTextureFn>(bind("CreateTexture"));
  api.DeleteTexture = reinterpret_cast<SvdxDeleteTextureFn>(bind("DeleteTexture"));
  api.Blt = reinterpret_cast<SvdxBltFn>(bind("Blt"));
  api.Sp = reinterpret_cast<SvdxSpFn>(bind("Sp"));
  api.SpAdd = reinterpret_cast<SvdxSpFn>(bind("SpAdd"));
  api.Sp2 = reinterpret_cast<SvdxSp2Fn>(bind("Sp2"));
  api.Sp2Add = reinterpret_cast<SvdxSp2Fn>(bind("Sp2Add"));
  api.Sp3 = reinterpret_cast<SvdxSp3Fn>(bind("Sp3"));
  api.Sp3Add = reinterpret_cast<SvdxSp3Fn>(bind("Sp3Add"));
  api.ReadScreen = reinterpret_cast<SvdxReadScreenFn>(bind("ReadScreen"));
  for (const LibraryEntry& entry : e.app.libraries) {
    if (entry.handle && entry.name == lib) {
      std::fprintf(stderr, "sorv: loaded drawing library %s\n", platform::LibraryFile(entry.handle).c_str());
    }
  }
  t.api = api;
  t.host = SvdxHost{sizeof(SvdxHost), &e, HostPresent};
  t.hardware = api.Initialize(&t.host, e.screenWidth, e.screenHeight) != 0;
  t.inScene = false;
  if (!t.hardware) {
    std::fprintf(stderr, "sorv: the drawing library found no renderer; textures are drawn in software\n");
    return 0;
  }
  // Textures loaded before the switch are drawn by the library from now on.
  for (int n = 0; n < kTextureSlots; ++n) {
    if (t.slots[static_cast<size_t>(n)].loaded) SendTexture(e, n);
  }
  return 0;
}

int SVDLoad(LuaCall& c) {
  c.Check("SVDLoad", "ns", "SVDLoad(num,filename)");
  int32_t n = TextureNumber(c, 1);
  LoadPngInto(c, c.e.textures.slots[static_cast<size_t>(n)], c.Str(2));
  SendTexture(c.e, n);
  return 0;
}

int SVDGetScreen(LuaCall& c) {
  c.Check("SVDGetScreen", "n", "SVDGetScreen(num)");
  int32_t n = TextureNumber(c, 1);
  Engine& e = c.e;
  Surface& d = e.scene.display;
  Texture tex;
  TextureState& t = e.textures;
  if (t.hardware && t.api.ReadScreen) {
    // The library's frame, drawn so far, is the screen.
    if (!CreateTexture(tex, e.screenWidth, e.screenHeight)) return 0;
    if (t.api.ReadScreen(tex.pixels.data(), tex.width * 4) != 0) {
      for (size_t i = 3; i < tex.pixels.size(); i += 4) tex.pixels[i] = 255;
      t.slots[static_cast<size_t>(n)] = std::move(tex);
      SendTexture(e, n);
      return 0;
    }
  }
  if (d.Empty() || d.BitCount() != 24 || !CreateTexture(tex, d.width, d.height)) return 0;
  for (int32_t y = 0; y < d.height; ++y) {
    const uint8_t* s = d.TopRow(y);
    uint8_t* o = tex.Row(y);
    for (int32_t x = 0; x < d.width; ++x, s += 3, o += 4) o[0] = s[0], o[1] = s[1], o[2] = s[2], o[3] = 255;
  }
  e.textures.slots[static_cast<size_t>(n)] = std::move(tex);
  SendTexture(e, n);
  return 0;
}

int SVDGetSize(LuaCall& c) {
  c.Check("SVDGetSize", "n", "SVDGetSize(num)");
  int32_t n = c.Int(1);
  const Texture& tex = Slot(c, n);
  if (!tex.loaded) Raise(Format("SVDGetSize:存在しないテクスチャ%dの幅と高さを得ようとしました。", n));
  c.Push(tex.width);
  c.Push(tex.height);
  return 2;
}

int SVDDelete(LuaCall& c) {
  c.Check("SVDDelete", "n", "SVDDelete(num)");
  int32_t n = TextureNumber(c, 1);
  TextureState& t = c.e.textures;
  if (t.hardware) {
    if (t.api.DeleteTexture) t.api.DeleteTexture(n);
  }
  t.slots[static_cast<size_t>(n)] = Texture{};
  return 0;
}

int SVDClear(LuaCall& c) {
  Engine& e = c.e;
  if (Hardware(e)) {
    if (e.textures.api.Clear) e.textures.api.Clear();
    return 0;
  }
  DrawTarget t = Target(e);
  FillTarget(t, 0, 0, t.width, t.height, 0, 0, 0);
  return 0;
}

int SVDFill(LuaCall& c) {
  c.Check("SVDFill", "nnnnnnn", "SVDFill(lx,ly,rx,ry,red,green,blue)");
  Engine& e = c.e;
  if (Hardware(e)) {
    OpenScene(e);
    if (e.textures.api.Fill) e.textures.api.Fill(c.Int(1), c.Int(2), c.Int(3), c.Int(4), c.Int(5), c.Int(6), c.Int(7));
    return 0;
  }
  FillTarget(Target(e), c.Int(1), c.Int(2), c.Int(3), c.Int(4), c.Int(5), c.Int(6), c.Int(7));
  return 0;
}

int SVDBlt(LuaCall& c) { return DrawStraight(c, "SVDBlt", "SVDBlt(num,dx,dy,w,h,sx,sy)", TextureBlend::Copy); }
int SVDSp(LuaCall& c) { return DrawStraight(c, "SVDSp", "SVDSp(num,dx,dy,w,h,sx,sy,alpha)", TextureBlend::Alpha); }
int SVDSpAdd(LuaCall& c) {
  return DrawStraight(c, "SVDSpAdd", "SVDSpAdd(num,dx,dy,w,h,sx,sy,alpha)", TextureBlend::Add);
}
int SVDSp2(LuaCall& c) { return DrawTurned(c, "SVDSp2", "SVDSp2(num,dcx,dcy,sx,sy,w,h,xs,ys,rot,alpha)", false); }
int SVDSp2Add(LuaCall& c) {
  return DrawTurned(c, "SVDSp2Add", "SVDSp2Add(num,dcx,dcy,sx,sy,w,h,xs,ys,rot,alpha)", true);
}
int SVDSp3(LuaCall& c) {
  return DrawMapped(c, "SVDSp3", "SVDSp3(num,d00x,d00y,d10x,d10y,d01x,d01y,d11x,d11y,sx,sy,w,h,alpha)", false);
}
int SVDSp3Add(LuaCall& c) { return DrawMapped(c, "SVDSp3Add", nullptr, true); }

int SVDPresent(LuaCall& c) {
  Engine& e = c.e;
  TextureState& t = e.textures;
  if (t.hardware) {
    if (t.inScene && t.api.EndScene) t.api.EndScene();
    t.inScene = false;
    if (t.api.Present) t.api.Present();
    return 0;
  }
  if (t.offscreen) Raise("オフスクリーン描画モードの時にSVDPresentを使ってはいけません。");
  PresentDisplay(e);
  return 0;
}

int SVDPresentRect(LuaCall& c) {
  c.Check("SVDPresentRect", "nnnn", "SVDPresentRect(lx,ly,rx,ry)");
  Engine& e = c.e;
  if (Hardware(e)) return 0;
  if (e.textures.offscreen) Raise("オフスクリーン描画モードの時にSVDPresentRectを使ってはいけません。");
  // The window takes whole frames; the rest of the frame is what it showed.
  PresentDisplay(e);
  return 0;
}

int SVDCopyToBg(LuaCall& c) {
  Engine& e = c.e;
  Surface& from = TargetSurface(e);
  TaggedImage& bg = e.scene.background;
  bg.Clear();
  if (!from.Empty()) {
    CreateSurface(bg.surface, from.width, from.height);
    if (bg.surface.bits.size() == from.bits.size()) bg.surface.bits = from.bits;
  }
  bg.tag.clear();
  for (StandingImage& s : e.scene.standing) {
    s.tag.clear();
    s.image.Clear();
  }
  e.scene.backgroundName = "*bgcpy";
  MarkAllDirty(e);
  return 0;
}

int SVDOffMode(LuaCall& c) {
  c.Check("SVDOffMode", "n", "SVDOffMode(mode)");
  c.e.textures.offscreen = c.Int(1) != 0;
  return 0;
}

int SVDTransition(LuaCall& c) { return RunTransitionCall(c, "SVDTransition", false); }
int SVDTransitionF(LuaCall& c) { return RunTransitionCall(c, "SVDTransitionF", true); }

int SVDDLL(LuaCall& c) {
  c.Check("SVDDLL", "ss", "procnum=SVDDLL(dllname,funcname)");
  std::string dll = c.Str(1), fn = c.Str(2);
  std::vector<TextureProcedure>& procs = c.e.textures.procedures;
  if (procs.size() >= kTextureProcedures) Raise(Format("SVDDLLの登録数が上限%dを超えました。", kTextureProcedures));
  void* p = BindPluginEntry(c.e, dll, fn.c_str());
  if (!p) p = BindPluginEntry(c.e, "dll\\" + dll, fn.c_str());
  if (!p) Raise(Format("SVDDLLに指定されたDLL関数(%s/%s)が見つかりません。", Sjis(dll).c_str(), Sjis(fn).c_str()));
  procs.push_back(reinterpret_cast<TextureProcedure>(p));
  c.Push(static_cast<int32_t>(procs.size() - 1));
  return 1;
}

int SVDCall(LuaCall& c) {
  c.Check("SVDCall", "nsn");
  int32_t n = TextureNumber(c, 1);
  std::string name = c.Str(2);
  int32_t proc = c.Int(3);
  bool hasParameter = c.api.SL_isstring(c.L, 4);
  std::string parameter = hasParameter ? c.Str(4) : std::string();
  Engine& e = c.e;
  TextureState& t = e.textures;
  if (proc < 0 || proc >= static_cast<int32_t>(t.procedures.size())) {
    Raise(Format("SVDDLLで登録されていない番号%dでSVDCALLを呼び出しました。", proc));
  }
  Texture& tex = t.slots[static_cast<size_t>(n)];
  int32_t w = 0, h = 0;
  uint8_t bgra[4];
  if (!name.empty() && name[0] == '*') {
    Texture block;
    if (!ParseColourBlock(name, w, h, bgra) || !CreateTexture(block, w, h)) {
      Raise("SVDCallの色指定\"" + Sjis(name) + "\"が正しくありません。");
    }
    for (size_t i = 0; i < block.pixels.size(); i += 4) std::memcpy(&block.pixels[i], bgra, 4);
    tex = std::move(block);
  } else {
    LoadPngInto(c, tex, name);
  }
  t.procedures[static_cast<size_t>(proc)](tex.pixels.data(), tex.width, tex.height,
                                          hasParameter ? parameter.c_str() : nullptr);
  SendTexture(e, n);
  return 0;
}

int SVDSetSprite(LuaCall& c) {
  c.Check("SVDSetSprite", "nn");
  int32_t spn = c.Int(1);
  if (spn < 0 || spn >= kSpriteSlots) Raise(Format("SVDSetSpriteのスプライト番号%dが範囲外です。", spn));
  const Texture& tex = LoadedSlot(c, c.Int(2));
  std::string prefix = c.api.SL_isstring(c.L, 3) ? c.Str(3) : std::string(":a;");
  Engine& e = c.e;
  Sprite& sp = e.scene.sprites[static_cast<size_t>(spn)];
  std::string tag = prefix + ">" + std::to_string(tex.width * 2) + "," + std::to_string(tex.height) + ",#000000";
  if (sp.visible && !sp.image.surface.Empty()) MarkDirty(e, SpriteRect(sp));
  LoadImage(e, sp.image, tag);
  sp.tag = tag;
  Surface& s = sp.image.surface;
  if (s.BitCount() == 24 && s.width >= tex.width * 2 && s.height >= tex.height) {
    for (int32_t y = 0; y < tex.height; ++y) {
      const uint8_t* p = tex.Row(y);
      uint8_t* colour = s.TopRow(y);
      uint8_t* mask = colour + tex.width * 3;
      for (int32_t x = 0; x < tex.width; ++x, p += 4, colour += 3, mask += 3) {
        colour[0] = p[0], colour[1] = p[1], colour[2] = p[2];
        mask[0] = mask[1] = mask[2] = static_cast<uint8_t>(255 - p[3]);
      }
    }
  }
  sp.x = e.screenWidth;
  sp.y = e.screenHeight;
  sp.visible = true;
  return 0;
}

}  // namespace sorv

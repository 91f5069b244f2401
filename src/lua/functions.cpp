// The engine functions Lua code calls (SV…), registered when the bridge
// starts. Each one is a plain function of a LuaCall; Entry<> turns it into
// the C function Lua sees, carrying engine errors across Lua safely.
#include <algorithm>
#include <cstring>

#include "archive/archive.h"
#include "graphics/image_load.h"
#include "graphics/scene.h"
#include "input/input.h"
#include "interp/error.h"
#include "lua/bridge.h"
#include "lua/lua_call.h"
#include "persist/savepoint.h"
#include "platform/encoding.h"
#include "plugin/plugin.h"
#include "script/reader.h"
#include "script/script.h"
#include "shell/engine.h"
#include "shell/window.h"
#include "texture/texture.h"
#include "values/values.h"

namespace sorv {

void LuaCall::Check(const char* name, const char* types, const char* usage) const {
  for (int i = 0; types[i]; ++i) {
    int at = i + 1;
    bool ok = false;
    switch (types[i]) {
      case 'n': ok = api.SL_isnumber(L, at); break;
      case 's': ok = api.SL_isstring(L, at); break;
      case 'b': ok = api.SL_isboolean(L, at); break;
      case 't': ok = api.SL_istable(L, at); break;
      default: ok = true; break;
    }
    if (!ok) {
      std::string text = std::string(name) + "の引数が間違っています。";
      if (usage) text += std::string("\n") + usage;
      throw LuaRaise(text);
    }
  }
}

namespace {

using Impl = int (*)(LuaCall&);

// Runs an engine function for Lua. Nothing with a destructor may live in
// Entry itself: SL_error leaves it by a long jump.
template <Impl F>
int RunImpl(lua_State* L) noexcept {
  Engine* e = LuaOwner();
  if (!e) return 0;
  try {
    LuaCall call{*e, L, e->lua.api};
    return F(call);
  } catch (const LuaRaise& r) {
    e->lua.raiseMessage = platform::Utf8ToSjis(r.what());
  } catch (...) {
    // A script error (or the end of the run): Lua unwinds first, then the
    // engine raises it again where it called into Lua.
    e->lua.pending = std::current_exception();
    e->lua.raiseMessage = "engine error";
  }
  return -1;
}

template <Impl F>
int Entry(lua_State* L) {
  int n = RunImpl<F>(L);
  if (n < 0) {
    Engine* e = LuaOwner();
    e->lua.api.SL_error(L, "%s", e->lua.raiseMessage.c_str());
  }
  return n;
}

[[noreturn]] void Raise(const std::string& utf8) { throw LuaRaise(utf8); }

// --- sprites ---

Sprite& SpriteArg(LuaCall& c, const char* name, int32_t n) {
  if (n < 0 || n >= kSpriteSlots) Raise(Format("%sのスプライト番号%dが範囲外です。", name, n));
  return c.e.scene.sprites[static_cast<size_t>(n)];
}

Sprite2& Sprite2Arg(LuaCall& c, const char* name, int32_t n) {
  if (n < 0 || n >= kSprite2Slots) Raise(Format("%sのスプライト番号%dが範囲外です。", name, n));
  return c.e.scene.sprite2[static_cast<size_t>(n)];
}

// A sprite drawn by a layer plug-in ("*n") may cover anything: the whole
// screen is redrawn for it.
void InvalidateSprite(Engine& e, const Sprite& sp) {
  if (!sp.visible || sp.tag.empty()) return;
  if (sp.tag[0] == '*') {
    MarkAllDirty(e);
  } else {
    MarkDirty(e, SpriteRect(sp));
  }
}

void InvalidateSprite2(Engine& e, const Sprite2& sp) {
  if (sp.visible && !sp.tag.empty()) MarkDirty(e, Sprite2Rect(sp));
}

void LoadSlot(Engine& e, TaggedImage& image, const std::string& tag) {
  if (!tag.empty() && tag[0] == '*') {
    image.Clear();
    image.tag = tag;
    return;
  }
  LoadImage(e, image, tag);
}

int SVSpLoad(LuaCall& c) {
  c.Check("SVSpLoad", "ns", "SVSpLoad(num,filename)");
  Sprite& sp = SpriteArg(c, "SVSpLoad", c.Int(1));
  std::string tag = c.Str(2);
  InvalidateSprite(c.e, sp);
  sp.tag = tag;
  LoadSlot(c.e, sp.image, tag);
  sp.x = c.e.screenWidth + 1;
  sp.y = 0;
  sp.visible = true;
  sp.image.opacity = 255;
  return 0;
}

int SVSpMove(LuaCall& c) {
  c.Check("SVSpMove", "nnnn", "SVSpMove(num,lx,ly,alpha)");
  Sprite& sp = SpriteArg(c, "SVSpMove", c.Int(1));
  InvalidateSprite(c.e, sp);
  sp.x = c.Int(2);
  sp.y = c.Int(3);
  sp.image.opacity = std::clamp(c.Int(4), 0, 255);
  InvalidateSprite(c.e, sp);
  return 0;
}

int SVSpClear(LuaCall& c) {
  c.Check("SVSpClear", "n", "SVSpClear(num)");
  Sprite& sp = SpriteArg(c, "SVSpClear", c.Int(1));
  InvalidateSprite(c.e, sp);
  sp.image.Clear();
  sp.tag.clear();
  sp.visible = false;
  return 0;
}

int SVSpVisible(LuaCall& c) {
  c.Check("SVSpVisible", "nb", "SVSpVisible(num,isvisible)");
  Sprite& sp = SpriteArg(c, "SVSpVisible", c.Int(1));
  InvalidateSprite(c.e, sp);
  sp.visible = c.Bool(2);
  InvalidateSprite(c.e, sp);
  return 0;
}

int SVSp2Load(LuaCall& c) {
  c.Check("SVSp2Load", "ns", "SVSp2Load(num,filename)");
  Sprite2& sp = Sprite2Arg(c, "SVSp2Load", c.Int(1));
  std::string tag = c.Str(2);
  InvalidateSprite2(c.e, sp);
  sp.tag = tag;
  LoadSlot(c.e, sp.image, tag);
  sp.cx = c.e.screenWidth;
  sp.cy = 0;
  sp.scaleX = sp.scaleY = 0;
  sp.rotation = 0;
  sp.blend = kBlendNormal;
  sp.image.opacity = 255;
  sp.visible = true;
  return 0;
}

int SVSp2Move(LuaCall& c) {
  c.Check("SVSp2Move", "nnnnnnnn", "SVSp2Move(num,cx,cy,xs,ys,rot,alpha,ope)\nope:0普通1加算2減算");
  Sprite2& sp = Sprite2Arg(c, "SVSp2Move", c.Int(1));
  InvalidateSprite2(c.e, sp);
  sp.cx = c.Int(2);
  sp.cy = c.Int(3);
  sp.scaleX = c.Int(4);
  sp.scaleY = c.Int(5);
  sp.rotation = ((c.Int(6) % 360) + 360) % 360;
  sp.image.opacity = std::clamp(c.Int(7), 0, 255);
  int32_t ope = c.Int(8);
  sp.blend = ope == 1 ? kBlendAdd : ope == 2 ? kBlendSubtract : kBlendNormal;
  InvalidateSprite2(c.e, sp);
  return 0;
}

int SVSp2Clear(LuaCall& c) {
  c.Check("SVSp2Clear", "n", "SVSp2Clear(num)");
  Sprite2& sp = Sprite2Arg(c, "SVSp2Clear", c.Int(1));
  InvalidateSprite2(c.e, sp);
  sp = Sprite2{};
  return 0;
}

int SVSp2Visible(LuaCall& c) {
  c.Check("SVSp2Visible", "nb", "SVSp2Visible(num,isvisible)");
  Sprite2& sp = Sprite2Arg(c, "SVSp2Visible", c.Int(1));
  InvalidateSprite2(c.e, sp);
  sp.visible = c.Bool(2);
  InvalidateSprite2(c.e, sp);
  return 0;
}

int SVSpGetInfo(LuaCall& c) {
  c.Check("SVSpGetInfo", "n", "SVSpGetInfo(num)");
  Sprite& sp = SpriteArg(c, "SVSpGetInfo", c.Int(1));
  if (sp.tag.empty()) Raise("SVSpGetInfoがロードされていないスプライトの情報を得ようとしました。");
  c.Push(sp.image.CellWidth());
  c.Push(sp.image.surface.height);
  c.Push(std::max(sp.image.cellCount, 1));
  return 3;
}

int SVSp2GetInfo(LuaCall& c) {
  c.Check("SVSp2GetInfo", "n", "SVSp2GetInfo(num)");
  Sprite2& sp = Sprite2Arg(c, "SVSp2GetInfo", c.Int(1));
  if (sp.tag.empty()) Raise("SVSp2GetInfoがロードされていないスプライトの情報を得ようとしました。");
  c.Push(sp.image.CellWidth());
  c.Push(sp.image.surface.height);
  return 2;
}

int SVSpGetPos(LuaCall& c) {
  c.Check("SVSpGetPos", "n", "SVSpGetPos(num)");
  Sprite& sp = SpriteArg(c, "SVSpGetPos", c.Int(1));
  if (sp.tag.empty()) Raise("SVSpGetPosがロードされていないスプライトの情報を得ようとしました。");
  c.Push(sp.x);
  c.Push(sp.y);
  c.Push(sp.image.opacity < 0 ? 255 : sp.image.opacity);
  return 3;
}

int SVSp2GetPos(LuaCall& c) {
  c.Check("SVSp2GetPos", "n", "SVSp2GetPos(num)");
  Sprite2& sp = Sprite2Arg(c, "SVSp2GetPos", c.Int(1));
  if (sp.tag.empty()) Raise("SVSp2GetPosがロードされていないスプライトの情報を得ようとしました。");
  for (int32_t v : {sp.cx, sp.cy, sp.scaleX, sp.scaleY, sp.rotation, sp.image.opacity, sp.blend}) c.Push(v);
  return 7;
}

int SVSpCell(LuaCall& c) {
  c.Check("SVSpCell", "nn", "SVSpCell(num,cell)");
  Sprite& sp = SpriteArg(c, "SVSpCell", c.Int(1));
  if (sp.tag.empty()) return 0;
  sp.image.currentCell = std::clamp(c.Int(2), 0, std::max(sp.image.cellCount, 1) - 1);
  InvalidateSprite(c.e, sp);
  return 0;
}

// --- the script position: arguments of Lua commands ---

int SVPopInt(LuaCall& c) {
  c.Push(ReadNumberArgument(c.e));
  return 1;
}

int PopRef(LuaCall& c, char kind, const char* message) {
  if (SkipBlanks(c.e) != static_cast<unsigned char>(kind)) ReportError(c.e, "エラー", message);
  ++c.e.script.pos;
  c.Push(ReadNumberArgument(c.e));
  return 1;
}

int SVPopIntRef(LuaCall& c) { return PopRef(c, '%', "数値変数が来るべきところに数値変数が来ませんでした。"); }
int SVPopStrRef(LuaCall& c) { return PopRef(c, '$', "文字列変数が来るべきところに文字列変数が来ませんでした。"); }

int SVPopStr(LuaCall& c) {
  c.PushString(ReadString(c.e));
  return 1;
}

int SVPopID(LuaCall& c) {
  std::string word;
  SkipBlanks(c.e);
  ReadWord(c.e, word);
  c.PushString(word);
  return 1;
}

int SVPopLabel(LuaCall& c) {
  std::string label;
  ReadLabelName(c.e, label);
  c.PushString("*" + label);
  return 1;
}

int SVPopComma(LuaCall& c) {
  ExpectComma(c.e);
  return 0;
}

int SVCheckComma(LuaCall& c) {
  c.PushBool(SkipBlanks(c.e) == ',');
  return 1;
}

// --- control flow ---

std::string LabelArg(LuaCall& c, const char* name, const char* usage) {
  c.Check(name, "s", usage);
  std::string label = c.Str(1);
  return label.empty() ? label : label.substr(1);
}

int SVGoto(LuaCall& c) {
  JumpToLabel(c.e, LabelArg(c, "SVGoto", "SVGoto(labelstr)"));
  return 0;
}

int SVGosub(LuaCall& c) {
  std::string label = LabelArg(c, "SVGosub", "SVGosub(labelstr)");
  if (c.e.interp.depth >= kCallStackSize) ReportError(c.e, "スタックエラー", "SVGosubのせいでスタックが溢れました。");
  PushStack(c.e, c.e.script.pos);
  JumpToLabel(c.e, label);
  return 0;
}

int SVReturn(LuaCall& c) {
  InterpState& in = c.e.interp;
  if (in.depth == 0) ReportError(c.e, "スタックエラー", "returnとgosub文が正しく対応していません。");
  int32_t p = PopStack(c.e);
  if (in.depth == in.textGosubMark) in.inTextGosub = false;
  if (p < 0) {
    ReportError(c.e, "スタックエラー",
                "おそらくfor文中からreturnしています。for文中からreturnでループの外に出ないようにしてください。");
  }
  if (static_cast<size_t>(p) >= c.e.script.buffer.size()) {
    ReportError(c.e, "スタックエラー", "スタックに記録された戻り先がスクリプトの範囲外です。");
  }
  c.e.script.pos = p;
  return 0;
}

// --- variables ---

int32_t IntVarArg(LuaCall& c, const char* name) {
  int32_t n = c.Int(1);
  if (n < 0 || static_cast<size_t>(n) >= c.e.values.intVars.size()) {
    Raise(Format("%sの変数番号が有効な領域を超えています。%d", name, n));
  }
  return n;
}

int SVSetIntValue(LuaCall& c) {
  c.Check("SVSetIntValue", "nn", "SVSetIntValue(valuenum,value)");
  int32_t n = IntVarArg(c, "SVSetIntValue");
  StoreIntLimited(c.e, n, c.Int(2));
  return 0;
}

int SVGetIntValue(LuaCall& c) {
  c.Check("SVGetIntValue", "n", "SVGetIntValue(valuenum)");
  c.Push(c.e.values.intVars[static_cast<size_t>(IntVarArg(c, "SVGetIntValue"))]);
  return 1;
}

int SVSetStrValue(LuaCall& c) {
  c.Check("SVSetStrValue", "ns", "SVSetStrValue(valuenum,str)");
  int32_t n = c.Int(1);
  CheckStrVarNumber(c.e, n);
  c.e.values.strVars[static_cast<size_t>(n)] = c.Str(2);
  return 0;
}

int SVGetStrValue(LuaCall& c) {
  c.Check("SVGetStrValue", "n", "SVGetStrValue(valuenum)");
  int32_t n = c.Int(1);
  CheckStrVarNumber(c.e, n);
  c.PushString(c.e.values.strVars[static_cast<size_t>(n)]);
  return 1;
}

// --- files and chunks ---

int SLdofile(LuaCall& c) {
  c.Check("SL_dofile", "s", "SL_dofile(luafilename)");
  std::string name = c.Str(1), text, error;
  if (!ReadLuaFile(c.e, name, true, text)) return 0;
  if (!RunLuaChunk(c.e, ConvertLuaSource(text), name, error)) ReportLuaFailure(c.e, "", error);
  return 0;
}

int SLdostring(LuaCall& c) {
  c.Check("SL_dostring", "s", "SL_dostring(str)");
  std::string error;
  // The chunk's error becomes the caller's error, so Lua code sees it.
  if (!RunLuaChunk(c.e, ConvertLuaSource(c.Str(1)), "SL_dostring", error)) throw LuaRaise(Sjis(error));
  return 0;
}

int SLrequire(LuaCall& c) {
  c.Check("SL_require", "s", "SL_require(str)");
  std::string name = c.Str(1);
  for (char& ch : name) ch = static_cast<char>(LowerAscii(static_cast<unsigned char>(ch)));
  if (name.find('.') == std::string::npos) name += ".lua";
  if (!c.e.lua.requiredModules.insert(name).second) return 0;
  std::string text, error;
  if (!ReadLuaFile(c.e, name, true, text)) return 0;
  if (!RunLuaChunk(c.e, ConvertLuaSource(text), name, error)) ReportLuaFailure(c.e, "", error);
  return 0;
}

int SLbind(LuaCall& c) {
  c.Check("SL_bind", "sss", "SL_bind(dllname,dllfuncname,luafuncname)");
  std::string dll = c.Str(1), fn = c.Str(2), luaName = c.Str(3);
  void* p = BindEntry(c.e, dll, fn);
  if (!p) {
    Raise(Format("DLL関数のバインドに失敗しました。%s <- %s::%s", Sjis(luaName).c_str(), Sjis(dll).c_str(),
                 Sjis(fn).c_str()));
  }
  c.api.SL_register(luaName.c_str(), reinterpret_cast<LuaCFunction>(p));
  return 0;
}

bool FileLocation(Engine& e, const std::string& name, std::string& path, int32_t& offset, int32_t& size) {
  if (platform::IsRegularFile(e.Path(name))) {
    path = e.Path(name);
    offset = size = 0;
    return true;
  }
  std::string archive;
  if (SV2GetFile(e, name, archive, offset, size) || SVAGetFile(e, name, archive, offset, size)) {
    path = e.Path(archive);
    return true;
  }
  return false;
}

int SVGetFileInfo(LuaCall& c) {
  c.Check("SVGetFileInfo", "s", "SVGetFileInfo(filename)");
  std::string path;
  int32_t offset = 0, size = 0;
  if (!FileLocation(c.e, c.Str(1), path, offset, size)) return 0;
  c.PushString(path);
  c.Push(offset);
  c.Push(size);
  return 3;
}

// Runs one command line as if the script held it.
int SVExec(LuaCall& c) {
  c.Check("SVExec", "s", "SVExec(script) scriptには一命令だけ与えてください。");
  if (!RunCommandLine(c.e, c.Str(1))) Raise("SVExecに与える文字列が長すぎます。");
  return 0;
}

// --- window, input, time ---

int SVGetWindowSize(LuaCall& c) {
  c.Push(c.e.screenWidth);
  c.Push(c.e.screenHeight);
  return 2;
}

int SVSavePoint(LuaCall& c) {
  TakeSavePoint(c.e);
  return 0;
}

int SVTimer(LuaCall& c) {
  c.PushNumber(c.e.platform ? c.e.platform->NowMs() : 0);
  return 1;
}

int SVGetMouse(LuaCall& c) {
  const InputState& in = c.e.input;
  bool inside = c.e.platform && c.e.platform->HasFocus() && in.pointerX >= 0 && in.pointerY >= 0 &&
                in.pointerX <= c.e.screenWidth && in.pointerY <= c.e.screenHeight;
  c.Push(inside ? in.pointerX : -1);
  c.Push(inside ? in.pointerY : -1);
  return 2;
}

int SVGetClick(LuaCall& c) {
  InterpState& interp = c.e.interp;
  InputState& in = c.e.input;
  c.PushBool(interp.leftClickFlag);
  c.PushBool(interp.rightClickFlag);
  c.Push(in.wheelDelta);
  c.PushBool(in.leftDown);
  c.PushBool(in.rightDown);
  interp.leftClickFlag = interp.rightClickFlag = false;
  in.wheelDelta = 0;
  in.leftDown = in.rightDown = false;
  return 5;
}

int SVGetKey(LuaCall& c) {
  c.Check("SVGetKey", "s", "SVGetKey(keycodestr)");
  int key = KeyFromName(c.Str(1));
  c.PushBool(key != 0 && KeyHeld(c.e, key));
  return 1;
}

int SVDoEvents(LuaCall& c) {
  while (PumpMessageNoSleep(c.e)) {
  }
  c.PushBool(c.e.app.closeRequested);
  return 1;
}

int SVSleep(LuaCall& c) {
  c.Check("SVSleep", "n", "SVSleep(waitms)");
  if (c.e.platform) c.e.platform->SleepMs(static_cast<uint32_t>(std::max(c.Int(1), 0)));
  return 0;
}

void EndGame(Engine& e) {
  FinalizeLayerPlugins(e);
  e.app.endByScript = true;
  e.app.closeRequested = true;
}

int SVSystemCall(LuaCall& c) {
  c.Check("SVSystemCall", "s", "SVSystemCall(str)");
  if (!RunSystemCallName(c.e, c.Str(1))) Raise("システムコールの文字列が不正です。");
  return 0;
}

int SVEnd(LuaCall& c) {
  EndGame(c.e);
  return 0;
}

int SVClick(LuaCall& c) {
  WaitForClick(c.e, ClickWaitRequest{});
  if (c.e.app.resetRequested || c.e.interp.resetPending) {
    c.e.app.resetRequested = false;
    ResetGame(c.e);
  }
  return 0;
}

int SVMouseMode(LuaCall& c) {
  c.e.input.pointerVisible = c.Bool(1);
  return 0;
}

int SVOkBox(LuaCall& c) {
  c.Check("SVOkBox", "ss", "SVOkBox(text,title)");
  if (c.e.platform) {
    c.e.platform->ShowMessageBox(Sjis(c.Str(2)), Sjis(c.Str(1)), platform::MessageBoxButtons::Ok,
                                 platform::MessageBoxIcon::None);
  }
  return 0;
}

int SVYesNoBox(LuaCall& c) {
  c.Check("SVYesNoBox", "ss", "SVYesNoBox(text,title)");
  bool yes = c.e.platform && c.e.platform->ShowMessageBox(Sjis(c.Str(2)), Sjis(c.Str(1)),
                                                          platform::MessageBoxButtons::YesNo,
                                                          platform::MessageBoxIcon::Question) ==
                                 platform::MessageBoxAnswer::Yes;
  c.PushBool(yes);
  return 1;
}

int SVGetSkip(LuaCall& c) {
  c.Push(c.e.interp.skipMode ? 1 : c.e.input.autoMode ? 2 : 0);
  return 1;
}

// --- drawing and animation ---

int SVLuaAnimationInterval(LuaCall& c) {
  c.Check("SVLuaAnimationInterval", "n", "SVLuaAnimationInterval(intervalms)");
  c.e.lua.animationInterval = static_cast<uint32_t>(std::max(c.Int(1), 0));
  return 0;
}

int SVLuaAnimationMode(LuaCall& c) {
  c.Check("SVLuaAnimationMode", "b", "SVLuaAnimationMode(boolswitch)");
  c.e.lua.animationOn = c.Bool(1);
  c.e.lua.lastTick = 0;
  return 0;
}

int SVExecAnimation(LuaCall& c) {
  LuaAnimationTick(c.e, true);
  return 0;
}

void PresentWhole(Engine& e) {
  Rect all{0, 0, e.screenWidth, e.screenHeight};
  ComposeRect(e, all);
  CopySceneToDisplay(e, all);
  PresentDisplay(e);
  e.scene.dirty = Rect{};
}

int SVUpdate(LuaCall& c) {
  PresentWhole(c.e);
  return 0;
}

int SVInvalidate(LuaCall& c) {
  c.Check("SVInvalidate", "nnnn", "SVInvalidate(lx,uy,rx,dy)");
  MarkDirty(c.e, Rect{c.Int(1), c.Int(2), c.Int(3), c.Int(4)});
  return 0;
}

int SVLinear(LuaCall& c) {
  c.Check("SVLinear", "nnnnn", "y=L1(x0,y0,x1,y1,x)");
  double y = 0;
  if (!LuaLinear(c.Num(1), c.Num(2), c.Num(3), c.Num(4), c.Num(5), y)) {
    Raise("線形補間に失敗しました。不正な値を指定しています。");
  }
  c.PushNumber(y);
  return 1;
}

int SVDefSpline(LuaCall& c) {
  c.Check("SVDefSpline", "ntt", "SVDefSpline(num,xarray,yarray)");
  int32_t n = c.Int(1);
  if (n < 0 || n >= kSplineSlots) Raise("SVDefSplineの第一引数（スプライン関数番号）は0～255です。");
  double xs[kSplinePoints], ys[kSplinePoints];
  int count = 0;
  for (; count < kSplinePoints; ++count) {
    c.Push(count + 1);
    c.api.SL_gettable(c.L, 2);
    c.Push(count + 1);
    c.api.SL_gettable(c.L, 3);
    bool numbers = c.api.SL_isnumber(c.L, -2) && c.api.SL_isnumber(c.L, -1);
    if (numbers) {
      xs[count] = c.Num(-2);
      ys[count] = c.Num(-1);
    }
    c.api.SL_pop(c.L, 2);
    if (!numbers) break;
  }
  if (count < 2) Raise("SVDefSpline:スプライン補間には２点以上の点を与えてください。");
  DefineSpline(c.e.lua.splines[static_cast<size_t>(n)], xs, ys, count);
  return 0;
}

int SVSpline(LuaCall& c) {
  c.Check("SVSpline", "nn", "y=SVSpline(num,x)");
  int32_t n = c.Int(1);
  if (n < 0 || n >= kSplineSlots) Raise("SVDefSplineの第一引数（スプライン関数番号）は0～255です。");
  double y = 0;
  const char* error = nullptr;
  if (!EvaluateSpline(c.e.lua.splines[static_cast<size_t>(n)], c.Num(2), y, error)) Raise(error);
  c.PushNumber(y);
  return 1;
}

// --- Ogg streams through the channel player library ---

ChannelPlayer& Player(LuaCall& c) {
  ChannelPlayer& p = c.e.sound.player;
  if (!p.present) Raise("svogg2.dllがロードされていません。");
  return p;
}

int SVOggLoad(LuaCall& c) {
  c.Check("SVOggLoad", "ns", "SVOggLoad(num,filename)");
  ChannelPlayer& p = Player(c);
  std::string name = c.Str(2), path;
  int32_t offset = 0, size = 0;
  if (!FileLocation(c.e, name, path, offset, size)) {
    Raise("SVOggLoadのエラー：ファイル\"" + Sjis(name) + "\"が見つかりません。");
  }
  if (p.open) p.open(c.Int(1), path.c_str(), offset, size);
  return 0;
}

int SVOggPlay(LuaCall& c) {
  c.Check("SVOggPlay", "nb", "SVOggPlay(num,isloop)");
  ChannelPlayer& p = Player(c);
  if (p.play) p.play(c.Int(1), c.Bool(2) ? 1 : 0);
  return 0;
}

int SVOggPlay2(LuaCall& c) {
  c.Check("SVOggPlay2", "nn");
  ChannelPlayer& p = Player(c);
  if (p.play2) p.play2(c.Int(1), static_cast<int>(c.Num(2)));
  return 0;
}

int SVOggClose(LuaCall& c) {
  c.Check("SVOggClose", "n", "SVOggClose(num)");
  ChannelPlayer& p = Player(c);
  if (p.close) p.close(c.Int(1));
  return 0;
}

int SVOggVolume(LuaCall& c) {
  c.Check("SVOggVolume", "nn");
  ChannelPlayer& p = Player(c);
  if (p.volume) p.volume(c.Int(1), c.Int(2));
  return 0;
}

int SVOggFade(LuaCall& c) {
  c.Check("SVOggFade", "nnnnb", "SVOggFade(num,startvol,endvol,time,closeflag)");
  ChannelPlayer& p = Player(c);
  if (p.fade) p.fade(c.Int(1), c.Int(2), c.Int(3), c.Int(4), c.Bool(5) ? 1 : 0);
  return 0;
}

int SVOggIsPlaying(LuaCall& c) {
  c.Check("SVOggIsPlaying", "n", "SVOggIsPlaying(num)");
  ChannelPlayer& p = Player(c);
  c.PushBool(p.isPlaying && p.isPlaying(c.Int(1)) != 0);
  return 1;
}

#define SORV_TEXTURE_FUNCTIONS(X)                                                                      \
  X(SVDLoad) X(SVDBlt) X(SVDClear) X(SVDFill) X(SVDSp) X(SVDSpAdd) X(SVDSp2) X(SVDSp2Add) X(SVDSp3) \
  X(SVDSp3Add) X(SVDPresent) X(SVDPresentRect) X(SVDCopyToBg) X(SVDOffMode) X(SVDTransition)      \
  X(SVDTransitionF) X(SVDDLL) X(SVDCall) X(SVDSetSprite) X(SVDDelete) X(SVDGetSize) X(SVDGetScreen) \
  X(SVDDirectX)

struct Registration {
  const char* name;
  LuaCFunction fn;
};

#define SORV_REG(n) {#n, Entry<n>}
#define SORV_TEXTURE_REG(n) {#n, Entry<n>},

const Registration kFunctions[] = {
    SORV_REG(SVGetWindowSize), SORV_REG(SVSavePoint), {"SL_dofile", Entry<SLdofile>},
    {"SL_dostring", Entry<SLdostring>}, {"SL_bind", Entry<SLbind>}, SORV_REG(SVExec), SORV_REG(SVGetFileInfo),
    SORV_REG(SVTimer), SORV_REG(SVPopInt), SORV_REG(SVPopIntRef), SORV_REG(SVPopStr), SORV_REG(SVPopStrRef),
    SORV_REG(SVPopID), SORV_REG(SVPopLabel), SORV_REG(SVPopComma), SORV_REG(SVCheckComma), SORV_REG(SVGoto),
    SORV_REG(SVGosub), SORV_REG(SVReturn), SORV_REG(SVSetIntValue), SORV_REG(SVSetStrValue),
    SORV_REG(SVGetIntValue), SORV_REG(SVGetStrValue), SORV_REG(SVGetMouse), SORV_REG(SVGetClick),
    SORV_REG(SVGetKey), SORV_REG(SVDoEvents), SORV_REG(SVSleep), SORV_REG(SVSystemCall), SORV_REG(SVSpLoad),
    SORV_REG(SVSpMove), SORV_REG(SVSpClear), SORV_REG(SVSpVisible), SORV_REG(SVSp2Load), SORV_REG(SVSp2Move),
    SORV_REG(SVSp2Clear), SORV_REG(SVSp2Visible), SORV_REG(SVSpGetInfo), SORV_REG(SVSp2GetInfo),
    SORV_REG(SVSpGetPos), SORV_REG(SVSp2GetPos), SORV_REG(SVSpCell), SORV_REG(SVOggLoad), SORV_REG(SVOggPlay),
    SORV_REG(SVOggPlay2), SORV_REG(SVOggClose), SORV_REG(SVOggVolume), SORV_REG(SVOggFade),
    SORV_REG(SVOggIsPlaying), SORV_REG(SVOkBox), SORV_REG(SVYesNoBox), SORV_REG(SVLuaAnimationInterval),
    SORV_REG(SVLuaAnimationMode), SORV_REG(SVExecAnimation), SORV_REG(SVUpdate), SORV_REG(SVGetSkip),
    SORV_REG(SVInvalidate), SORV_REG(SVLinear), SORV_REG(SVDefSpline), SORV_REG(SVSpline),
    {"SL_require", Entry<SLrequire>}, SORV_REG(SVEnd), SORV_REG(SVClick), SORV_REG(SVMouseMode),
    SORV_TEXTURE_FUNCTIONS(SORV_TEXTURE_REG)};

}  // namespace

void RegisterLuaFunctions(Engine& e) {
  for (const Registration& r : kFunctions) e.lua.api.SL_register(r.name, r.fn);
}

void PresentLuaFrame(Engine& e) { PresentWhole(e); }

bool RunSystemCallName(Engine& e, const std::string& what) {
  if (what == "close") {
    RequestClose(e);
  } else if (what == "end") {
    EndGame(e);
  } else if (what == "reset") {
    ResetGame(e);
  } else if (what == "full" || what == "window") {
    e.app.fullscreen = what == "full";
    if (e.platform) e.platform->SetFullscreen(e.app.fullscreen);
  } else if (what == "automode") {
    StartAutoMode(e);
  } else if (what == "skip") {
    StartSkipMode(e);
  } else if (what == "skipoff") {
    EndSkipAndAuto(e);
  } else {
    return false;
  }
  return true;
}

}  // namespace sorv

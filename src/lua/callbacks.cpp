// The callback table (luacall), the commands routed to Lua (luasub, luastr),
// the animation timer and the game reset's share of the bridge.
#include "lua/callbacks.h"

#include <cstring>

#include "archive/archive.h"
#include "graphics/scene.h"
#include "interp/error.h"
#include "lua/bridge.h"
#include "lua/commands.h"
#include "lua/lua_call.h"
#include "platform/fs.h"
#include "script/reader.h"
#include "shell/engine.h"

namespace sorv {

namespace {

struct EventInfo {
  LuaEvent event;
  const char* name;
};

const EventInfo kEvents[] = {
    {LuaEvent::Tag, "tag"},         {LuaEvent::Text0, "text0"},         {LuaEvent::Text, "text"},
    {LuaEvent::Animation, "animation"}, {LuaEvent::Close, "close"},     {LuaEvent::End, "end"},
    {LuaEvent::Transition, "transition"}, {LuaEvent::SavePoint, "savepoint"}, {LuaEvent::Save, "save"},
    {LuaEvent::Load, "load"},       {LuaEvent::Reset, "reset"},
};

// The Lua function names, in LuaEvent order (kept beside kEvents).
const char* const kCallbackNames[] = {"SVCALL_tag",  "SVCALL_text0",      "SVCALL_text",      "SVCALL_animation",
                                      "SVCALL_close", "SVCALL_end",       "SVCALL_transition", "SVCALL_savepoint",
                                      "SVCALL_save",  "SVCALL_load",      "SVCALL_reset"};

const char* CallbackName(LuaEvent ev) { return kCallbackNames[static_cast<size_t>(ev)]; }

// A plain call, or a call with one argument pushed by `push`. The stack
// height is the same afterwards; `result` (when given) receives whether the
// function's one result was the boolean true.
template <typename Push>
bool CallCallback(Engine& e, LuaEvent ev, int args, Push&& push, bool* result, std::string& error) {
  LuaState& lua = e.lua;
  const LuaApi& api = lua.api;
  int top = api.SL_gettop(lua.L);
  const char* name = CallbackName(ev);
  int results = result ? 1 : 0;
  bool ok = CallIntoLua(e, top, error, [&] {
    if (args == 0) return api.SL_call(name, results);
    api.SL_getglobal(lua.L, name);
    push();
    return api.SL_paramcall(args, results);
  });
  if (ok && result) *result = api.SL_isboolean(lua.L, -1) && api.SL_toboolean(lua.L, -1);
  api.SL_settop(lua.L, top);
  return ok;
}

bool CallPlain(Engine& e, LuaEvent ev, bool* result, std::string& error) {
  return CallCallback(e, ev, 0, [] {}, result, error);
}

bool CallWithString(Engine& e, LuaEvent ev, std::string_view text, std::string& error) {
  std::string arg(text);
  return CallCallback(e, ev, 1, [&] { e.lua.api.SL_pushstring(e.lua.L, arg.c_str()); }, nullptr, error);
}

// Lua file names are matched as the archives store them.
std::string LowerName(std::string name) {
  for (char& c : name) c = static_cast<char>(LowerAscii(static_cast<unsigned char>(c)));
  return name;
}

bool ReadSva(Engine& e, const std::string& name, std::string& text) {
  auto hit = FindSvaEntry(e, name);
  if (!hit) return false;
  std::vector<uint8_t> bytes = ReadSvaEntry(e, *hit);
  text.assign(bytes.begin(), bytes.end());
  return true;
}

bool ReadSv2(Engine& e, const std::string& name, std::string& text) {
  auto hit = FindSv2Entry(e, name);
  if (!hit) return false;
  std::vector<uint8_t> bytes = ReadArchiveRange(e, hit->archive, hit->offset, hit->size);
  text.assign(bytes.begin(), bytes.end());
  return true;
}

// Adds a registration; false when this pass of the define block already made it.
bool Register(Engine& e, std::map<std::string, std::string>& table, const std::string& key,
              const std::string& luaName) {
  auto pass = e.lua.registeredInPass.find(key);
  if (pass != e.lua.registeredInPass.end() && pass->second == e.app.passes) return false;
  table[key] = luaName;
  e.lua.registeredInPass[key] = e.app.passes;
  return true;
}

}  // namespace

bool LuaHasCallback(const Engine& e, LuaEvent ev) {
  return e.app.luaPresent && e.lua.hasCallback[static_cast<size_t>(ev)];
}

bool LuaCallback(Engine& e, LuaEvent ev) {
  if (!LuaHasCallback(e, ev)) return true;
  e.lua.lastError.clear();
  return CallPlain(e, ev, nullptr, e.lua.lastError);
}

bool LuaCallback(Engine& e, LuaEvent ev, int arg) {
  if (!LuaHasCallback(e, ev)) return true;
  e.lua.lastError.clear();
  return CallCallback(e, ev, 1, [&] { e.lua.api.SL_pushinteger(e.lua.L, arg); }, nullptr, e.lua.lastError);
}

std::string LuaCallbackError(const Engine& e) { return Sjis(e.lua.lastError); }

bool ReadLuaFile(Engine& e, const std::string& name, bool svaFirst, std::string& text) {
  // Lua files are small; a bigger one is taken for a damaged or wrong file.
  constexpr size_t kMaxLuaFileBytes = 64u << 20;
  if (auto loose = platform::ReadWholeFile(e.Path(name), kMaxLuaFileBytes)) {
    text.assign(loose->begin(), loose->end());
    return true;
  }
  std::string key = LowerName(name);
  if (svaFirst) return ReadSva(e, key, text) || ReadSv2(e, key, text);
  return ReadSv2(e, key, text) || ReadSva(e, key, text);
}

// --- commands ---

void Cmd_luasub(Engine& e) {
  if (!e.app.luaPresent) ReportError(e, "エラー", "svlua.dllがありません。");
  std::string word;
  SkipBlanks(e);
  ReadWord(e, word);
  if (!word.empty() && word[0] == '_') ReportError(e, "エラー", "luasubサブルーチンの一文字目に_は使えません。");
  if (!Register(e, e.lua.userCommands, word, "SVCOM_" + word)) {
    ReportError(e, "エラー", "luasubの二重登録です。" + Sjis(word));
  }
  // A Lua command may take the name of a built-in whose place the statement
  // loop already remembers.
  e.interp.commandCache.clear();
}

void Cmd_luacall(Engine& e) {
  if (!e.app.luaPresent) ReportError(e, "エラー", "svlua.dllがありません。");
  std::string word;
  SkipBlanks(e);
  ReadWord(e, word);
  const EventInfo* info = nullptr;
  for (const EventInfo& ev : kEvents) {
    if (word == ev.name) info = &ev;
  }
  if (!info) ReportError(e, "エラー", "定義されていないコールバック関数を登録しようとしました。");
  if (!Register(e, e.lua.callbacks, ":" + word, CallbackName(info->event))) {
    ReportError(e, "エラー", "luacallの二重登録です。" + Sjis(word));
  }
  e.lua.hasCallback[static_cast<size_t>(info->event)] = true;
  if (info->event == LuaEvent::Tag) e.interp.tagMode = true;
  if (info->event == LuaEvent::Tag || word.compare(0, 4, "text") == 0) e.interp.luaTextHook = true;
}

void Cmd_luastr(Engine& e) {
  std::string text = ReadString(e);
  if (!e.app.luaPresent) ReportError(e, "エラー", "svlua.dllがありません。");
  LuaState& lua = e.lua;
  std::string error;
  if (!CallIntoLua(e, lua.api.SL_gettop(lua.L), error, [&] { return lua.api.SL_dostring(text.c_str()); })) {
    ReportLuaFailure(e, "luastrが呼び出したLuaスクリプト内でエラーが発生しました。", error);
  }
}

bool IsLuaCommand(const Engine& e, const std::string& word) {
  return e.app.luaPresent && !e.lua.userCommands.empty() && e.lua.userCommands.count(word) != 0;
}

void RunLuaCommand(Engine& e, const std::string& word) {
  LuaState& lua = e.lua;
  std::string name = "SVCOM_" + word;
  if (word == "main" && e.script.fallbackMode) lua.luaMain = true;
  int top = lua.api.SL_gettop(lua.L);
  std::string error;
  bool ok = CallIntoLua(e, top, error, [&] { return lua.api.SL_call(name.c_str(), 0); });
  lua.api.SL_settop(lua.L, top);
  if (!ok) ReportLuaFailure(e, "", name + ": " + error);
}

// --- events ---

void LuaGameReset(Engine& e) {
  if (!e.app.luaPresent) return;
  LuaState& lua = e.lua;
  if (!lua.systemLuaLoaded) {
    lua.systemLuaLoaded = true;
    std::string text, error;
    if (ReadLuaFile(e, "system.lua", true, text) && !RunLuaChunk(e, ConvertLuaSource(text), "system.lua", error)) {
      ReportLuaFailure(e, "", error);
    }
  }
  if (LuaHasCallback(e, LuaEvent::Reset)) {
    std::string error;
    if (!CallPlain(e, LuaEvent::Reset, nullptr, error)) {
      ReportLuaFailure(e, "resetのコールバック関数中でエラーが発生しました。", error);
    }
  }
}

void LuaAnimationTick(Engine& e, bool force) {
  if (!e.app.luaPresent || !e.platform) return;
  LuaState& lua = e.lua;
  if (lua.inAnimation) return;  // the callback waited or asked for a tick itself
  if (!force) {
    if (!lua.animationOn) return;
    uint32_t now = e.platform->NowMs();
    if (now - lua.lastTick < lua.animationInterval && now >= lua.lastTick) return;
    lua.lastTick = now;
  }
  if (!LuaHasCallback(e, LuaEvent::Animation)) {
    ReportError(e, "エラー", "luacall animationを実行していません。");
  }
  bool redraw = false;
  std::string error;
  lua.inAnimation = true;
  bool ok = false;
  try {
    ok = CallPlain(e, LuaEvent::Animation, &redraw, error);
  } catch (...) {
    lua.inAnimation = false;
    throw;
  }
  lua.inAnimation = false;
  if (!ok) {
    ReportLuaFailure(e, "Luaアニメーション割り込みでエラーが発生しました。", error);
    return;
  }
  if (redraw) PresentLuaFrame(e);
}

bool LuaCloseHandled(Engine& e, bool& allow) {
  if (!LuaHasCallback(e, LuaEvent::Close)) return false;
  std::string error;
  allow = false;
  if (!CallPlain(e, LuaEvent::Close, &allow, error)) {
    ReportLuaFailure(e, "ウィンドウを閉じるときのコールバック関数でエラーが出ました。", error);
  }
  return true;
}

void LuaEndCallback(Engine& e) {
  if (!LuaHasCallback(e, LuaEvent::End)) return;
  std::string error;
  // The game is closing: the callback must not be taken for a runaway loop.
  bool closing = e.app.closeRequested;
  e.app.closeRequested = false;
  bool ok = CallPlain(e, LuaEvent::End, nullptr, error);
  e.app.closeRequested = closing;
  if (!ok) ReportLuaFailure(e, "終了時のコールバック関数がエラーを返しています。", error);
}

void LuaTagHook(Engine& e, std::string_view tag) {
  std::string error;
  if (!CallWithString(e, LuaEvent::Tag, tag, error)) ReportLuaFailure(e, "タグ処理コールバックでエラーになりました。", error);
}

void LuaText0Hook(Engine& e, std::string_view line) {
  std::string error;
  if (!CallWithString(e, LuaEvent::Text0, line, error)) {
    ReportLuaFailure(e, "text0のコールバックでエラーが発生しました。", error);
  }
}

void LuaTextHook(Engine& e, std::string_view chunk) {
  std::string error;
  if (!CallWithString(e, LuaEvent::Text, chunk, error)) {
    ReportLuaFailure(e, "textのコールバックでエラーが発生しました。", error);
  }
}

}  // namespace sorv

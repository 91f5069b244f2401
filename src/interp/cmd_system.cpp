// Small system commands: the window caption, message boxes, the window size.
#include "interp/error.h"
#include "interp/shell_commands.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "values/values.h"

namespace sorv {
namespace {

using platform::MessageBoxAnswer;
using platform::MessageBoxButtons;
using platform::MessageBoxIcon;

// Reads "text, title" and shows them; returns the player's answer.
MessageBoxAnswer AskWithBox(Engine& e, MessageBoxButtons buttons, MessageBoxIcon icon) {
  std::string text, title;
  ReadStringArgument(e, text);
  ExpectComma(e);
  ReadStringArgument(e, title);
  return e.platform->ShowMessageBox(Sjis(title), Sjis(text), buttons, icon);
}

}  // namespace

void Cmd_caption(Engine& e) {
  std::string title;
  ReadStringArgument(e, title);
  e.platform->SetTitle(Sjis(title));
}

void Cmd_mesbox(Engine& e) { AskWithBox(e, MessageBoxButtons::Ok, MessageBoxIcon::Information); }

void Cmd_yesnobox(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "yesnoboxの第一引数は数字変数です。");
  ExpectComma(e);
  MessageBoxAnswer a = AskWithBox(e, MessageBoxButtons::YesNo, MessageBoxIcon::Question);
  StoreIntLimited(e, var, a == MessageBoxAnswer::Yes ? 1 : 0);
}

void Cmd_okcancelbox(Engine& e) {
  int32_t var = ReadIntVarTarget(e, "okcancelboxの第一引数は数字変数です。");
  ExpectComma(e);
  MessageBoxAnswer a = AskWithBox(e, MessageBoxButtons::OkCancel, MessageBoxIcon::Question);
  StoreIntLimited(e, var, a == MessageBoxAnswer::Ok ? 1 : 0);
}

// The window's client area is always the game's screen size: scaling to the
// real window happens when a frame is presented.
void Cmd_getwindowsize(Engine& e) {
  int32_t w = ReadIntVarTarget(e, "getwindowsizeの第一引数は数字変数です。");
  ExpectComma(e);
  int32_t h = ReadIntVarTarget(e, "getwindowsizeの第二引数は数字変数です。");
  e.values.intVars[static_cast<size_t>(w)] = e.screenWidth;
  e.values.intVars[static_cast<size_t>(h)] = e.screenHeight;
  ApplyIntLimits(e);
}

void Cmd_minimizewindow(Engine& e) { e.platform->Minimize(); }

}  // namespace sorv

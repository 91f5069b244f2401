// The *define block's settings. Each command stores what it sets in the
// settings record of the code that reads it; RestoreDefineSettings puts every
// record back at the start of a restart pass.
#include "interp/define_commands.h"
#include "interp/error.h"
#include "interp/game_paths.h"
#include "interp/shell_commands.h"
#include "plugin/plugin.h"
#include "script/reader.h"
#include "shell/engine.h"
#include "shell/menu.h"

namespace sorv {
namespace {

int32_t NextColour(Engine& e) {
  ExpectComma(e);
  return ReadColourArgument(e);
}

// Integers wrap around, as everywhere in the engine.
int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// Appends Shift-JIS text to a bounded list, dropping whole characters that
// no longer fit.
void AppendBounded(std::string& list, const std::string& add, size_t limit) {
  for (size_t i = 0; i < add.size();) {
    size_t n = IsLeadByte(static_cast<unsigned char>(add[i])) && i + 1 < add.size() ? 2 : 1;
    if (list.size() + n > limit) return;
    list.append(add, i, n);
    i += n;
  }
}

void ReadKinsoku(Engine& e, bool replace) {
  std::string start = ReadString(e);
  std::string end = NextString(e);
  TextSettings& t = e.textSettings;
  if (replace) {
    t.lineStartForbidden.clear();
    t.lineEndForbidden.clear();
  }
  AppendBounded(t.lineStartForbidden, start, kMaxKinsokuBytes);
  AppendBounded(t.lineEndForbidden, end, kMaxKinsokuBytes);
}

int32_t ReadVolume(Engine& e) {
  int32_t v = ReadNumberArgument(e);
  if (v < 0 || v > 100) ReportError(e, "エラー", "ボリュームは０～１００です。");
  return v;
}

struct RightClickKeyword {
  const char* word;
  int code;
};

constexpr RightClickKeyword kRightClickKeywords[] = {
    {"lookback", 0}, {"windowerase", 1}, {"load", 2},     {"save", 3},  {"reset", 4},
    {"skip", 5},     {"lookback2", 8},   {"resetdlg", 9}, {"end", 10},
};
constexpr size_t kMaxRightClickItems = 50;

constexpr size_t kMaxDirectoryBytes = 255;
constexpr size_t kMaxLibraryNameBytes = 255;
constexpr size_t kMaxLibraryArgumentBytes = 8190;

// Binds one entry of a layer plug-in; a missing entry stays null.
template <typename Fn>
Fn BindLayerEntry(Engine& e, const std::string& library, const char* entry) {
  return reinterpret_cast<Fn>(BindPluginEntry(e, library, entry));
}

}  // namespace

void RestoreDefineSettings(Engine& e) {
  e.textSettings = TextSettings{};
  e.graphicsSettings = GraphicsSettings{};
  e.soundSettings = SoundSettings{};
  e.persistSettings = PersistSettings{};
  e.shellSettings = ShellSettings{};
  // A new pass of the define block fills the layer slots afresh: the layers
  // the last pass set up are finished first, as at the end of a game.
  FinalizeLayerPlugins(e);
  e.layers = LayerSettings{};
  RestoreMenu(e);
}

void Cmd_autosaveoff(Engine& e) { e.interp.autoSaveOff = true; }
void Cmd_english(Engine& e) { e.interp.english = true; }
void Cmd_zenkakko(Engine& e) { e.interp.bracketNames = true; }
void Cmd_pagetag(Engine& e) { e.interp.pageTag = true; }
void Cmd_linepage(Engine& e) { e.interp.linePage = true; }

// linepage2 n: the page ends n lines before the window's last line. The n
// is the same setting `clickstr` writes.
void Cmd_linepage2(Engine& e) {
  e.interp.linePage2 = true;
  e.interp.linePage2Free = ReadNumberArgument(e);
  e.textSettings.pageLines = e.interp.linePage2Free;
}

void Cmd_savenumber(Engine& e) { e.persistSettings.saveNumber = ReadNumberArgument(e); }
void Cmd_mode_ext(Engine& e) { e.shellSettings.modeExt = true; }
void Cmd_mode_wave_demo(Engine& e) { e.soundSettings.modeWaveDemo = true; }
void Cmd_nodv(Engine& e) { e.soundSettings.noDv = true; }
void Cmd_errorsave(Engine& e) { e.persistSettings.errorSave = true; }
void Cmd_maxkaisoupage(Engine& e) { e.textSettings.maxPages = ReadNumberArgument(e); }
void Cmd_clickskippage(Engine& e) { e.textSettings.clickSkipPage = true; }

void Cmd_englishdialog(Engine& e) {
  ShellSettings& s = e.shellSettings;
  s.quitQuestion = "quit?";
  s.quitCaption = "quit";
  s.resetQuestion = "return to main menu?";
  s.resetCaption = "reset";
}

void Cmd_dllfont(Engine& e) {
  TextSettings& t = e.textSettings;
  t.fontFile = ReadString(e);
  t.fontFileMode = !t.fontFile.empty();
}

void Cmd_addkinsoku(Engine& e) { ReadKinsoku(e, false); }
void Cmd_setkinsoku(Engine& e) { ReadKinsoku(e, true); }
void Cmd_windowchip(Engine& e) { e.textSettings.windowChips.push_back(ReadNumberArgument(e)); }

void Cmd_lookbacksp(Engine& e) {
  e.textSettings.lookbackUpSprite = ReadNumberArgument(e);
  e.textSettings.lookbackDownSprite = NextNumber(e);
}

// setlayer n, interval, "library/parameters": binds the layer plug-in's
// entries now; `game` calls Initialize.
void Cmd_setlayer(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  int32_t interval = NextNumber(e);
  std::string arg = NextString(e);
  if (n < 0 || n >= kLayerSlots) ReportError(e, "エラー", "レイヤ番号が不正です");
  size_t slash = arg.find('/');
  std::string library = arg.substr(0, slash);
  if (library.size() > kMaxLibraryNameBytes || arg.size() > kMaxLibraryArgumentBytes) {
    ReportError(e, "エラー", "DLL名が長すぎます");
  }
  std::string relative;
  if (!NormaliseGameName(library, relative)) GameFileOrError(e, library, "setlayer");
  LayerSlot slot;
  slot.used = true;
  slot.interval = interval;
  slot.parameters = slash == std::string::npos ? std::string() : arg.substr(slash + 1);
  slot.initialize = BindLayerEntry<LayerInitialize>(e, library, "Initialize");
  slot.finalize = BindLayerEntry<LayerFinalize>(e, library, "Finalize");
  slot.draw = BindLayerEntry<LayerDraw>(e, library, "Draw");
  slot.timer = BindLayerEntry<LayerTimer>(e, library, "Timer");
  slot.message = BindLayerEntry<LayerMessage>(e, library, "Message");
  e.layers.slots[static_cast<size_t>(n)] = std::move(slot);
}

void Cmd_defvoicevol(Engine& e) { e.soundSettings.defVoiceVol = ReadVolume(e); }
void Cmd_defsevol(Engine& e) { e.soundSettings.defSeVol = ReadVolume(e); }
void Cmd_defmp3vol(Engine& e) { e.soundSettings.defMp3Vol = ReadVolume(e); }
void Cmd_defbgmvol(Engine& e) { e.soundSettings.defBgmVol = ReadVolume(e); }

// savedir s: saves and logs go to s, which must lie inside the game
// directory like every file a script names.
void Cmd_savedir(Engine& e) {
  std::string dir = ReadString(e);
  if (dir.size() > kMaxDirectoryBytes) ReportError(e, "エラー", "ディレクトリ名が長すぎます。");
  GameFileOrError(e, dir, "savedir");
  e.persistSettings.saveDir = dir;
}

void Cmd_windowback(Engine& e) { e.graphicsSettings.windowBack = true; }
void Cmd_kidokuskip(Engine& e) { e.persistSettings.kidokuSkip = true; }
void Cmd_dsound(Engine& e) { e.soundSettings.openDeviceEarly = true; }
void Cmd_noteraseman(Engine& e) { e.graphicsSettings.notEraseMan = true; }
void Cmd_mode_saya(Engine& e) { e.graphicsSettings.modeSaya = true; }

void Cmd_defaultspeed(Engine& e) {
  int32_t* s = e.textSettings.userSpeeds;
  s[0] = ReadNumberArgument(e);
  s[1] = NextNumber(e);
  s[2] = NextNumber(e);
}

void Cmd_settextspeed(Engine& e) {
  e.textSettings.speedDialogMin = ReadNumberArgument(e);
  e.textSettings.speedDialogMax = NextNumber(e);
}

void Cmd_lookbackbutton(Engine& e) {
  TextSettings& t = e.textSettings;
  t.lookbackButtons[0] = ReadString(e);
  for (size_t i = 1; i < t.lookbackButtons.size(); ++i) t.lookbackButtons[i] = NextString(e);
  t.lookbackButtonsSet = true;
}

void Cmd_lookbackcolor(Engine& e) { e.textSettings.backlogColour = ReadColourArgument(e); }

void Cmd_savename(Engine& e) {
  ShellSettings& s = e.shellSettings;
  s.saveTitle = ReadString(e);
  s.loadTitle = NextString(e);
  s.slotPrefix = NextString(e);
}

// clickstr characters, n: n is the page-end line count `linepage2` also sets.
void Cmd_clickstr(Engine& e) {
  e.textSettings.clickChars = ReadString(e);
  e.textSettings.pageLines = NextNumber(e);
  e.interp.linePage2Free = e.textSettings.pageLines;
}

void Cmd_filelog(Engine& e) { e.persistSettings.fileLog = true; }
void Cmd_labellog(Engine& e) { e.persistSettings.labelLog = true; }

void Cmd_soundpressplgin(Engine& e) {
  std::string plugin = ReadString(e);
  if (e.soundSettings.plugins.size() >= kMaxSoundPlugins) {
    ReportError(e, "エラー", "Sound press plug-in設定が多すぎます。");
  }
  e.soundSettings.plugins.push_back(std::move(plugin));
}

void Cmd_versionstr(Engine& e) {
  e.shellSettings.versionText[0] = Sjis(ReadString(e));
  e.shellSettings.versionText[1] = Sjis(NextString(e));
}

void Cmd_effectblank(Engine& e) { e.graphicsSettings.effectBlank = ReadNumberArgument(e); }

void Cmd_bgalia(Engine& e) {
  GraphicsSettings& g = e.graphicsSettings;
  g.bgaliaX = ReadNumberArgument(e);
  g.bgaliaY = NextNumber(e);
  g.bgaliaW = NextNumber(e);
  g.bgaliaH = NextNumber(e);
}

// effect n, type[, duration[, image]]: type 1 is instant and reads nothing
// more. Rule effects (15, 18) and plug-in effects (99) may name an image or
// library; a missing one is reported when the effect runs.
void Cmd_effect(Engine& e) {
  int32_t n = ReadNumberArgument(e);
  if (n < 2 || n > 255) ReportError(e, "パラメータエラー", "effect命令の第一パラメータは2～255です。");
  EffectEntry entry;
  entry.type = NextNumber(e);
  if (entry.type != 1 && SkipBlanks(e) == ',') {
    entry.duration = NextNumber(e);
    bool takesImage = entry.type == 15 || entry.type == 18 || entry.type == 99;
    if (takesImage && SkipBlanks(e) == ',') entry.image = NextString(e);
  }
  e.graphicsSettings.effects[static_cast<size_t>(n)] = std::move(entry);
}

void Cmd_defaultfont(Engine& e) { e.textSettings.defaultFace = ReadString(e); }

void Cmd_selectcolor(Engine& e) {
  e.shellSettings.choiceHoverColour = ReadColourArgument(e);
  e.shellSettings.choiceNormalColour = NextColour(e);
}

void Cmd_menuselectcolor(Engine& e) {
  ShellSettings& s = e.shellSettings;
  s.menuHoverColour = ReadColourArgument(e);
  s.menuNormalColour = NextColour(e);
  s.menuDisabledColour = NextColour(e);
}

void Cmd_lookbackvoice(Engine& e) { e.textSettings.lookbackVoice = ReadString(e); }

void Cmd_clickvoice(Engine& e) {
  e.textSettings.clickSound = ReadString(e);
  e.textSettings.pageSound = NextString(e);
}

void Cmd_selectvoice(Engine& e) {
  auto& s = e.shellSettings.choiceSounds;
  s[0] = ReadString(e);
  for (size_t i = 1; i < s.size(); ++i) s[i] = NextString(e);
}

void Cmd_menuselectvoice(Engine& e) {
  auto& s = e.shellSettings.menuSounds;
  s[0] = ReadString(e);
  for (size_t i = 1; i < s.size(); ++i) s[i] = NextString(e);
}

void Cmd_effectcut(Engine& e) { e.graphicsSettings.effectCut = true; }

void Cmd_humanz(Engine& e) {
  int32_t z = ReadNumberArgument(e);
  if (z < 0 || z > 999) ReportError(e, "エラー", "humanz指定が範囲外です。");
  e.graphicsSettings.humanz = z;
}

void Cmd_rlookback(Engine& e) { e.shellSettings.rightClickMode = kRightClickBacklog; }
void Cmd_roff(Engine& e) { e.shellSettings.rightClickMode = kRightClickNothing; }

// rmenu text, keyword, text, keyword, …: the right-click menu's items, read
// to the end of the statement.
void Cmd_rmenu(Engine& e) {
  ShellSettings& s = e.shellSettings;
  s.rightClickMode = kRightClickMenu;
  s.rightClickItems.clear();
  for (;;) {
    RightClickItem item;
    ReadStringArgument(e, item.text);
    ExpectComma(e);
    std::string keyword;
    ReadWord(e, keyword);
    item.code = -1;
    for (const RightClickKeyword& k : kRightClickKeywords) {
      if (keyword == k.word) item.code = k.code;
    }
    if (item.code < 0) ReportError(e, "エラー", "rmenu命令へのパラメータが間違っています。");
    if (s.rightClickItems.size() >= kMaxRightClickItems) ReportError(e, "エラー", "rmenuの項目が多すぎます。");
    s.rightClickItems.push_back(std::move(item));
    if (SkipBlanks(e) != ',') return;
    ExpectComma(e);
  }
}

void Cmd_menusetwindow(Engine& e) {
  ShellSettings& s = e.shellSettings;
  s.menuGlyphW = ReadNumberArgument(e);
  s.menuGlyphH = NextNumber(e);
  s.menuAdvanceX = WrapAdd(s.menuGlyphW, NextNumber(e));
  s.menuAdvanceY = WrapAdd(s.menuGlyphH, NextNumber(e));
  s.menuBold = NextNumber(e);
  s.menuShadow = NextNumber(e);
  s.menuTint = NextColour(e);
}

}  // namespace sorv

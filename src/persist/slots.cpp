// Writing and loading the slot files.
#include "persist/slots.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "graphics/effect.h"
#include "graphics/image_load.h"
#include "graphics/scene.h"
#include "interp/error.h"
#include "lua/callbacks.h"
#include "persist/bitmap_file.h"
#include "persist/savepoint.h"
#include "platform/fs.h"
#include "shell/engine.h"
#include "sound/sound.h"
#include "text/text_window.h"
#include "text/textflow.h"

namespace sorv {
namespace {

constexpr const char* kDamaged = "セーブデータが壊れています。";
// A slot file is the image, its trailer and a name: anything much larger
// was not written by a save.
constexpr uint64_t kMaxSlotFileBytes = 4u << 20;

std::string ShotFileName(int32_t n) { return Format("save%d.ss", n); }

// The newlines before the save point, and the colons from the start of its
// line up to and including the byte at the save point.
void PositionNumbers(const Engine& e, int32_t pos, int32_t& line, int32_t& statement) {
  const ScriptState& s = e.script;
  pos = std::max(0, std::min(pos, s.length));
  line = 0;
  int32_t lineStart = 0;
  for (int32_t i = 0; i < pos; ++i) {
    if (s.at(i) == '\n') {
      ++line;
      lineStart = i + 1;
    }
  }
  statement = 0;
  for (int32_t i = lineStart; i <= pos && i < s.length; ++i) {
    if (s.at(i) == ':') ++statement;
  }
}

// The position behind the line-th newline and the statement-th colon of
// that line; -1 when the script has no such place.
int32_t PositionOf(const Engine& e, int32_t line, int32_t statement) {
  const ScriptState& s = e.script;
  if (line < 0 || statement < 0) return -1;
  int32_t p = 0;
  for (int32_t k = 0; k < line; ++k) {
    const void* nl = std::memchr(s.data() + p, '\n', static_cast<size_t>(s.length - p));
    if (!nl) return -1;
    p = static_cast<int32_t>(static_cast<const char*>(nl) - s.data()) + 1;
  }
  for (int32_t k = 0; k < statement; ++k) {
    while (p < s.length && s.at(p) != ':' && s.at(p) != '\n') ++p;
    if (p >= s.length || s.at(p) != ':') return -1;
    ++p;
  }
  return p;
}

// Names from a file are used to open files: none may climb out of the game.
bool SafeName(const std::string& name) {
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    char c = i < name.size() ? name[i] : '/';
    if (c == '/' || c == '\\' || c == ';' || c == ',') {
      if (name.compare(start, i - start, "..") == 0 && i - start == 2) return false;
      start = i + 1;
    }
  }
  return true;
}

bool NamesSafe(const SaveRecord& r) {
  auto ok = [](const std::string& s) { return SafeName(s); };
  if (!ok(r.cursorTags[0]) || !ok(r.cursorTags[1]) || !ok(r.windowEffectImage) || !ok(r.windowImage) ||
      !ok(r.background) || !ok(r.midi) || !ok(r.wave) || !ok(r.music) || !ok(r.buttonImage) ||
      !ok(r.extraSounds[0]) || !ok(r.extraSounds[1]) || !ok(r.rubyFace)) {
    return false;
  }
  for (const auto& s : r.standing) if (!ok(s)) return false;
  for (const auto& s : r.sprites) if (!ok(s.name)) return false;
  for (const auto& s : r.sprite2) if (!ok(s.name)) return false;
  return true;
}

// Gosub frames are a return position; for frames four entries ending in
// minus the loop's position.
bool StackValid(const Engine& e, const SaveRecord& r) {
  int32_t i = r.depth;
  while (i > 0) {
    int32_t top = r.stack[static_cast<size_t>(i - 1)];
    if (top <= 0 && i >= 4) {
      int32_t var = r.stack[static_cast<size_t>(i - 4)];
      if (-static_cast<int64_t>(top) > e.script.length || var < 0 || var >= e.script.numVarCount) return false;
      i -= 4;
    } else if (top >= 0 && top <= e.script.length) {
      --i;
    } else {
      return false;
    }
  }
  return true;
}

bool IsPluginTag(const std::string& tag) { return tag.size() >= 2 && tag[0] == '*' && tag[1] >= '0' && tag[1] <= '9'; }

// Pictures a load needs, loaded before anything of the running game changes.
struct Staged {
  TaggedImage background;
  bool backgroundLoaded = false;
  std::array<TaggedImage, 3> standing;
  std::vector<TaggedImage> sprites = std::vector<TaggedImage>(kSpriteSlots);
  std::vector<TaggedImage> sprite2 = std::vector<TaggedImage>(kSprite2Slots);
  TaggedImage window;
  std::array<TaggedImage, 2> cursors;
  TaggedImage button;
};

void StageImage(Engine& e, TaggedImage& image, const std::string& tag) {
  if (tag.empty()) return;
  if (IsPluginTag(tag)) {
    image.tag = tag;
    return;
  }
  LoadImage(e, image, tag);
}

void BackgroundSize(const Engine& e, int32_t& w, int32_t& h) {
  const GraphicsSettings& g = e.graphicsSettings;
  w = e.scene.width, h = e.scene.height;
  if (g.bgaliaX != -1 && g.bgaliaW > 0 && g.bgaliaH > 0) w = g.bgaliaW, h = g.bgaliaH;
}

// The background as `bg` would make it: a colour word fills, a picture of
// another size is centred on black.
bool StageBackground(Engine& e, const SaveRecord& r, int32_t slot, TaggedImage& out, std::string& why) {
  int32_t w, h;
  BackgroundSize(e, w, h);
  const std::string& name = r.background;
  if (name == "*bgcpy") {
    Surface shot;
    std::string path = ReadPath(e, ShotFileName(slot));
    if (slot < 0 || !ReadBitmapFile(path, shot)) {
      why = "the background copy " + ShotFileName(slot) + " is missing or damaged";
      return false;
    }
    out.surface = std::move(shot);
    return true;
  }
  if (!CreateSurface(out.surface, w, h)) return true;
  if (name == "white") FillRect(out.surface, Rect{0, 0, w, h}, 0xFFFFFF);
  // bg #rrggbb keeps its colour as the name.
  if (name.size() == 7 && name[0] == '#' &&
      name.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos) {
    FillRect(out.surface, Rect{0, 0, w, h}, static_cast<int32_t>(std::stol(name.substr(1), nullptr, 16)));
    out.tag = name;
    return true;
  }
  if (name.empty() || name == "black" || name == "white") {
    out.tag = name;
    return true;
  }
  TaggedImage loaded;
  LoadImage(e, loaded, name);
  out.tag = name;
  if (!loaded.HasSurface()) return true;
  loaded.transMode = kTransCopy;
  loaded.opacity = -1;
  int32_t iw = loaded.CellWidth(), ih = loaded.surface.height;
  DrawImage(loaded, out.surface, w / 2 - iw / 2, h / 2 - ih / 2, Rect{0, 0, w, h});
  return true;
}

void Restore(TaggedImage& dst, TaggedImage&& staged, int32_t cell, int32_t opacity) {
  dst = std::move(staged);
  if (cell >= 0 && cell < dst.cellCount) dst.currentCell = cell;
  dst.opacity = opacity < -1 ? -1 : std::min(opacity, 255);
}

void Apply(Engine& e, SaveRecord& r, Staged& st, int32_t position) {
  TextWindow& tw = e.textWindow;
  TextWindowState& w = tw.window;
  SceneState& sc = e.scene;
  SoundState& so = e.sound;
  SaveExtras& x = e.saveImage.extras;

  w.bold = r.bold;
  w.shadow = r.shadow;
  e.messageLog.lineLength = r.logLineLength;
  x.rightClickEnable = r.rightClickEnable;
  e.rightClick.enabled = r.rightClickEnable;
  tw.colour.Set(r.colour);
  for (size_t k = 0; k < 2; ++k) {
    WaitCursor& c = e.text.cursors[k];
    c.tag = r.cursorTags[k].empty() ? kDefaultCursorTags[k] : r.cursorTags[k];
    c.image = std::move(st.cursors[k]);
  }
  e.effects.windowEffect.number = r.windowEffect;
  e.effects.windowEffect.duration = r.windowEffectDuration;
  e.effects.windowEffect.image = r.windowEffectImage;
  w.originX = r.originX;
  w.originY = r.originY;
  w.columns = r.columns;
  w.rows = r.rows;
  w.glyphW = r.glyphW;
  w.glyphH = r.glyphH;
  w.advanceX = r.advanceX;
  w.advanceY = r.advanceY;
  w.windowColour = r.windowColour;
  w.speed = r.speed;
  w.left = r.left;
  w.top = r.top;
  w.right = r.right;
  w.bottom = r.bottom;
  w.windowImageTag = r.windowImage;
  w.windowImage = std::move(st.window);
  for (size_t k = 0; k < 2; ++k) {
    e.text.cursors[k].x = r.cursorPlace[k * 2];
    e.text.cursors[k].y = r.cursorPlace[k * 2 + 1];
    e.text.cursors[k].absolute = r.cursorPlace[4 + k] != 0;
  }
  sc.backgroundName = r.background;
  sc.background = std::move(st.background);
  for (size_t i = 0; i < 3; ++i) {
    StandingImage& s = sc.standing[i];
    s.tag = r.standing[i];
    Restore(s.image, std::move(st.standing[i]), r.standingCell[i], r.standingOpacity[i]);
    s.x = r.standingX[i];
    s.y = r.standingY[i];
    sc.standingCentre[i] = r.standingCentre[i];
  }
  for (size_t i = 0; i < kSpriteSlots; ++i) {
    Sprite& s = sc.sprites[i];
    const SavedSprite& d = r.sprites[i];
    s.tag = d.name;
    Restore(s.image, std::move(st.sprites[i]), d.cell, d.opacity);
    s.x = d.x;
    s.y = d.y;
    s.visible = d.visible != 0;
  }
  for (size_t v = 0; v < r.intVars.size(); ++v) {
    e.values.intVars[v] = r.intVars[v];
    e.values.strVars[v] = std::move(r.strVars[v]);
  }
  e.interp.depth = r.depth;
  std::copy(r.stack.begin(), r.stack.end(), e.interp.stack);
  sc.monochrome = r.monochrome != 0;
  sc.monochromeTint = (r.monochromeRgb[0] & 255) << 16 | (r.monochromeRgb[1] & 255) << 8 | (r.monochromeRgb[2] & 255);
  sc.nega = r.nega;
  w.shown = r.windowShown;
  w.textMode = r.textMode;
  for (size_t i = 0; i < r.bars.size() && i < kGaugeSlots; ++i) {
    const auto& b = r.bars[i];
    sc.gauges[i] = Gauge{b[0], b[1], b[2], b[3], b[4], b[5], b[6]};
  }
  for (size_t i = 0; i < r.numbers.size() && i < kNumberSlots; ++i) {
    const auto& n = r.numbers[i];
    sc.numbers[i] = NumberDisplay{n[0], n[1], n[2], n[3], n[4], n[5]};
  }
  sc.allSpHide = r.allSpHide != 0;
  e.messageLog.enabled = r.lookback != 0;
  e.buttons.imageTag = r.buttonImage;
  e.buttons.image = std::move(st.button);
  for (size_t i = 0; i < r.arrays.size(); ++i) e.values.arrays[i].elems = std::move(r.arrays[i]);
  e.effects.speed = r.effectSpeed;
  w.keepOnStanding = r.eraseWindow == 2;
  w.eraseOnHide = r.eraseWindow == 2 ? 1 : r.eraseWindow;
  x.extraSounds = r.extraSounds;
  e.text.rubyMode = r.ruby2 ? 2 : r.ruby ? 1 : 0;
  e.text.rubyW = r.rubyW;
  e.text.rubyH = r.rubyH;
  e.text.rubyFace = r.rubyFace;
  for (size_t i = 0; i < kSprite2Slots; ++i) {
    Sprite2& s = sc.sprite2[i];
    const SavedSprite2& d = r.sprite2[i];
    s.tag = d.name;
    s.image = std::move(st.sprite2[i]);
    s.image.currentCell = 0;
    s.image.opacity = s.tag.empty() ? d.opacity : 255;
    s.cx = d.cx, s.cy = d.cy, s.scaleX = d.scaleX, s.scaleY = d.scaleY, s.rotation = d.rotation;
    s.visible = d.visible != 0;
    s.blend = d.blend;
  }
  e.messageLog.counter = r.logCounter2;
  e.interp.tagDone = r.tagDone != 0;
  e.messageLog.stateWord = r.logState;
  sc.allSp2Hide = r.allSp2Hide != 0;
  x.musicResume = r.musicResume;
  x.musicResumePosition = r.musicResumePosition;
  x.engineSwitchOff = r.engineSwitchOff;
  sc.baseLine = r.baseLine;
  e.messageLog.entries = std::move(r.textLog);
  e.messageLog.tags = std::move(r.tagLog);

  // The page starts again empty; the window shows as the save had it.
  const int32_t shown = w.shown;
  w.shown = 0;
  ClearTextWindow(e);
  w.shown = shown;
  e.script.pos = position;

  MarkAllDirty(e);
  RunEffect(e, EffectRequest{1, 0, {}});
  w.shown = shown;  // the redraw does not decide whether the window is up

  if (r.cdTrack >= 0 && so.cdTrack < 0) PlayCdOrMidi(e, Format("*%d", r.cdTrack), r.cdLoop != 0);
  if (!r.midi.empty()) PlayCdOrMidi(e, r.midi, r.midiLoop != 0);
  if (!r.wave.empty() && r.waveLoop) PlayWave(e, r.wave, true);
  if (!r.music.empty()) PlayMusicFile(e, r.music, r.musicLoop != 0, r.musicRecorded != 0);
}

}  // namespace

std::string SlotFileName(int32_t n) { return Format("save%d.dat", n); }

const std::vector<uint8_t>& FinishedSaveImage(Engine& e) {
  MaterialiseSavePoint(e);
  SavePointState& sp = e.savePoints;
  SaveImageState& img = e.saveImage;
  if (img.tooLarge) ReportError(e, "エラー", "セーブデータが大きすぎます");
  if (!sp.finished) {
    sp.finished = true;
    PositionNumbers(e, sp.position, img.capture.line, img.capture.statement);
    img.capture.textLog = e.messageLog.entries;
    img.capture.tagLog = e.messageLog.tags;
    if (!WriteRecordTrailer(img.capture, img.bytes, kSaveImageSize)) {
      ReportError(e, "エラー", "セーブデータが大きすぎます");
    }
  }
  return img.bytes;
}

namespace {

// Writes slot n from the image of the last save point, with savegame2's name
// suffix in the same write so the slot never exists without it.
bool WriteSlot(Engine& e, int32_t n, const std::string* name) {
  SaveImageState& img = e.saveImage;
  if (!e.savePoints.taken) TakeSavePoint(e);
  std::vector<uint8_t> named;
  const std::vector<uint8_t>* bytes = &FinishedSaveImage(e);
  if (name) {
    named = *bytes;
    std::string suffix = "\"" + *name + "\"*";
    named.insert(named.end(), suffix.begin(), suffix.end());
    bytes = &named;
  }
  img.saveFailed = !WriteEngineFile(e, SlotFileName(n), bytes->data(), bytes->size());
  if (img.saveFailed) {
    e.platform->ShowMessageBox("エラー", "セーブできませんでした。\n" + img.lastError, platform::MessageBoxButtons::Ok,
                               platform::MessageBoxIcon::Error);
    return false;
  }
  if (e.scene.backgroundName == "*bgcpy") {
    std::vector<uint8_t> bmp = BitmapFileBytes(e.scene.background.surface);
    WriteEngineFile(e, ShotFileName(n), bmp.data(), bmp.size());
  } else {
    ::unlink(WritePath(e, ShotFileName(n)).c_str());
  }
  if (LuaHasCallback(e, LuaEvent::Save) && !LuaCallback(e, LuaEvent::Save, n)) {
    ReportError(e, "エラー", "セーブのコールバック関数でエラーが出ました。");
  }
  return true;
}

}  // namespace

bool SaveSlot(Engine& e, int32_t n) { return WriteSlot(e, n, nullptr); }

bool SaveSlotWithName(Engine& e, int32_t n, const std::string& name) { return WriteSlot(e, n, &name); }

LoadResult LoadSlot(Engine& e, int32_t n) {
  SaveImageState& img = e.saveImage;
  std::vector<uint8_t> data;
  if (n == -1) {
    data = FinishedSaveImage(e);
  } else {
    std::string path = ReadPath(e, SlotFileName(n));
    if (!platform::IsRegularFile(path)) return LoadResult::Missing;
    std::string err;
    auto file = platform::ReadWholeFile(path, kMaxSlotFileBytes, &err);
    if (!file) {
      img.lastError = path + ": " + (err.empty() ? "too large or unreadable" : err);
    } else {
      data.assign(file->begin(), file->end());
    }
    if (!file) {
      e.platform->ShowMessageBox("エラー", std::string(kDamaged) + "\n" + img.lastError,
                                 platform::MessageBoxButtons::Ok, platform::MessageBoxIcon::Error);
      return LoadResult::Damaged;
    }
  }

  // Everything is read and checked, and every picture loaded, before the
  // running game is touched.
  SaveRecord rec;
  std::string why;
  int32_t position = -1;
  auto staged = std::make_unique<Staged>();
  bool ok = ParseRecord(data.data(), data.size(), ShapeOf(e), rec, why);
  if (ok && !StackValid(e, rec)) ok = false, why = "the call stack does not fit the script";
  if (ok && !NamesSafe(rec)) ok = false, why = "a file name leads outside the game";
  if (ok) {
    position = PositionOf(e, rec.line, rec.statement);
    if (position < 0) ok = false, why = "the saved position is not in this script";
  }
  if (ok) {
    try {
      ok = StageBackground(e, rec, n, staged->background, why);
      for (size_t i = 0; ok && i < 3; ++i) StageImage(e, staged->standing[i], rec.standing[i]);
      for (size_t i = 0; ok && i < kSpriteSlots; ++i) StageImage(e, staged->sprites[i], rec.sprites[i].name);
      for (size_t i = 0; ok && i < kSprite2Slots; ++i) StageImage(e, staged->sprite2[i], rec.sprite2[i].name);
      if (ok) StageImage(e, staged->window, rec.windowImage);
      if (ok) StageImage(e, staged->button, rec.buttonImage);
      for (size_t k = 0; ok && k < 2; ++k) {
        e.images.loadingCursor = true;
        StageImage(e, staged->cursors[k], rec.cursorTags[k].empty() ? kDefaultCursorTags[k] : rec.cursorTags[k]);
        e.images.loadingCursor = false;
      }
    } catch (const ScriptError& err) {
      e.images.loadingCursor = false;
      ok = false;
      why = err.message;
    }
  }
  if (!ok) {
    img.lastError = (n == -1 ? std::string("the save image") : SlotFileName(n)) + ": " + why;
    e.platform->ShowMessageBox("エラー", std::string(kDamaged) + "\n" + img.lastError, platform::MessageBoxButtons::Ok,
                               platform::MessageBoxIcon::Error);
    return LoadResult::Damaged;
  }

  StopAllSound(e);
  e.savePoints.pending = false;  // the journal describes the game being left
  e.savePoints.journalUsed = true;
  Apply(e, rec, *staged, position);
  TakeSavePoint(e);
  MaterialiseSavePoint(e);  // the loaded state is the save point's
  if (LuaHasCallback(e, LuaEvent::Load) && !LuaCallback(e, LuaEvent::Load, n)) {
    ReportError(e, "エラー", "ロードのコールバック関数でエラーが出ました。");
  }
  const HookLabel& gosub = e.interp.loadGosub;
  if (gosub.on && !gosub.label.empty()) {
    if (e.interp.depth > 999) ReportError(e, "スタックエラー", "gosub文のせいでスタックが溢れました。");
    PushStack(e, e.script.pos);
    JumpToLabel(e, gosub.label);
  }
  return LoadResult::Loaded;
}

void WriteErrorSave(Engine& e) {
  SaveImageState& img = e.saveImage;
  if (!e.persistSettings.errorSave || img.inErrorSave || !e.savePoints.taken || e.script.buffer.empty()) return;
  img.inErrorSave = true;
  try {
    const std::vector<uint8_t>& bytes = FinishedSaveImage(e);
    if (!WriteEngineFile(e, SlotFileName(999), bytes.data(), bytes.size())) {
      std::fprintf(stderr, "sorv: the error save could not be written: %s\n", img.lastError.c_str());
    }
  } catch (const ScriptError&) {
    // The image does not fit; the original error is the one to show.
  }
  img.inErrorSave = false;
}

}  // namespace sorv

// The slot record's one serialiser, used for both directions, and the
// capture of the engine's records into it.
#include "persist/save_record.h"

#include <cstring>

#include "shell/engine.h"

namespace sorv {
namespace {

// Appends little-endian values to the image; an overflow is remembered and
// every later value is dropped.
struct Writer {
  static constexpr bool kReading = false;
  std::vector<uint8_t>& out;
  size_t limit;
  bool overflow = false;

  void Bytes(const void* p, size_t n) {
    if (overflow || out.size() + n > limit) {
      overflow = true;
      return;
    }
    const uint8_t* b = static_cast<const uint8_t*>(p);
    out.insert(out.end(), b, b + n);
  }
  void Int(int32_t& v) {
    uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                    static_cast<uint8_t>(v >> 24)};
    Bytes(b, 4);
  }
  void Str(std::string& s) {
    // A name holding a 0 byte could not be read back; it ends there.
    size_t n = std::strlen(s.c_str());
    Bytes(s.data(), n);
    uint8_t zero = 0;
    Bytes(&zero, 1);
  }
  // Counts the writer takes from the record; the reader checks them.
  bool Count(int32_t& n, size_t, size_t) { Int(n); return !overflow; }
};

// Reads values as the engine always has: a value the file does not have
// reads as 0, a string runs to its 0 byte or to the end of the file. `short_`
// tells that the file ended before a value.
struct Reader {
  static constexpr bool kReading = true;
  const uint8_t* p;
  const uint8_t* end;
  bool short_ = false;

  void Int(int32_t& v) {
    if (end - p < 4) {
      short_ = true;
      p = end;
      v = 0;
      return;
    }
    v = static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                             static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
    p += 4;
  }
  void Str(std::string& s) {
    const void* z = std::memchr(p, 0, static_cast<size_t>(end - p));
    const uint8_t* stop = z ? static_cast<const uint8_t*>(z) : end;
    s.assign(reinterpret_cast<const char*>(p), static_cast<size_t>(stop - p));
    if (!z) short_ = true;
    p = z ? stop + 1 : end;
  }
  // A count read from the file: at most `max`, and never more entries than
  // the bytes left could hold at `minBytes` each.
  bool Count(int32_t& n, size_t max, size_t minBytes) {
    Int(n);
    if (n < 0 || static_cast<size_t>(n) > max) return false;
    return static_cast<size_t>(n) * minBytes <= static_cast<size_t>(end - p);
  }
};

template <typename Io>
void Ints(Io& io, int32_t* v, size_t n) {
  for (size_t i = 0; i < n; ++i) io.Int(v[i]);
}

// The body, rows in file order. Sizes come from the record (writing) or from
// the shape (reading); `ok` turns false on a count no save could hold.
template <typename Io>
bool TransferBody(Io& io, SaveRecord& r, const RecordShape& shape) {
  io.Int(r.version);
  io.Int(r.bold);
  io.Int(r.shadow);
  io.Int(r.logLineLength);
  io.Int(r.rightClickEnable);
  io.Int(r.colourValue);
  io.Int(r.colour);
  io.Int(r.colourValue2);
  io.Str(r.cursorTags[0]);
  io.Str(r.cursorTags[1]);
  io.Int(r.windowEffect);
  io.Int(r.windowEffectDuration);
  io.Str(r.windowEffectImage);
  io.Int(r.originX);
  io.Int(r.originY);
  io.Int(r.columns);
  io.Int(r.rows);
  io.Int(r.glyphW);
  io.Int(r.glyphH);
  io.Int(r.advanceX);
  io.Int(r.advanceY);
  io.Int(r.windowColour);
  io.Int(r.speed);
  io.Int(r.left);
  io.Int(r.top);
  io.Int(r.right);
  io.Int(r.bottom);
  io.Str(r.windowImage);
  Ints(io, r.cursorPlace.data(), 6);
  io.Str(r.background);
  for (auto& s : r.standing) io.Str(s);
  Ints(io, r.standingX.data(), 3);
  Ints(io, r.standingY.data(), 3);
  Ints(io, r.standingCell.data(), 3);
  Ints(io, r.standingOpacity.data(), 3);
  if (Io::kReading) r.sprites.resize(kSpriteSlots);
  for (SavedSprite& s : r.sprites) {
    io.Str(s.name);
    io.Int(s.x);
    io.Int(s.y);
    io.Int(s.visible);
    io.Int(s.cell);
    io.Int(s.opacity);
  }
  if (Io::kReading) {
    r.intVars.resize(static_cast<size_t>(shape.globalBorder));
    r.strVars.resize(static_cast<size_t>(shape.globalBorder));
  }
  for (size_t v = 0; v < r.intVars.size(); ++v) {
    io.Int(r.intVars[v]);
    io.Str(r.strVars[v]);
  }
  if (!io.Count(r.depth, kCallStackSize, 4)) return false;
  if (Io::kReading) r.stack.resize(static_cast<size_t>(r.depth));
  Ints(io, r.stack.data(), r.stack.size());
  io.Int(r.monochrome);
  Ints(io, r.monochromeRgb.data(), 3);
  io.Int(r.nega);
  io.Str(r.midi);
  io.Str(r.wave);
  io.Int(r.cdTrack);
  io.Int(r.midiLoop);
  io.Int(r.waveLoop);
  io.Int(r.cdLoop);
  io.Int(r.musicLoop);
  io.Int(r.musicRecorded);
  io.Str(r.music);
  io.Int(r.windowShown);
  io.Int(r.textMode);
  if (r.version > 0) {
    if (Io::kReading) {
      r.bars.resize(kGaugeSlots);
      r.numbers.resize(kNumberSlots);
    }
    for (auto& b : r.bars) Ints(io, b.data(), b.size());
    for (auto& n : r.numbers) Ints(io, n.data(), n.size());
  } else {
    r.bars.clear();
    r.numbers.clear();
  }
  io.Int(r.reserved);
  io.Int(r.allSpHide);
  io.Int(r.lookback);
  io.Str(r.buttonImage);
  if (Io::kReading) {
    r.arrays.resize(shape.arraySizes.size());
    for (size_t i = 0; i < r.arrays.size(); ++i) r.arrays[i].resize(shape.arraySizes[i]);
  }
  for (auto& a : r.arrays) Ints(io, a.data(), a.size());
  io.Int(r.effectSpeed);
  io.Int(r.eraseWindow);
  io.Str(r.extraSounds[0]);
  io.Str(r.extraSounds[1]);
  io.Int(r.ruby);
  io.Int(r.rubyW);
  io.Int(r.rubyH);
  io.Str(r.rubyFace);
  io.Int(r.ruby2);
  if (Io::kReading) r.sprite2.resize(kSprite2Slots);
  for (SavedSprite2& s : r.sprite2) {
    io.Str(s.name);
    io.Int(s.cx);
    io.Int(s.cy);
    io.Int(s.scaleX);
    io.Int(s.scaleY);
    io.Int(s.rotation);
    io.Int(s.visible);
    io.Int(s.opacity);
    io.Int(s.blend);
  }
  io.Int(r.logCounter);
  io.Int(r.tagDone);
  io.Int(r.logState);
  io.Int(r.logCounter2);
  io.Int(r.allSpHide2);
  io.Int(r.allSp2Hide);
  io.Int(r.musicResume);
  io.Str(r.musicResumePosition);
  io.Int(r.engineSwitchOff);
  Ints(io, r.standingCentre.data(), 3);
  io.Int(r.baseLine);
  return true;
}

template <typename Io>
bool TransferLog(Io& io, std::vector<std::string>& log) {
  int32_t n = static_cast<int32_t>(log.size());
  if (!io.Count(n, 1u << 24, 1)) return false;
  if (Io::kReading) log.resize(static_cast<size_t>(n));
  for (std::string& s : log) io.Str(s);
  return true;
}

template <typename Io>
bool TransferTrailer(Io& io, SaveRecord& r) {
  if (!TransferLog(io, r.textLog) || !TransferLog(io, r.tagLog)) return false;
  io.Int(r.line);
  io.Int(r.statement);
  return true;
}

int32_t Opacity(int32_t o) { return o; }

}  // namespace

RecordShape ShapeOf(const Engine& e) {
  RecordShape s;
  s.globalBorder = std::max<int32_t>(0, std::min<int32_t>(e.script.globalBorder,
                                                          static_cast<int32_t>(e.values.intVars.size())));
  for (const ArrayDesc& a : e.values.arrays) s.arraySizes.push_back(a.elems.size());
  return s;
}

void CaptureRecord(Engine& e, SaveRecord& r) {
  const TextWindow& tw = e.textWindow;
  const TextWindowState& w = tw.window;
  const SceneState& sc = e.scene;
  const SoundState& so = e.sound;
  const SaveExtras& x = e.saveImage.extras;
  r.version = kSaveFormatVersion;
  r.bold = w.bold;
  r.shadow = w.shadow;
  r.logLineLength = e.messageLog.lineLength;
  r.rightClickEnable = e.rightClick.enabled;
  r.colourValue = r.colour = r.colourValue2 = tw.colour.Rgb();
  for (int k = 0; k < 2; ++k) {
    const std::string& tag = e.text.cursors[k].tag;
    r.cursorTags[static_cast<size_t>(k)] = tag == kDefaultCursorTags[k] ? std::string() : tag;
  }
  r.windowEffect = e.effects.windowEffect.number;
  r.windowEffectDuration = e.effects.windowEffect.duration;
  r.windowEffectImage = e.effects.windowEffect.image;
  r.originX = w.originX;
  r.originY = w.originY;
  r.columns = w.columns;
  r.rows = w.rows;
  r.glyphW = w.glyphW;
  r.glyphH = w.glyphH;
  r.advanceX = w.advanceX;
  r.advanceY = w.advanceY;
  r.windowColour = w.windowColour;
  r.speed = w.speed;
  r.left = w.left;
  r.top = w.top;
  r.right = w.right;
  r.bottom = w.bottom;
  r.windowImage = w.windowImageTag;
  r.cursorPlace = {e.text.cursors[0].x, e.text.cursors[0].y, e.text.cursors[1].x,
                   e.text.cursors[1].y, e.text.cursors[0].absolute ? 1 : 0, e.text.cursors[1].absolute ? 1 : 0};
  r.background = sc.backgroundName;
  for (size_t i = 0; i < 3; ++i) {
    const StandingImage& s = sc.standing[i];
    r.standing[i] = s.tag;
    r.standingX[i] = s.x;
    r.standingY[i] = s.y;
    r.standingCell[i] = s.image.currentCell;
    r.standingOpacity[i] = Opacity(s.image.opacity);
    r.standingCentre[i] = sc.standingCentre[i];
  }
  r.sprites.resize(kSpriteSlots);
  for (size_t i = 0; i < kSpriteSlots; ++i) {
    const Sprite& s = sc.sprites[i];
    SavedSprite& d = r.sprites[i];
    if (s.tag == "bklg") d.name.clear(); else d.name = s.tag;
    d.x = s.x;
    d.y = s.y;
    d.visible = s.visible ? 1 : 0;
    d.cell = s.image.currentCell;
    d.opacity = s.image.opacity;
  }
  const size_t g = static_cast<size_t>(ShapeOf(e).globalBorder);
  r.intVars.assign(e.values.intVars.begin(), e.values.intVars.begin() + static_cast<ptrdiff_t>(g));
  r.strVars.resize(g);
  for (size_t v = 0; v < g; ++v) r.strVars[v] = e.values.strVars[v];
  r.depth = e.interp.depth;
  r.stack.assign(e.interp.stack, e.interp.stack + e.interp.depth);
  r.monochrome = sc.monochrome ? 1 : 0;
  r.monochromeRgb = {(sc.monochromeTint >> 16) & 255, (sc.monochromeTint >> 8) & 255, sc.monochromeTint & 255};
  r.nega = sc.nega;
  r.midi = so.midiFile;
  r.wave = so.waveFile;
  r.cdTrack = so.cdTrack;
  r.midiLoop = so.midiLoop;
  r.waveLoop = so.waveLoop;
  r.cdLoop = so.cdLoop;
  r.musicLoop = so.musicLoop;
  r.musicRecorded = so.musicRecorded;
  r.music = so.musicRecorded ? so.musicFile : std::string();
  r.windowShown = w.shown;
  r.textMode = w.textMode;
  r.bars.resize(kGaugeSlots);
  for (size_t i = 0; i < kGaugeSlots; ++i) {
    const Gauge& b = sc.gauges[i];
    r.bars[i] = {b.x, b.y, b.width, b.height, b.value, b.maximum, b.colour};
  }
  r.numbers.resize(kNumberSlots);
  for (size_t i = 0; i < kNumberSlots; ++i) {
    const NumberDisplay& n = sc.numbers[i];
    r.numbers[i] = {n.value, n.x, n.y, n.charWidth, n.charHeight, n.colour};
  }
  r.reserved = 0;
  r.allSpHide = r.allSpHide2 = sc.allSpHide ? 1 : 0;
  r.lookback = e.messageLog.enabled ? 1 : 0;
  r.buttonImage = e.buttons.imageTag;
  size_t arrayBytes = 0;
  for (const ArrayDesc& a : e.values.arrays) arrayBytes += a.elems.size() * 4;
  r.arraysTooLarge = arrayBytes > kSaveImageSize;
  r.arrays.resize(r.arraysTooLarge ? 0 : e.values.arrays.size());
  for (size_t i = 0; i < r.arrays.size(); ++i) r.arrays[i] = e.values.arrays[i].elems;
  r.effectSpeed = e.effects.speed;
  r.eraseWindow = w.keepOnStanding ? 2 : w.eraseOnHide;
  r.extraSounds = x.extraSounds;
  r.ruby = e.text.rubyMode == 1 ? 1 : 0;
  r.rubyW = e.text.rubyW;
  r.rubyH = e.text.rubyH;
  r.rubyFace = e.text.rubyFace;
  r.ruby2 = e.text.rubyMode == 2 ? 1 : 0;
  r.sprite2.resize(kSprite2Slots);
  for (size_t i = 0; i < kSprite2Slots; ++i) {
    const Sprite2& s = sc.sprite2[i];
    r.sprite2[i] = {s.tag, s.cx, s.cy, s.scaleX, s.scaleY, s.rotation, s.visible ? 1 : 0, s.image.opacity, s.blend};
  }
  r.logCounter = r.logCounter2 = e.messageLog.counter;
  r.tagDone = e.interp.tagDone ? 1 : 0;
  r.logState = e.messageLog.stateWord;
  r.allSp2Hide = sc.allSp2Hide ? 1 : 0;
  r.musicResume = x.musicResume;
  r.musicResumePosition = x.musicResumePosition;
  r.engineSwitchOff = x.engineSwitchOff;
  r.baseLine = sc.baseLine;
  r.textLog = e.messageLog.entries;
  r.tagLog = e.messageLog.tags;
}

bool WriteRecordBody(SaveRecord& r, std::vector<uint8_t>& out, size_t limit) {
  Writer w{out, limit};
  RecordShape unused;
  TransferBody(w, r, unused);
  return !w.overflow;
}

bool WriteRecordTrailer(SaveRecord& r, std::vector<uint8_t>& out, size_t limit) {
  Writer w{out, limit};
  TransferTrailer(w, r);
  return !w.overflow;
}

bool ParseRecord(const uint8_t* data, size_t size, const RecordShape& shape, SaveRecord& r, std::string& why,
                 size_t* used) {
  Reader rd{data, data + size};
  if (!TransferBody(rd, r, shape)) {
    why = "call stack";
    return false;
  }
  if (rd.short_) {
    why = "the file ends inside the record";
    return false;
  }
  if (!TransferTrailer(rd, r)) {
    why = "log entries";
    return false;
  }
  if (rd.short_) {
    why = "the file ends inside the trailer";
    return false;
  }
  if (used) *used = static_cast<size_t>(rd.p - data);
  return true;
}

}  // namespace sorv

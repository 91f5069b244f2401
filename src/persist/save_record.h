// The save slot's record: every value a slot file holds, in the order the
// file holds them. One routine (TransferRecord) moves the record to or from
// bytes; CaptureRecord fills it from the engine, and a load parses a file
// into a fresh record and applies it only when the whole file made sense.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/surface.h"

namespace sorv {

struct Engine;

constexpr size_t kSaveImageSize = 204800;
constexpr int32_t kSaveFormatVersion = 2;

struct SavedSprite {
  std::string name;
  int32_t x = 0, y = 0, visible = 0, cell = 0, opacity = 0;
};

struct SavedSprite2 {
  std::string name;
  int32_t cx = 0, cy = 0, scaleX = 0, scaleY = 0, rotation = 0, visible = 0, opacity = 0, blend = 0;
};

struct SaveRecord {
  // The arrays alone are larger than the image: they are not copied, and the
  // record cannot be written.
  bool arraysTooLarge = false;
  int32_t version = kSaveFormatVersion;
  int32_t bold = 0, shadow = 0;
  int32_t logLineLength = 0;
  int32_t rightClickEnable = 0;
  int32_t colourValue = 0, colour = 0, colourValue2 = 0;
  std::array<std::string, 2> cursorTags;
  int32_t windowEffect = 0, windowEffectDuration = 0;
  std::string windowEffectImage;
  int32_t originX = 0, originY = 0;
  int32_t columns = 0, rows = 0, glyphW = 0, glyphH = 0, advanceX = 0, advanceY = 0;
  int32_t windowColour = 0, speed = 0;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  std::string windowImage;
  std::array<int32_t, 6> cursorPlace{};
  std::string background;
  std::array<std::string, 3> standing;
  std::array<int32_t, 3> standingX{}, standingY{}, standingCell{}, standingOpacity{};
  std::vector<SavedSprite> sprites;
  std::vector<int32_t> intVars;
  std::vector<std::string> strVars;
  int32_t depth = 0;
  std::vector<int32_t> stack;
  int32_t monochrome = 0;
  std::array<int32_t, 3> monochromeRgb{};
  int32_t nega = 0;
  std::string midi, wave;
  int32_t cdTrack = -1;
  int32_t midiLoop = 0, waveLoop = 0, cdLoop = 0, musicLoop = 0, musicRecorded = 0;
  std::string music;
  int32_t windowShown = 0, textMode = 0;
  std::vector<std::array<int32_t, 7>> bars;
  std::vector<std::array<int32_t, 6>> numbers;
  int32_t reserved = 0;
  int32_t allSpHide = 0, lookback = 0;
  std::string buttonImage;
  std::vector<std::vector<int32_t>> arrays;
  int32_t effectSpeed = 0, eraseWindow = 0;
  std::array<std::string, 2> extraSounds;
  int32_t ruby = 0, rubyW = 0, rubyH = 0;
  std::string rubyFace;
  int32_t ruby2 = 0;
  std::vector<SavedSprite2> sprite2;
  int32_t logCounter = 0, tagDone = 0, logState = 0, logCounter2 = 0, allSpHide2 = 0, allSp2Hide = 0;
  int32_t musicResume = 0;
  std::string musicResumePosition;
  int32_t engineSwitchOff = 0;
  std::array<int32_t, 3> standingCentre{};
  int32_t baseLine = 0;

  // Trailer.
  std::vector<std::string> textLog, tagLog;
  int32_t line = 0, statement = 0;
};

// Values of the record that no built subsystem owns yet: kept as read and
// written back unchanged.
struct SaveExtras {
  int32_t rightClickEnable = 1;
  std::array<std::string, 2> extraSounds;
  int32_t musicResume = 0;
  std::string musicResumePosition;
  int32_t engineSwitchOff = 0;
};

// The shape the record takes for this engine: variables below the global
// border and the element counts of the declared arrays.
struct RecordShape {
  int32_t globalBorder = 200;
  std::vector<size_t> arraySizes;
};
RecordShape ShapeOf(const Engine& e);

// Fills `r` (keeping its allocations) from the engine's records.
void CaptureRecord(Engine& e, SaveRecord& r);

// Appends the body of `r` to `out`, which may not grow beyond `limit` bytes.
// False on overflow.
bool WriteRecordBody(SaveRecord& r, std::vector<uint8_t>& out, size_t limit);
bool WriteRecordTrailer(SaveRecord& r, std::vector<uint8_t>& out, size_t limit);

// Parses a whole slot file (body and trailer; the name suffix is ignored).
// False with a reason when the file is not a save of this shape.
// `used` receives the bytes the record took (a name suffix may follow).
bool ParseRecord(const uint8_t* data, size_t size, const RecordShape& shape, SaveRecord& r, std::string& why,
                 size_t* used = nullptr);

}  // namespace sorv

// The readers of the files a player's disk holds: slot files, the global
// variable file, envdata, the name logs and the slots' background copies.
// A damaged file must be refused or read; anything else is a fault.
#include <cstdint>
#include <memory>

#include "persist/bitmap_file.h"
#include "persist/global_files.h"
#include "persist/save_record.h"
#include "script/script.h"
#include "shell/engine.h"
#include "values/values.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<sorv::Engine> e = [] {
    auto engine = std::make_unique<sorv::Engine>();
    sorv::LoadScriptFromText(*engine, "*define\ngame\n*start\nend\n");
    engine->values.arrays.resize(2);
    engine->values.arrays[0].elems.assign(10, 0);
    engine->values.arrays[1].elems.assign(3, 0);
    return engine;
  }();
  sorv::SaveRecord record;
  std::string why;
  size_t used = 0;
  if (sorv::ParseRecord(data, size, sorv::ShapeOf(*e), record, why, &used) && used > size) __builtin_trap();
  sorv::ParseEnvironment(data, size);
  sorv::ParseGlobalVariables(*e, data, size);
  sorv::ParseLog(data, size, 10000);
  sorv::Surface s;
  sorv::ParseBitmapFile(data, size, s);
  return 0;
}

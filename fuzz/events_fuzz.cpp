// The headless events-file reader on arbitrary text: it either takes the
// file or refuses it with a line number, and never expands it past its bounds.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

#include "platform/headless/events_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    sorv::platform::EventsScript script = sorv::platform::ParseEventsScript(text);
    if (script.events.size() > 1'000'000 || script.answers.size() > 1'000'000) std::abort();
    for (size_t i = 1; i < script.events.size(); ++i) {
      if (script.events[i].timeMs < script.events[i - 1].timeMs) std::abort();
    }
  } catch (const std::runtime_error& err) {
    if (std::string_view(err.what()).rfind("events file line ", 0) != 0) std::abort();
  }
  return 0;
}

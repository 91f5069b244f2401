// sorv-arc: lists, extracts and packs the engine's SVA and SV2 archives.
//
//   sorv-arc list ARCHIVE [--prefix N]
//   sorv-arc extract ARCHIVE [-o DIR] [--prefix N] [NAME...]
//   sorv-arc pack ARCHIVE [--prefix N] [-C DIR] [-c auto|store|lzss|spb] FILE...
//
// An archive whose name ends in ".sv2" is an SV2 archive, any other an SVA
// archive. --prefix gives the bytes an SVA archive carries before its index
// (1 for games that use `sv2`, 2 for `sv3`, 3 for both). -c applies to the
// files after it; "auto" packs 24-bit BMP files as SPB, other BMP files and
// uncompressed data as LZSS, and keeps files that are compressed already
// (png, jpg, ogg, mp3, spb) as they are. Names in the archive are the file
// names as given (relative to -C), with '\' between folders.
#include <sys/stat.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "archive/formats.h"
#include "archive/pack.h"
#include "graphics/decoders/decoders.h"
#include "listing.h"
#include "platform/fs.h"

using namespace sorv;

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: sorv-arc list ARCHIVE [--prefix N]\n"
               "       sorv-arc extract ARCHIVE [-o DIR] [--prefix N] [NAME...]\n"
               "       sorv-arc pack ARCHIVE [--prefix N] [-C DIR] [-c auto|store|lzss|spb] FILE...\n");
  return 2;
}

bool EndsWith(const std::string& s, const char* tail) {
  size_t n = std::strlen(tail);
  return s.size() >= n && NormaliseArchiveName(s.substr(s.size() - n)) == tail;
}

bool IsSv2(const std::string& path) { return arc::IsSv2Name(path); }

// The bytes of an entry as a file: stored bytes, LZSS unpacked, SPB as BMP.
bool Unpack(const FileSource& src, const arc::Item& it, std::vector<uint8_t>& out, std::string& why) {
  if (!arc::EntryFits(src, it)) {
    why = "entry reaches past the end of the archive";
    return false;
  }
  std::vector<uint8_t> stored(it.stored);
  if (!src.ReadAt(it.offset, stored.data(), stored.size())) {
    why = "entry reaches past the end of the archive";
    return false;
  }
  if (it.kind == kSvaStored) {
    out = std::move(stored);
    return true;
  }
  if (it.kind == kSvaLzss) {
    if (LzssDecode(stored.data(), stored.size(), it.unpacked, out)) return true;
    why = "damaged LZSS data";
    return false;
  }
  Surface s;
  if (it.kind == kSvaSpb && DecodeSpb(stored.data(), stored.size(), s)) {
    out = EncodeBmp(s);
    return true;
  }
  why = it.kind == kSvaSpb ? "damaged SPB data" : "unknown compression kind";
  return false;
}

int ParsePrefix(const char* text) {
  int n = std::atoi(text);
  return n < 0 || n > 3 ? -1 : n;
}

int List(int argc, char** argv) {
  if (argc < 1) return Usage();
  std::string path = argv[0];
  int prefix = 0;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--prefix") && i + 1 < argc) prefix = ParsePrefix(argv[++i]);
    else return Usage();
  }
  if (prefix < 0) return Usage();
  FileSource src(path);
  if (!src.Ok()) return std::fprintf(stderr, "sorv-arc: cannot open %s\n", path.c_str()), 1;
  std::string listing, errors;
  bool ok = arc::ListArchive(src, path, IsSv2(path), prefix, listing, errors);
  std::fputs(listing.c_str(), stdout);
  for (size_t at = 0; at < errors.size();) {
    size_t nl = errors.find('\n', at);
    std::fprintf(stderr, "sorv-arc: %s\n", errors.substr(at, nl - at).c_str());
    at = nl + 1;
  }
  return ok && errors.empty() ? 0 : 1;
}

bool MakeDirs(const std::string& path) {
  for (size_t i = 1; i < path.size(); ++i) {
    if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
  }
  return true;
}

// Keeps an extracted name inside the output directory.
bool SafeName(const std::string& name) {
  if (name.empty() || name[0] == '\\' || name[0] == '/') return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("\\/", start);
    std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return true;
}

int Extract(int argc, char** argv) {
  if (argc < 1) return Usage();
  std::string path = argv[0], outDir = ".";
  int prefix = 0;
  std::vector<std::string> wanted;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "-o") && i + 1 < argc) outDir = argv[++i];
    else if (!std::strcmp(argv[i], "--prefix") && i + 1 < argc) prefix = ParsePrefix(argv[++i]);
    else wanted.push_back(NormaliseArchiveName(argv[i]));
  }
  if (prefix < 0) return Usage();
  FileSource src(path);
  std::vector<arc::Item> items;
  if (!src.Ok()) return std::fprintf(stderr, "sorv-arc: cannot open %s\n", path.c_str()), 1;
  if (!arc::ReadIndex(src, IsSv2(path), prefix, items)) {
    return std::fprintf(stderr, "sorv-arc: %s\n", arc::DamagedMessage(path, "damaged index").c_str()), 1;
  }
  int status = 0;
  for (const arc::Item& it : items) {
    std::string key = NormaliseArchiveName(it.name);
    if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), key) == wanted.end()) continue;
    std::vector<uint8_t> data;
    std::string why;
    if (!SafeName(it.name)) why = "name leads outside the output directory";
    if (!why.empty() || !Unpack(src, it, data, why)) {
      std::fprintf(stderr, "sorv-arc: %s\n", arc::DamagedMessage(path, it.name + ": " + why).c_str());
      status = 1;
      continue;
    }
    std::string file = it.name;
    for (char& c : file) c = c == '\\' ? '/' : c;
    if (it.kind == kSvaSpb && !EndsWith(file, ".bmp")) file += ".bmp";
    std::string target = outDir + "/" + file;
    MakeDirs(target);
    std::string error;
    if (!platform::WriteFileAtomic(target, data.data(), data.size(), &error)) {
      std::fprintf(stderr, "sorv-arc: %s: %s\n", target.c_str(), error.c_str());
      status = 1;
    }
  }
  return status;
}

// SPB keeps 24 bits only: a paletted BMP keyed by palette index must stay one.
uint8_t AutoKind(const std::string& name, const std::vector<uint8_t>& file) {
  Surface s;
  if (EndsWith(name, ".bmp")) return DecodeBmp(file.data(), file.size(), s) && s.BitCount() == 24 ? kSvaSpb : kSvaLzss;
  for (const char* packed : {".png", ".jpg", ".jpeg", ".ogg", ".mp3", ".spb"}) {
    if (EndsWith(name, packed)) return kSvaStored;
  }
  return kSvaLzss;
}

int Pack(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string path = argv[0], root;
  int prefix = 0;
  int mode = -1;  // -1 auto
  std::vector<PackItem> items;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--prefix" && i + 1 < argc) {
      prefix = ParsePrefix(argv[++i]);
      if (prefix < 0) return Usage();
      continue;
    }
    if (a == "-C" && i + 1 < argc) {
      root = std::string(argv[++i]) + "/";
      continue;
    }
    if (a == "-c" && i + 1 < argc) {
      std::string m = argv[++i];
      mode = m == "auto" ? -1 : m == "store" ? kSvaStored : m == "lzss" ? kSvaLzss : m == "spb" ? kSvaSpb : -2;
      if (mode == -2) return Usage();
      continue;
    }
    auto bytes = platform::ReadWholeFile(root + a, 1ull << 31);
    if (!bytes) return std::fprintf(stderr, "sorv-arc: cannot read %s\n", (root + a).c_str()), 1;
    std::vector<uint8_t> file(bytes->begin(), bytes->end());
    std::string name = a;
    for (char& c : name) c = c == '/' ? '\\' : c;
    PackItem item;
    std::string why;
    if (IsSv2(path)) {
      item.name = name;
      item.data = std::move(file);
    } else if (!MakeSvaItem(name, file, mode == -1 ? AutoKind(name, file) : static_cast<uint8_t>(mode), item, &why)) {
      return std::fprintf(stderr, "sorv-arc: %s: %s\n", a.c_str(), why.c_str()), 1;
    }
    items.push_back(std::move(item));
  }
  std::vector<uint8_t> out = IsSv2(path) ? BuildSv2(items) : BuildSva(items, prefix);
  std::string error;
  if (!platform::WriteFileAtomic(path, out.data(), out.size(), &error)) {
    return std::fprintf(stderr, "sorv-arc: %s: %s\n", path.c_str(), error.c_str()), 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string cmd = argv[1];
  try {
    if (cmd == "list") return List(argc - 2, argv + 2);
    if (cmd == "extract") return Extract(argc - 2, argv + 2);
    if (cmd == "pack") return Pack(argc - 2, argv + 2);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "sorv-arc: out of memory\n");
    return 1;
  }
  return Usage();
}

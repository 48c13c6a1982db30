// Seed corpora of the record, merge, tag list and command-line fuzzers, in the inputs' own layouts,
// from the sample archive's record files and lines like those of the command-line tests.
// Usage: fuzz_seeds SAMPLE_DIR OUTPUT_DIR (the corpora go into OUTPUT_DIR/<fuzzer>_corpus).
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string g_output;

std::string ReadFile(const std::string& path) {
  std::string bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "fuzz_seeds: cannot read %s\n", path.c_str());
    std::exit(1);
  }
  char block[4096];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, got);
  std::fclose(file);
  return bytes;
}

void Seed(const std::string& fuzzer, const std::string& name, const std::string& bytes) {
  const std::string folder = g_output + "/" + fuzzer + "_corpus";
  mkdir(folder.c_str(), 0755);
  FILE* file = std::fopen((folder + "/" + name).c_str(), "wb");
  if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) std::exit(1);
  std::fclose(file);
}

std::string Word(unsigned value) { return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)}; }
std::string Byte(unsigned value) { return std::string(1, static_cast<char>(value)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string sample = argv[1];
  g_output = argv[2];
  struct RecordFile {
    const char* path;
    int kind;  // input byte: 0 archive.dat, 1 archive.dir, 2 archive.add
  };
  const RecordFile files[] = {{"/connect/archive.dat", 1}, {"/connect/archive.dir", 2}, {"/connect/archive.add", 3},
                              {"/connect/config/archive.dat", 1}};
  const std::string root = "\\\\ZELVAR1\\SYS\\zelvar\\ARCHIVE\\SYSTEM\\connect";
  std::string boundRoot;
  while (boundRoot.size() < 260) boundRoot += "\\level";
  boundRoot.resize(260);
  int n = 0;
  for (const RecordFile& file : files) {
    const std::string bytes = ReadFile(sample + file.path);
    const std::string id = std::to_string(n++);
    // Records: whole 4096-byte blocks with a server root, and varying blocks with a root at the bound.
    Seed("fuzz_records", "blocks4096_" + id, Byte(file.kind) + Word(36995) + Byte(root.size()) + root + bytes);
    Seed("fuzz_records", "bound_" + id, Byte(file.kind) + Word(1000) + Byte(0xF0) + boundRoot + bytes);
    // Tag lists: each record's list, read, rewritten and cut down.
    for (size_t at = 0; at + 430 <= bytes.size() && at < 3 * 430; at += 430) {
      const std::string tags = bytes.substr(at + 112, 263);
      const std::string path = "\\\\SRV\\SYS\\zelvar\\ARCHIVE\\x";
      Seed("fuzz_tag_list", "record" + id + "_" + std::to_string(at / 430),
           Byte(0) + tags + Byte(0x80) + Byte(3) + Byte(200) + Byte(2) + Byte(3) + Byte(16 + 90) +
               Byte(path.size()) + path + Byte(1) + Byte(1) + Byte(0x80) + Byte(4) + Byte(10));
    }
  }
  // Merge: F:\archive\system\connect with the sample's records in the target and above it.
  const std::string add = ReadFile(sample + "/connect/archive.add");
  const std::string dir = ReadFile(sample + "/connect/archive.dir");
  const std::string tree = Byte(2) + Byte(0) + Byte(2) + Byte(3);
  Seed("fuzz_record_merge", "unc_root", tree + Byte(0x0F) + Byte(0x02) + Word(add.size()) + add + Word(dir.size()) + dir +
                                            Word(dir.size()) + dir + Word(430) + dir.substr(0, 430) + Byte(0) + "Verbindung");
  Seed("fuzz_record_merge", "volume_root", tree + Byte(0x05) + Byte(0) + Word(add.size()) + add + Word(0) +
                                               Word(dir.size()) + dir + Word(0) + Byte(1) + "Connect");
  Seed("fuzz_record_merge", "long_levels", Byte(1) + Byte(0) + Byte(250) + Byte(0x03) + Byte(0) + Word(add.size()) + add +
                                               Word(dir.size()) + dir + Word(0) + Byte(0x40));
  // Command lines: interactive, setup-call options, the whole start with a control text.
  const char* const lines[] = {
      "  -a \"Mein Archiv\"\t/d C:\\zelvar\\archive\\neu first.zpk second.zpk",
      "\"C:\\Program Files\\a \"\"b\"\".zpk\"-d \"C:\\x y\"",
      "-D C:\\upper -A Upper -dC:\\ignored C:\\target - swallowed src.zpk -a",
      "-I1234 -P \\\\SRV\\SYS\\zelvar -q C:\\a.zpk -SSRV -V SYS -Z \"C:\\zelvar\\archive\\mit blank\" -H 5",
      "-H1 -I1",
  };
  const std::string control = "-Q\"C:\\setup\\connect.zpk\" -Z C:\\zelvar\\ARCHIVE\\SYSTEM\\connect";
  n = 0;
  for (const char* line : lines) {
    for (int mode = 0; mode < 4; ++mode) {
      Seed("fuzz_command_line", "line" + std::to_string(n) + "_mode" + std::to_string(mode),
           Byte(mode) + Byte(mode == 1 ? 7 : 0) + line + std::string(1, '\0') + control);
    }
    ++n;
  }
  return 0;
}

// Fuzzer: GetTagText, SetTagText and DeleteTag on an arbitrary area (the 263 bytes of a record's
// list, sometimes a smaller size) with arbitrary tags, texts, bounds and output buffers, each result
// checked against the plain model of the list. The area and every output buffer are heap blocks of
// exactly their size, so that a byte touched outside them is caught by AddressSanitizer.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "discovery/tag_list.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/tag_list_model.h"

namespace {

constexpr size_t kAreaSize = 263;
constexpr int kMaxOperations = 24;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zfuzz::Input input(data, size);
  const uint8_t sizeChoice = input.Byte();
  const size_t areaSize = (sizeChoice & 0x80) != 0 ? sizeChoice % 32 : kAreaSize;
  std::unique_ptr<char[]> area(new char[areaSize > 0 ? areaSize : 1]);
  const std::string initial = input.Bytes(areaSize);
  std::memset(area.get(), 0, areaSize);
  std::memcpy(area.get(), initial.data(), initial.size());

  zfuzz::TagListModel model = zfuzz::ParseTagList(area.get(), areaSize);
  for (int n = 0; n < kMaxOperations && !input.Empty(); ++n) {
    const uint8_t operation = input.Byte();
    const unsigned char tag = input.Byte();
    switch (operation % 3) {
      case 0: {  // GetTagText, with or without an output buffer of any size
        const size_t outputSize = input.Byte() + (operation & 0x40 ? 256u : 0u);
        const bool withOutput = (operation & 0x80) != 0;
        std::unique_ptr<char[]> output(withOutput && outputSize > 0 ? new char[outputSize] : nullptr);
        if (output) std::memset(output.get(), 'X', outputSize);
        const char* text = GetTagText(area.get(), areaSize, tag, output.get(), withOutput ? outputSize : 0);
        const std::string expected = model.Get(tag);
        FUZZ_EXPECT(text != nullptr && expected == text);
        if (output) {
          const size_t kept = expected.size() < outputSize - 1 ? expected.size() : outputSize - 1;
          FUZZ_EXPECT(std::memcmp(output.get(), expected.data(), kept) == 0 && output[kept] == '\0');
        }
        break;
      }
      case 1:
        DeleteTag(area.get(), areaSize, tag);
        model.Delete(tag);
        break;
      default: {
        const int maxChars = static_cast<int>(input.Byte()) - 16;
        const std::string text = input.Text(input.Byte() + (operation & 0x80 ? 200u : 0u));
        const char* stored = SetTagText(area.get(), areaSize, text.c_str(), maxChars, tag);
        const long at = model.Set(areaSize, text, maxChars, tag);
        if (at < 0) FUZZ_EXPECT(stored == nullptr);
        if (at == 0) FUZZ_EXPECT(stored != nullptr);
        if (at > 0) FUZZ_EXPECT(stored == area.get() + at);
        break;
      }
    }
    FUZZ_EXPECT(zfuzz::ParseTagList(area.get(), areaSize) == model);
  }
  return 0;
}

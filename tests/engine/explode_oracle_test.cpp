// The explode decoder and the implode encoder against independent implementations of the format
// (Debian's libstorm and libdynamite): streams of one side must decode on the other.
#include <gtest/gtest.h>

#include <StormLib.h>

extern "C" {
#include <libdynamite.h>
}

#include "engine/explode.h"
#include "tests/engine/explode_support.h"
#include "tools/zpack/implode.h"

using namespace explode_test;

namespace {

Bytes StormImplode(const Bytes& data) {
  Bytes out(data.size() * 2 + 64);
  int outSize = static_cast<int>(out.size());
  Bytes in = data;
  if (!SCompImplode(out.data(), &outSize, in.data(), static_cast<int>(in.size()))) return {};
  out.resize(outSize);
  return out;
}

// SCompExplode copies instead of decoding when the output capacity equals the stream size, and
// refuses a capacity below it: offer more than both.
bool StormExplode(const Bytes& stream, size_t expectedSize, Bytes* out) {
  const size_t capacity = std::max(expectedSize, stream.size()) + 1;
  out->assign(capacity, 0);
  int outSize = static_cast<int>(capacity);
  Bytes in = stream;
  if (!SCompExplode(out->data(), &outSize, in.data(), static_cast<int>(in.size()))) return false;
  out->resize(outSize);
  return true;
}

struct DynamiteIo {
  const Bytes* in;
  size_t offset;
  Bytes out;
};

size_t DynamiteRead(void* buffer, size_t size, void* cookie) {
  DynamiteIo* io = static_cast<DynamiteIo*>(cookie);
  const size_t n = std::min(size, io->in->size() - io->offset);
  std::memcpy(buffer, io->in->data() + io->offset, n);
  io->offset += n;
  return n;
}

size_t DynamiteWrite(void* buffer, size_t size, void* cookie) {
  DynamiteIo* io = static_cast<DynamiteIo*>(cookie);
  const uint8_t* p = static_cast<const uint8_t*>(buffer);
  io->out.insert(io->out.end(), p, p + size);
  return size;
}

std::vector<Bytes> Inputs() {
  std::vector<Bytes> inputs;
  for (uint32_t seed = 0; seed < 12; ++seed) {
    const size_t size = 1 + (seed * 7919u) % 60000;
    inputs.push_back(MakeText(size, seed));
    inputs.push_back(MakeMixed(size, seed + 100));
    inputs.push_back(MakeRandom(size / 4 + 1, seed + 200));
  }
  inputs.push_back(Bytes(100000, 'A'));
  inputs.push_back(MakeText(300000, 300));
  return inputs;
}

}  // namespace

TEST(ExplodeOracle, StormImplodeStreamsDecodeToTheirInput) {
  for (const Bytes& data : Inputs()) {
    const Bytes stream = StormImplode(data);
    ASSERT_FALSE(stream.empty());
    if (stream.size() < 5) continue;  // too short for the first read
    for (size_t chunk : {size_t(2048), size_t(333)}) {
      const Outcome run = Explode(stream.data(), stream.size(), [chunk](int) { return chunk; });
      ASSERT_EQ(run.result, ExplodeOk) << data.size();
      ASSERT_EQ(run.output, data) << data.size();
    }
  }
}

TEST(ExplodeOracle, OurStreamsDecodeWithStormExplodeAndDynamite) {
  for (const Bytes& data : Inputs()) {
    for (ImplodeLiteralMode mode : {ImplodeBinary, ImplodeAscii}) {
      for (unsigned dictionary : {1024u, 2048u, 4096u}) {
        const Bytes stream = ImplodeBuffer(data.data(), data.size(), mode, dictionary);
        Bytes stormOut;
        ASSERT_TRUE(StormExplode(stream, data.size(), &stormOut)) << "mode " << mode << " dict " << dictionary << " size " << data.size() << " stream " << stream.size();
        ASSERT_EQ(stormOut, data) << "mode " << mode << " dict " << dictionary << " size " << data.size();
        if (mode == ImplodeAscii) continue;  // libdynamite decodes binary mode only
        DynamiteIo io{&stream, 0, {}};
        ASSERT_EQ(dynamite_explode(DynamiteRead, DynamiteWrite, &io), DYNAMITE_SUCCESS);
        ASSERT_EQ(io.out, data) << "mode " << mode << " dict " << dictionary << " size " << data.size();
      }
    }
  }
}

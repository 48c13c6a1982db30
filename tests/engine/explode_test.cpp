// The explode decoder: worked streams, header checks, blocking and callback rhythm, round trips with
// the zpack encoder, chunked and truncated input, misbehaving callbacks, and the code tables.
#include <gtest/gtest.h>

#include "engine/explode.h"
#include "engine/explode_tables.h"
#include "tests/engine/explode_support.h"
#include "tools/zpack/implode.h"

using namespace explode_test;

namespace {

const unsigned kDictionaries[] = {1024, 2048, 4096};
const ImplodeLiteralMode kModes[] = {ImplodeBinary, ImplodeAscii};

std::vector<uint32_t> ExpectedWrites(size_t total) {
  std::vector<uint32_t> writes(total / 4096, 4096);
  writes.push_back(static_cast<uint32_t>(total % 4096));
  return writes;
}

}  // namespace

TEST(ExplodeWorkedStreams, DecodeWithOneWriteAndOneEmptyReadBehind) {
  const struct {
    Bytes stream;
    Bytes output;
  } cases[] = {
      {{0x00, 0x04, 0xC2, 0x88, 0x19, 0x2B, 0x4B, 0xC0, 0x3F}, {0x61, 0x62, 0x63, 0x61, 0x62, 0x63, 0x61, 0x62, 0x63, 0x61}},
      {{0x01, 0x06, 0x0E, 0x93, 0x51, 0x16, 0x02, 0xFE, 0x01}, {0x61, 0x62, 0x63, 0x61, 0x62, 0x63, 0x61, 0x62, 0x63, 0x61}},
      {{0x01, 0x06, 0x62, 0xF1, 0x1E, 0x48, 0x06, 0xFC, 0x03}, {0x41, 0x41, 0x41, 0x41, 0x00}},
  };
  for (const auto& c : cases) {
    const Outcome run = Explode(c.stream);
    EXPECT_EQ(run.result, ExplodeOk);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.events, "rrw");  // the second read returns 0 and the marker still ends the stream
    EXPECT_FALSE(run.readAfterEnd);
    EXPECT_FALSE(run.badCapacity);
  }
}

TEST(ExplodeHeader, DictionaryIsCheckedBeforeModeAndShortFirstReadsFail) {
  const struct {
    Bytes stream;
    ExplodeResult result;
  } cases[] = {
      {{0x02, 0x07, 0x01, 0xFF, 0x00}, ExplodeBadDictionarySize},
      {{0x02, 0x06, 0x01, 0xFF, 0x00}, ExplodeBadLiteralMode},
      {{0x00, 0x03, 0x01, 0xFF, 0x00}, ExplodeBadDictionarySize},
      {{0x01, 0x07, 0x01, 0xFF, 0x00}, ExplodeBadDictionarySize},
      {{0xFF, 0x04, 0x01, 0xFF, 0x00}, ExplodeBadLiteralMode},
      {{0x00, 0x04, 0x01, 0xFF}, ExplodeInputTooShort},  // header and a complete end marker
      {{}, ExplodeInputTooShort},
      {{0x00}, ExplodeInputTooShort},
  };
  for (const auto& c : cases) {
    const Outcome run = Explode(c.stream);
    EXPECT_EQ(run.result, c.result);
    EXPECT_TRUE(run.writes.empty());
    EXPECT_EQ(run.reads, 1);
  }
  // Only the first read counts: 4 bytes then more is still too short.
  const Bytes longer = {0x00, 0x04, 0x01, 0xFF, 0x00, 0x00};
  const Outcome split = Explode(longer.data(), longer.size(), [](int) { return size_t(4); });
  EXPECT_EQ(split.result, ExplodeInputTooShort);
  EXPECT_EQ(split.reads, 1);
}

TEST(ExplodeHeader, MarkerWithOneByteBehindEndsWithoutFurtherRead) {
  for (uint8_t mode : {0, 1}) {
    const Outcome run = Explode(Bytes{mode, 0x04, 0x01, 0xFF, 0x00});
    EXPECT_EQ(run.result, ExplodeOk);
    EXPECT_EQ(run.writes, std::vector<uint32_t>{0});
    EXPECT_EQ(run.events, "rw");
  }
}

TEST(ExplodeBlocks, OutputLeavesInBlocksOf4096ThenOneShorter) {
  for (size_t size : {size_t(4095), size_t(4096), size_t(4097), size_t(8192), size_t(10000), size_t(3 * 4096 + 1)}) {
    const Bytes data = MakeMixed(size, static_cast<uint32_t>(size));
    const Bytes stream = ImplodeBuffer(data.data(), data.size(), ImplodeBinary, 4096);
    const Outcome run = Explode(stream);
    EXPECT_EQ(run.result, ExplodeOk);
    EXPECT_EQ(run.output, data);
    EXPECT_EQ(run.writes, ExpectedWrites(size)) << size;
  }
}

TEST(ExplodeBlocks, RepetitionsAcrossTheBlockEdgeAndAtFullDistance) {
  // 4094 literals, then a 518-byte run that fills the block past 8192, then copies reaching back
  // exactly 4096 bytes right after the window has moved.
  StreamWriter s(0, 6);
  Bytes expected;
  for (int i = 0; i < 4094; ++i) {
    s.Literal(static_cast<uint8_t>(i * 7));
    expected.push_back(static_cast<uint8_t>(i * 7));
  }
  s.Repetition(518, 1);
  expected.insert(expected.end(), 518, expected.back());
  for (int i = 0; i < 3; ++i) {
    s.Repetition(300, 4096);
    for (int j = 0; j < 300; ++j) expected.push_back(expected[expected.size() - 4096]);
  }
  const Outcome run = Explode(s.End());
  EXPECT_EQ(run.result, ExplodeOk);
  EXPECT_EQ(run.output, expected);
  EXPECT_EQ(run.writes, ExpectedWrites(expected.size()));
}

TEST(ExplodeBlocks, LongestRepetitionsFromTheLastPositionBeforeTheEdgeEndAtTheReserveEnd) {
  // 4095 literals put the next repetition at window position 8191: 518 bytes then end on the
  // reserve's last byte, for every way of copying (the sanitizer builds guard the window's end).
  for (uint32_t distance : {1u, 3u, 8u, 16u, 100u}) {
    StreamWriter s(0, 6);
    Bytes expected;
    for (int i = 0; i < 4095; ++i) {
      s.Literal(static_cast<uint8_t>(i * 7));
      expected.push_back(static_cast<uint8_t>(i * 7));
    }
    s.Repetition(518, distance);
    for (int j = 0; j < 518; ++j) expected.push_back(expected[expected.size() - distance]);
    const Outcome run = Explode(s.End());
    EXPECT_EQ(run.result, ExplodeOk) << distance;
    EXPECT_EQ(run.output, expected) << distance;
  }
}

TEST(ExplodeRepetitions, ShortDistancesRepeatPatternsAndLengthTwoUsesTwoLowBits) {
  StreamWriter s(0, 4);
  Bytes expected;
  auto literal = [&](uint8_t v) {
    s.Literal(v);
    expected.push_back(v);
  };
  auto repetition = [&](unsigned length, unsigned distance) {
    s.Repetition(length, distance);
    for (unsigned i = 0; i < length; ++i) expected.push_back(expected[expected.size() - distance]);
  };
  for (int i = 0; i < 200; ++i) literal(static_cast<uint8_t>(i));
  literal('a');
  literal('b');
  literal('c');
  repetition(7, 3);  // abc abc a
  literal('x');
  repetition(518, 1);  // the last byte 518 times
  repetition(2, 256);  // length 2: 256 back although k is 4
  for (int i = 0; i < 300; ++i) literal(static_cast<uint8_t>(i * 3));
  repetition(9, 1024);  // the largest distance with k = 4, into the first 200 bytes
  const Outcome run = Explode(s.End());
  EXPECT_EQ(run.result, ExplodeOk);
  EXPECT_EQ(Bytes(expected.begin() + 200, expected.begin() + 210),
            (Bytes{'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c', 'a'}));
  EXPECT_EQ(run.output, expected);
}

TEST(ExplodeRepetitions, ReachingBeforeTheFirstByteReadsZerosWhateverTheWorkAreaHeld) {
  StreamWriter s(1, 6);
  s.Repetition(10, 4096);
  s.Literal('z');
  s.Repetition(3, 2);
  const Outcome run = Explode(s.End());
  EXPECT_EQ(run.result, ExplodeOk);
  Bytes expected(10, 0);
  expected.insert(expected.end(), {'z', 0, 'z', 0});
  EXPECT_EQ(run.output, expected);
}

TEST(ExplodeRoundTrip, AllModesAndDictionariesInAnyChunking) {
  std::vector<Bytes> inputs = {Bytes{}, Bytes{0x42}, MakeText(4095, 1), MakeText(4096, 2), MakeMixed(4097, 3),
                               MakeMixed(8192, 4), Bytes(70000, 0), Bytes(5000, 0xFF), MakeRandom(9000, 5),
                               MakeText(30000, 6), MakeMixed(50000, 7)};
  Bytes everyByte;
  std::mt19937 rng(8);
  for (int round = 0; round < 8; ++round) {
    Bytes values(256);
    for (int v = 0; v < 256; ++v) values[v] = static_cast<uint8_t>(v);
    std::shuffle(values.begin(), values.end(), rng);
    everyByte.insert(everyByte.end(), values.begin(), values.end());
  }
  inputs.push_back(everyByte);  // every literal code, followed by varied bits
  std::mt19937 chunkRng(9);
  // The first read must bring the header and 3 more bytes; after that any split must do.
  const std::function<size_t(int)> chunkings[] = {
      [](int) { return size_t(2048); }, [](int i) { return size_t(i == 0 ? 5 : 1); },
      [](int) { return size_t(7); }, [](int i) { return size_t(i % 2 ? 2047 : 5); },
      [&chunkRng](int i) { return size_t(i == 0 ? 5 : 1 + chunkRng() % 2048); }};
  for (ImplodeLiteralMode mode : kModes) {
    for (unsigned dictionary : kDictionaries) {
      for (const Bytes& data : inputs) {
        const Bytes stream = ImplodeBuffer(data.data(), data.size(), mode, dictionary);
        ASSERT_GE(stream.size(), 4u);
        EXPECT_EQ(stream[0], mode);
        for (const auto& chunk : chunkings) {
          const Outcome run = Explode(stream.data(), stream.size(), chunk);
          ASSERT_EQ(run.result, ExplodeOk) << "mode " << mode << " dict " << dictionary << " size " << data.size();
          ASSERT_EQ(run.output, data) << "mode " << mode << " dict " << dictionary << " size " << data.size();
          EXPECT_EQ(run.writes, ExpectedWrites(data.size()));
          EXPECT_FALSE(run.readAfterEnd);
          EXPECT_FALSE(run.badCapacity);
        }
      }
    }
  }
}

TEST(ExplodeRoundTrip, EncoderKeepsTheFormatLimits) {
  // Long runs and repeats compress well, random data stays near its size.
  const Bytes zeros(100000, 0);
  EXPECT_LT(ImplodeBuffer(zeros.data(), zeros.size(), ImplodeBinary, 4096).size(), 800u);
  const Bytes random = MakeRandom(20000, 11);
  EXPECT_LT(ImplodeBuffer(random.data(), random.size(), ImplodeBinary, 1024).size(), 20000u * 9 / 8 + 8);
  const Bytes text = MakeText(50000, 12);
  EXPECT_LT(ImplodeBuffer(text.data(), text.size(), ImplodeAscii, 4096).size(), 50000u / 3);
  EXPECT_THROW(ImplodeBuffer(text.data(), text.size(), ImplodeAscii, 8192), std::invalid_argument);
}

TEST(ExplodeTruncation, EveryCutDeliversExactlyTheTokensThatCouldBeReadThenFails) {
  const Bytes inputs[] = {MakeText(3000, 21), MakeMixed(9000, 22)};
  for (ImplodeLiteralMode mode : kModes) {
    for (const Bytes& data : inputs) {
      std::vector<ImplodeTokenMark> marks;
      const Bytes stream = ImplodeBuffer(data.data(), data.size(), mode, 2048, &marks);
      for (size_t cut = 0; cut < stream.size(); ++cut) {
        const Outcome run = Explode(stream.data(), cut, [cut](int i) { return i % 2 ? size_t(3) : size_t(2048); });
        if (cut <= 4) {
          EXPECT_EQ(run.result, ExplodeInputTooShort);
          EXPECT_TRUE(run.writes.empty());
          continue;
        }
        // A token is taken only when 8 more bits stand behind it.
        size_t expected = 0;
        for (const ImplodeTokenMark& m : marks) {
          if (m.endBit + 8 <= 8 * (cut - 2)) expected = m.outputEnd;
        }
        ASSERT_EQ(run.result, ExplodeStreamError) << cut;
        ASSERT_EQ(run.output.size(), expected) << cut;
        ASSERT_TRUE(std::equal(run.output.begin(), run.output.end(), data.begin())) << cut;
        EXPECT_EQ(run.writes, ExpectedWrites(expected));
        EXPECT_FALSE(run.readAfterEnd);
      }
    }
  }
}

TEST(ExplodeCallbacks, ReadsComeOnlyWhenTheInputIsUsedUpAndStopOnZero) {
  const Bytes data = MakeText(20000, 31);
  const Bytes stream = ImplodeBuffer(data.data(), data.size(), ImplodeAscii, 4096);
  const Outcome whole = Explode(stream);
  EXPECT_EQ(whole.reads, static_cast<int>((stream.size() + 2047) / 2048) + 1);
  // A reader that stops the work after two blocks: the block being filled is still written.
  const Outcome stopped = Explode(stream.data(), stream.size(), [](int i) { return i < 2 ? size_t(2048) : size_t(0); });
  EXPECT_EQ(stopped.result, ExplodeStreamError);
  EXPECT_EQ(stopped.reads, 3);
  EXPECT_FALSE(stopped.readAfterEnd);
  ASSERT_FALSE(stopped.writes.empty());
  EXPECT_GT(stopped.output.size(), 4096u);
  EXPECT_TRUE(std::equal(stopped.output.begin(), stopped.output.end(), data.begin()));
  EXPECT_EQ(stopped.events.back(), 'w');
}

TEST(ExplodeCallbacks, ACountAboveTheCapacityIsClamped) {
  const Bytes data = MakeRandom(10000, 41);
  const Bytes stream = ImplodeBuffer(data.data(), data.size(), ImplodeBinary, 4096);
  ASSERT_GT(stream.size(), 3 * 2048u);
  for (uint32_t overstate : {1u, 2048u, 0x7FFFFFFFu}) {
    const Outcome run = Explode(stream.data(), stream.size(), [](int) { return size_t(2048); }, nullptr, overstate);
    EXPECT_EQ(run.result, ExplodeOk);
    EXPECT_EQ(run.output, data);
  }
}

TEST(ExplodeCallbacks, TheWorkAreaCarriesNothingFromOneCallToTheNext) {
  const Bytes text = MakeText(12000, 51);
  const Bytes mixed = MakeMixed(12000, 52);
  ExplodeWorkArea area;
  std::memset(&area, 0x5A, sizeof area);
  const Bytes a = ImplodeBuffer(text.data(), text.size(), ImplodeAscii, 4096);
  const Bytes b = ImplodeBuffer(mixed.data(), mixed.size(), ImplodeBinary, 1024);
  StreamWriter early(0, 6);
  early.Repetition(20, 4000);  // reaches before the start: must not see the previous call's bytes
  const Bytes c = early.End();
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(Explode(a.data(), a.size(), [](int) { return size_t(2048); }, &area).output, text);
    EXPECT_EQ(Explode(b.data(), b.size(), [](int) { return size_t(100); }, &area).output, mixed);
    EXPECT_EQ(Explode(c.data(), c.size(), [](int) { return size_t(2048); }, &area).output, Bytes(20, 0));
  }
}

TEST(ExplodeCorruptInput, ArbitraryBitsDecodeSafelyAndEndWithinTheRules) {
  std::mt19937 rng(61);
  for (int i = 0; i < 400; ++i) {
    Bytes stream = MakeRandom(5 + rng() % 6000, rng());
    stream[0] = static_cast<uint8_t>(rng() % 2);
    stream[1] = static_cast<uint8_t>(4 + rng() % 3);
    const size_t chunk = 1 + rng() % 2048;
    const Outcome run = Explode(stream.data(), stream.size(), [chunk](int i) { return i == 0 ? size_t(2048) : chunk; });
    ASSERT_TRUE(run.result == ExplodeOk || run.result == ExplodeStreamError);
    ASSERT_FALSE(run.writes.empty());
    for (size_t w = 0; w + 1 < run.writes.size(); ++w) ASSERT_EQ(run.writes[w], 4096u);
    ASSERT_LT(run.writes.back(), 4096u);
    ASSERT_FALSE(run.readAfterEnd);
    // Every 8 input bits yield at most one token of at most 518 bytes.
    ASSERT_LE(run.output.size(), stream.size() * 8 * 518 / 9 + 518);
  }
}

TEST(ExplodeTables, CodesFollowTheCanonicalRuleAndFormCompletePrefixCodes) {
  // Canonical codes by (length, symbol), bits inverted, most significant bit sent first.
  auto check = [](const uint8_t* lengths, auto values, int count) {
    std::vector<int> order(count);
    for (int i = 0; i < count; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return lengths[a] < lengths[b]; });
    uint32_t code = 0;
    uint32_t previous = lengths[order[0]];
    double kraft = 0;
    for (int n = 0; n < count; ++n) {
      const int s = order[n];
      if (n > 0) code = (code + 1) << (lengths[s] - previous);
      previous = lengths[s];
      uint32_t sent = 0;
      for (uint32_t bit = 0; bit < lengths[s]; ++bit) sent |= ((~code >> (lengths[s] - 1 - bit)) & 1u) << bit;
      EXPECT_EQ(sent, static_cast<uint32_t>(values[s])) << "symbol " << s;
      kraft += 1.0 / (1u << lengths[s]);
    }
    EXPECT_EQ(kraft, 1.0);
  };
  check(kExplodeLengthCodeLengths, kExplodeLengthCodeValues, 16);
  check(kExplodeDistanceCodeLengths, kExplodeDistanceCodeValues, 64);
  check(kExplodeAsciiCodes.length, kExplodeAsciiCodes.value, 256);
  const struct {
    uint8_t symbol, length;
    uint16_t value;
  } rows[] = {{0x20, 4, 0x0F}, {0x61, 5, 0x07}, {0x65, 5, 0x1B}, {0x0A, 7, 0x62},
              {0x0D, 7, 0x22}, {0x00, 11, 0x490}, {0xFF, 13, 0x000}};
  for (const auto& r : rows) {
    EXPECT_EQ(kExplodeAsciiCodes.length[r.symbol], r.length);
    EXPECT_EQ(kExplodeAsciiCodes.value[r.symbol], r.value);
  }
  int histogram[14] = {};
  for (int v = 0; v < 256; ++v) ++histogram[kExplodeAsciiCodes.length[v]];
  const int expected[14] = {0, 0, 0, 0, 1, 11, 20, 21, 16, 7, 5, 10, 91, 74};
  for (int n = 0; n < 14; ++n) EXPECT_EQ(histogram[n], expected[n]) << n;
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <set>
#include <string>

#include "framework/Classes.h"
#include "localizer/kutils/kcompress.h"
#include "lzk_reference.h"

using namespace kutils;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Header() {
    return {'L', 'Z', 'K', '0', '0', 0, 0, 0, 0};
}

Bytes Block(std::initializer_list<uint8_t> tokens) {
    Bytes b = Header();
    b.insert(b.end(), tokens);
    return b;
}

struct Rng {
    uint64_t s;
    uint32_t Next() {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(s >> 33);
    }
    uint32_t Below(uint32_t n) { return Next() % n; }
};

// Inputs of different character: text, language-file-like records, noise, long runs, and
// mixtures that switch between them (which exercises the literal/match boundaries).
Bytes Generate(int kind, size_t size, uint64_t seed) {
    Rng r{seed};
    static const char* words[] = {"the",    "form", "caption", "Cancel",   "language", "file", "&Open", "value",
                                  "Vantra", "Pro",  "error",   "settings", "of",       "a",    "to",    "resource"};
    Bytes out;
    while (out.size() < size) {
        int k = kind == 4 ? static_cast<int>(r.Below(4)) : kind;
        switch (k) {
            case 0: {  // text
                const char* w = words[r.Below(16)];
                out.insert(out.end(), w, w + std::strlen(w));
                out.push_back(r.Below(9) == 0 ? '\n' : ' ');
                break;
            }
            case 1: {  // record: id, length, UTF-16 text
                uint32_t id = 65000 + r.Below(300);
                for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(id >> (8 * i)));
                const char* w = words[r.Below(16)];
                uint16_t len = static_cast<uint16_t>(std::strlen(w));
                out.push_back(static_cast<uint8_t>(len));
                out.push_back(0);
                for (uint16_t i = 0; i < len; ++i) {
                    out.push_back(static_cast<uint8_t>(w[i]));
                    out.push_back(0);
                }
                break;
            }
            case 2:  // noise
                for (int i = 0; i < 37; ++i) out.push_back(static_cast<uint8_t>(r.Next()));
                break;
            case 3: {  // runs, short period patterns
                uint8_t v = static_cast<uint8_t>(r.Next());
                uint32_t period = 1 + r.Below(4), n = 1 + r.Below(300);
                for (uint32_t i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v + i % period));
                break;
            }
        }
    }
    out.resize(size);
    return out;
}

// 300 bytes in which no 3-byte sequence occurs twice.
Bytes NoRepeatedTriples() {
    Bytes out = {0, 0};
    std::set<uint32_t> seen;
    Rng r{7};
    while (out.size() < 300) {
        for (;;) {
            uint8_t c = static_cast<uint8_t>(r.Next());
            uint32_t t = out[out.size() - 2] | (out[out.size() - 1] << 8) | (c << 16);
            if (seen.insert(t).second) {
                out.push_back(c);
                break;
            }
        }
    }
    return out;
}

// The message of the EKCompressError f raises.
template <class F>
std::string ErrorText(F&& f) {
    try {
        f();
    } catch (const EKCompressError& e) {
        return e.Message();
    }
    return "(no EKCompressError)";
}

}  // namespace

TEST(LzkEncode, SourceWithoutRepeatsIsThreeLiteralRuns) {
    Bytes src = NoRepeatedTriples();
    Bytes block = LzkCompress(src);
    ASSERT_EQ(block.size(), 312u);
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 9), Header());
    EXPECT_EQ(block[9], 254);
    EXPECT_EQ(block[9 + 128], 254);
    EXPECT_EQ(block[9 + 256], 92);
    EXPECT_TRUE(std::equal(src.begin(), src.begin() + 127, block.begin() + 10));
    EXPECT_TRUE(std::equal(src.begin() + 127, src.begin() + 254, block.begin() + 138));
    EXPECT_TRUE(std::equal(src.begin() + 254, src.end(), block.begin() + 266));
    EXPECT_EQ(LzkDecompress(block), src);
}

TEST(LzkEncode, TwentyEqualBytes) {
    Bytes src(20, 'v');
    EXPECT_EQ(LzkCompress(src), Block({0x02, 'v', 0x03, 0xF0, 0x02, 'v'}));
    EXPECT_EQ(LzkCompress({}), Header());
}

TEST(LzkEncode, HeaderValueIsWrittenAndKept) {
    TLZKCompressor c;
    fw::TMemoryStream src, dst, back;
    src.WriteString("abcabcabc");
    src.SetPosition(3);  // compression starts at the source's position
    c.SourceStream = &src;
    c.DestStream = &dst;
    c.HeaderValue = 0x04030201;
    c.Compress();
    EXPECT_EQ(dst.Bytes(), Bytes({'L', 'Z', 'K', '0', '0', 1, 2, 3, 4, 0x06, 'a', 'b', 'c', 0x07, 0x00}));

    TLZKCompressor d;
    dst.SetPosition(0);
    d.SourceStream = &dst;
    d.DestStream = &back;
    d.Decompress();
    EXPECT_EQ(d.HeaderValue, 0x04030201u);
    EXPECT_EQ(back.Bytes(), Bytes({'a', 'b', 'c', 'a', 'b', 'c'}));
}

// The fast encoder must make exactly the choices of the plain sliding-window encoder, and its
// output must be a fixed point of decode + encode.
TEST(LzkEncode, MatchesPlainEncoderAndReencodesIdentically) {
    const size_t sizes[] = {0,   1,   2,   3,    4,    17,   18,   19,   126,  127,  128,  129,  130,
                            254, 255, 256, 2045, 2047, 2048, 2049, 2174, 2175, 2176, 4096, 5000, 70001};
    int cases = 0;
    for (int kind = 0; kind < 5; ++kind) {
        for (size_t size : sizes) {
            Bytes src = Generate(kind, size, 1000 * kind + size);
            Bytes block = LzkCompress(src);
            ASSERT_EQ(block, lzkref::Compress(src)) << "kind " << kind << " size " << size;
            Bytes plain = LzkDecompress(block);
            ASSERT_EQ(plain, src) << "kind " << kind << " size " << size;
            ASSERT_EQ(LzkCompress(plain), block) << "kind " << kind << " size " << size;
            ++cases;
        }
    }
    // Larger inputs cross the internal buffer refills several times.
    for (int kind = 0; kind < 5; ++kind) {
        Bytes src = Generate(kind, 300000 + kind * 4099, 77 + kind);
        Bytes block = LzkCompress(src);
        ASSERT_EQ(block, lzkref::Compress(src)) << "kind " << kind;
        ASSERT_EQ(LzkDecompress(block), src);
        ++cases;
    }
    EXPECT_EQ(cases, 5 * 26 + 5);
}

TEST(LzkEncode, MatchLimitsHold) {
    // Long repetitive input: every match token obeys 1 <= d, d + L <= 2048.
    Bytes src = Generate(4, 200000, 5);
    Bytes block = LzkCompress(src);
    size_t pos = 9, matches = 0;
    while (pos < block.size()) {
        uint8_t b = block[pos++];
        if (b & 1) {
            uint32_t w = b | (block[pos++] << 8);
            uint32_t d = (w & 0x0FFF) >> 1, len = (w >> 12) + 3;
            ASSERT_GE(d, 1u);
            ASSERT_LE(d + len, 2048u);
            ++matches;
        } else {
            ASSERT_GE(b >> 1, 1);
            pos += b >> 1;
        }
    }
    EXPECT_EQ(pos, block.size());
    EXPECT_GT(matches, 1000u);
}

TEST(LzkDecode, HeaderOnlyAndShortMatches) {
    EXPECT_TRUE(LzkDecompress(Header()).empty());
    // Distance 1, length 18 after one byte repeats it.
    EXPECT_EQ(LzkDecompress(Block({0x02, 'x', 0x03, 0xF0})), Bytes(19, 'x'));
    // Overlapping distance 2 and a zero-length run, which does nothing.
    EXPECT_EQ(LzkDecompress(Block({0x04, 'a', 'b', 0x00, 0x05, 0x20})), Bytes({'a', 'b', 'a', 'b', 'a', 'b', 'a'}));
}

TEST(LzkDecode, CutTokensYieldWhatIsPresent) {
    // A literal run of 5 cut after 2 bytes yields those 2 bytes.
    EXPECT_EQ(LzkDecompress(Block({0x0A, 'a', 'b'})), Bytes({'a', 'b'}));
    // A match without its second byte yields nothing.
    EXPECT_EQ(LzkDecompress(Block({0x02, 'x', 0x03})), Bytes({'x'}));
    // The longest run announced with nothing behind it.
    EXPECT_TRUE(LzkDecompress(Block({0xFE})).empty());
    // A header cut inside the header value still decodes, to nothing.
    const Bytes h = Header();
    for (size_t n = 5; n < 9; ++n) EXPECT_TRUE(LzkDecompress(Bytes(h.begin(), h.begin() + n)).empty()) << n;
}

TEST(LzkDecode, EveryPrefixDecodesToAPrefix) {
    Bytes src = Generate(4, 6000, 11);
    Bytes block = LzkCompress(src);
    for (size_t n = 9; n <= block.size(); ++n) {
        Bytes prefix(block.begin(), block.begin() + n);
        Bytes got = LzkDecompress(prefix);
        ASSERT_LE(got.size(), src.size());
        ASSERT_TRUE(std::equal(got.begin(), got.end(), src.begin())) << n;
        ASSERT_EQ(got, lzkref::DecodeTokens(prefix)) << n;
    }
}

TEST(LzkDecode, DistancesOutsideWhatWasProducedStayInTheWindow) {
    // Before 2048 bytes exist, reaching back too far reads the window's empty slots (zeros).
    EXPECT_EQ(LzkDecompress(Block({0x02, 'A', 0x0B, 0x00})), Bytes({'A', 0, 0, 0}));  // d = 5
    EXPECT_EQ(LzkDecompress(Block({0x02, 'A', 0x01, 0x00})), Bytes({'A', 0, 0, 0}));  // d = 0
    EXPECT_EQ(LzkDecompress(Block({0xFF, 0xFF})), Bytes(18, 0));                      // d = 2047
    // After a full window, distance 0 repeats the bytes produced 2048 before.
    Bytes block = Header();
    Bytes expect;
    Rng r{3};
    for (int run = 0; run < 17; ++run) {
        block.push_back(2 * 127);
        for (int i = 0; i < 127; ++i) {
            uint8_t v = static_cast<uint8_t>(r.Next());
            block.push_back(v);
            expect.push_back(v);
        }
    }
    ASSERT_GE(expect.size(), 2048u);
    block.push_back(0x01);
    block.push_back(0xF0);
    for (int i = 0; i < 18; ++i) expect.push_back(expect[expect.size() - 2048]);
    EXPECT_EQ(LzkDecompress(block), expect);
    EXPECT_EQ(lzkref::DecodeTokens(block), expect);
}

TEST(LzkDecode, ArbitraryTokensDecodeLikeThePlainDecoder) {
    Rng r{99};
    for (int i = 0; i < 3000; ++i) {
        Bytes block = Header();
        size_t n = r.Below(i < 2000 ? 64 : 3000);
        for (size_t k = 0; k < n; ++k) block.push_back(static_cast<uint8_t>(r.Next()));
        ASSERT_EQ(LzkDecompress(block), lzkref::DecodeTokens(block)) << i;
    }
}

// Tokens with plenty of input behind them are decoded on the unchecked path with block copies;
// a block that ends right after them only reaches the checked one. These blocks put filler
// behind every token under test, so both paths are covered.
namespace {

Bytes MatchToken(uint32_t d, uint32_t len) {
    const uint32_t w = ((d % 2048) * 2 + 1) | ((len - 3) << 12);
    return {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8)};
}

// Appends a literal run of n (1..127) bytes to both the block and the expected output.
void AddRun(Bytes& block, Bytes& expect, size_t n, Rng& r) {
    block.push_back(static_cast<uint8_t>(n * 2));
    for (size_t i = 0; i < n; ++i) {
        const uint8_t v = static_cast<uint8_t>(r.Next());
        block.push_back(v);
        expect.push_back(v);
    }
}

// Appends a match token, and to the expected output its bytes taken one at a time from d back
// (d = 2048 is written as 0; zeros where nothing was written yet).
void AddMatch(Bytes& block, Bytes& expect, uint32_t d, uint32_t len) {
    const Bytes t = MatchToken(d, len);
    block.insert(block.end(), t.begin(), t.end());
    for (uint32_t i = 0; i < len; ++i) expect.push_back(expect.size() >= d ? expect[expect.size() - d] : 0);
}

}  // namespace

TEST(LzkDecode, OverlappingMatchesRepeatTheirPattern) {
    const uint32_t distances[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 15, 16, 17, 18, 31, 32, 33, 2047, 2048};
    Rng r{21};
    for (uint32_t d : distances) {
        for (uint32_t len = 3; len <= 18; ++len) {
            for (bool tail : {false, true}) {
                Bytes block = Header(), expect;
                AddRun(block, expect, 127, r);
                for (int k = 0; k < 17; ++k) AddRun(block, expect, 120, r);  // more than a window
                // Back to back, so that a copy's overrun must be overwritten by the next token.
                AddMatch(block, expect, d, len);
                AddMatch(block, expect, d, len);
                AddRun(block, expect, 1, r);
                AddMatch(block, expect, d, len);
                if (tail) {  // room behind the matches: the unchecked path
                    AddRun(block, expect, 127, r);
                    AddRun(block, expect, 127, r);
                }
                ASSERT_EQ(LzkDecompress(block), expect) << "d " << d << " len " << len << " tail " << tail;
            }
        }
    }
}

TEST(LzkDecode, ShortPeriodsFromTheFirstBytes) {
    // A match of distance d right after the first d bytes repeats them, also on the unchecked
    // path; distance 1 after one byte gives a run of it.
    for (uint32_t d = 1; d <= 17; ++d) {
        Bytes block = Header(), expect;
        Rng r{d};
        AddRun(block, expect, d, r);
        for (int k = 0; k < 8; ++k) AddMatch(block, expect, d, 18);
        for (int k = 0; k < 3; ++k) AddRun(block, expect, 100, r);
        const Bytes got = LzkDecompress(block);
        ASSERT_EQ(got, expect) << d;
        for (size_t i = d; i < d + 8 * 18; ++i) ASSERT_EQ(got[i], got[i % d]) << d << " " << i;
    }
}

TEST(LzkDecode, LiteralRunsOfEveryLength) {
    Rng r{5};
    Bytes block = Header(), expect;
    for (size_t n = 0; n <= 127; ++n) {
        if (n == 0)
            block.push_back(0);  // an empty run does nothing
        else
            AddRun(block, expect, n, r);
        AddMatch(block, expect, 3, 3);
    }
    AddRun(block, expect, 127, r);
    AddRun(block, expect, 127, r);
    EXPECT_EQ(LzkDecompress(block), expect);
}

TEST(LzkDecode, DistancesBeyondWhatWasWrittenReadZerosInLongBlocks) {
    Rng r{8};
    for (uint32_t d : {101u, 500u, 2047u, 2048u}) {
        Bytes block = Header(), expect;
        AddRun(block, expect, 100, r);
        AddMatch(block, expect, d, 18);    // reaches in front of the first byte
        AddMatch(block, expect, 110, 18);  // partly zeros, partly the run
        for (int k = 0; k < 3; ++k) AddRun(block, expect, 127, r);
        const Bytes got = LzkDecompress(block);
        ASSERT_EQ(got, expect) << d;
        ASSERT_EQ(got, lzkref::DecodeTokens(block)) << d;
    }
}

TEST(LzkDecode, MatchesAtTheExactEnd) {
    Rng r{13};
    for (uint32_t d : {1u, 2u, 3u, 7u, 8u, 15u, 16u, 2048u}) {
        Bytes block = Header(), expect;
        for (int k = 0; k < 20; ++k) AddRun(block, expect, 127, r);
        for (int k = 0; k < 70; ++k) AddMatch(block, expect, d, 18);  // the last ones checked
        ASSERT_EQ(LzkDecompress(block), expect) << d;
        // Cut after every byte of the last 140: each prefix gives the prefix of the output.
        for (size_t cut = block.size() - 140; cut < block.size(); ++cut) {
            Bytes prefix(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(cut));
            ASSERT_EQ(LzkDecompress(prefix), lzkref::DecodeTokens(prefix)) << d << " " << cut;
        }
    }
}

TEST(LzkDecode, LongStreamsAcrossBufferEnds) {
    // Enough input and output to refill the input and write out the output several times, with
    // tokens straddling each boundary: long runs of far matches (small input, large output),
    // then arbitrary bytes as tokens.
    Rng r{31};
    Bytes block = Header(), expect;
    for (int k = 0; k < 20; ++k) AddRun(block, expect, 127, r);
    for (int k = 0; k < 20000; ++k) {
        const uint32_t pick = r.Below(8);
        if (pick == 0)
            AddRun(block, expect, 1 + r.Below(127), r);
        else
            AddMatch(block, expect, pick == 1 ? 1 + r.Below(16) : 1 + r.Below(2048), 3 + r.Below(16));
    }
    ASSERT_GT(block.size(), size_t{3} << 16);
    ASSERT_GT(expect.size(), size_t{4} << 16);
    EXPECT_EQ(LzkDecompress(block), expect);

    Bytes noise = Header();
    for (int k = 0; k < 400000; ++k) noise.push_back(static_cast<uint8_t>(r.Next()));
    EXPECT_EQ(LzkDecompress(noise), lzkref::DecodeTokens(noise));
}

TEST(LzkDecode, ProgressAfterEveryToken) {
    Bytes src = Generate(4, 20000, 3);
    Bytes block = LzkCompress(src);
    std::vector<int64_t> ends;  // source position after each token
    for (size_t pos = 9; pos < block.size();) {
        pos += (block[pos] & 1) ? 2 : 1 + (block[pos] >> 1);
        ends.push_back(static_cast<int64_t>(pos));
    }
    std::vector<int64_t> seen;
    fw::TMemoryStream in(block), out;
    DecompressStream(in, out, [&](void*, int64_t pos, int64_t) { seen.push_back(pos); });
    EXPECT_EQ(seen, ends);

    // An override of DoProgress is called the same way without an event.
    struct TCounting : TLZKCompressor {
        std::vector<int64_t> Seen;
        void DoProgress(int64_t position, int64_t) override { Seen.push_back(position); }
    } c;
    fw::TMemoryStream in2(block), out2;
    c.SourceStream = &in2;
    c.DestStream = &out2;
    c.Decompress();
    EXPECT_EQ(c.Seen, ends);
    EXPECT_EQ(out2.Bytes(), src);
}

TEST(LzkStreams, IsCompressedStream) {
    fw::TMemoryStream four(Bytes({'L', 'Z', 'K', '0'}));
    four.SetPosition(0);
    EXPECT_FALSE(IsCompressedStream(four));
    EXPECT_EQ(four.Position(), 0);

    fw::TMemoryStream lower(Bytes({'l', 'z', 'k', '0', '0', 0, 0, 0, 0}));
    EXPECT_FALSE(IsCompressedStream(lower));

    Bytes withPrefix = {'x', 'y'};
    Bytes block = LzkCompress(Bytes(40, 'q'));
    withPrefix.insert(withPrefix.end(), block.begin(), block.end());
    fw::TMemoryStream s(withPrefix);
    s.SetPosition(2);
    EXPECT_TRUE(IsCompressedStream(s));
    EXPECT_EQ(s.Position(), 2);
    s.SetPosition(0);
    EXPECT_FALSE(IsCompressedStream(s));

    fw::TMemoryStream headerOnlyMagic(Bytes({'L', 'Z', 'K', '0', '0'}));
    EXPECT_TRUE(IsCompressedStream(headerOnlyMagic));
    EXPECT_EQ(headerOnlyMagic.Position(), 0);
}

TEST(LzkStreams, Errors) {
    fw::TMemoryStream src(Bytes({'L', 'Z', 'K', '0', '1', 0, 0, 0, 0, 2, 'a'})), dst;
    EXPECT_EQ(ErrorText([&] { DecompressStream(src, dst); }), "Wrong stream format");
    fw::TMemoryStream shortSrc(Bytes({'L', 'Z'}));
    EXPECT_EQ(ErrorText([&] { DecompressStream(shortSrc, dst); }), "Wrong stream format");
    EXPECT_EQ(dst.Size(), 0);

    TLZKCompressor c;
    EXPECT_EQ(ErrorText([&] { c.Decompress(); }), "Source stream is not defined");
    EXPECT_EQ(ErrorText([&] { c.Compress(); }), "Source stream is not defined");
    c.SourceStream = &src;
    EXPECT_EQ(ErrorText([&] { c.Decompress(); }), "Destination stream is not defined");
    EXPECT_EQ(ErrorText([&] { c.Compress(); }), "Destination stream is not defined");
}

TEST(LzkStreams, DecompressStreamRewindsSourceAndAppendsToDest) {
    Bytes src = Generate(0, 5000, 2);
    Bytes block = LzkCompress(src);
    fw::TMemoryStream in(block), out;
    in.SetPosition(100);
    out.WriteString("head");
    std::vector<int64_t> positions;
    DecompressStream(in, out, [&](void*, int64_t pos, int64_t size) {
        EXPECT_EQ(size, static_cast<int64_t>(block.size()));
        positions.push_back(pos);
    });
    ASSERT_EQ(out.Size(), 4 + static_cast<int64_t>(src.size()));
    EXPECT_TRUE(std::equal(src.begin(), src.end(), out.Bytes().begin() + 4));
    ASSERT_FALSE(positions.empty());
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(positions.back(), static_cast<int64_t>(block.size()));
}

TEST(LzkStreams, CompressProgressReachesTheEnd) {
    Bytes src = Generate(1, 3000, 4);
    fw::TMemoryStream in(src), out;
    int64_t last = -1;
    int calls = 0;
    CompressStream(in, out, [&](void*, int64_t pos, int64_t size) {
        EXPECT_EQ(size, 3000);
        EXPECT_GE(pos, last);
        last = pos;
        ++calls;
    });
    EXPECT_EQ(last, 3000);
    EXPECT_GT(calls, 1);
    EXPECT_EQ(out.Bytes(), lzkref::Compress(src));
}

TEST(LzkStreams, CompressProgressReachesAnOverride) {
    // Without an event, an override of DoProgress sees the same calls as an event would.
    Bytes src = Generate(4, 9000, 6);
    std::vector<int64_t> viaEvent;
    fw::TMemoryStream in(src), out;
    CompressStream(in, out, [&](void*, int64_t pos, int64_t) { viaEvent.push_back(pos); });
    struct TCounting : TLZKCompressor {
        std::vector<int64_t> Seen;
        void DoProgress(int64_t position, int64_t) override { Seen.push_back(position); }
    } c;
    fw::TMemoryStream in2(src), out2;
    c.SourceStream = &in2;
    c.DestStream = &out2;
    c.Compress();
    EXPECT_GT(viaEvent.size(), 1000u);
    EXPECT_EQ(c.Seen, viaEvent);
    EXPECT_EQ(out2.Bytes(), out.Bytes());
}

TEST(LzkWindow, RingAndPositionLists) {
    TSlideWindow w(8);
    w.Added(6);
    EXPECT_EQ(w.Size, 6);
    w.Added(5);  // three bytes drop out of the front
    EXPECT_EQ(w.Size, 8);
    EXPECT_EQ(w.Start, 3);
    EXPECT_EQ(w.GlobalStart, 3);
    EXPECT_EQ(w.PhysIndex(5), 0);
    w.Drop(2);
    EXPECT_EQ(w.Start, 5);
    EXPECT_EQ(w.GlobalStart, 3);

    TPositionsList l(3);
    for (uint32_t v = 10; v < 15; ++v) l.Append(v);
    ASSERT_EQ(l.Count(), 3);
    EXPECT_EQ(l.Entry(0), 12u);
    EXPECT_EQ(l.Entry(2), 14u);
    l.DropOldest(4);  // more than held: nothing happens
    EXPECT_EQ(l.Count(), 3);
    l.DropOldest(2);
    ASSERT_EQ(l.Count(), 1);
    EXPECT_EQ(l.Entry(0), 14u);

    TLZSlideWindow enc(16, 18, 127, 0);
    enc.Added(12);
    enc.LookaheadIndex = 10;
    enc.Added(6);  // two bytes drop out: the lookahead index follows
    EXPECT_EQ(enc.LookaheadIndex, 8);
    EXPECT_EQ(enc.GlobalStart, 2);
}

TEST(LzkStreams, MessagesComeFromTheStringTable) {
    fw::SetResStringLoader([](int id, std::string& out) {
        if (id < 65217 || id > 65219) return false;
        out = "T" + std::to_string(id);
        return true;
    });
    TLZKCompressor c;
    fw::TMemoryStream src(Bytes({'x'})), dst;
    std::string noSource = ErrorText([&] { c.Decompress(); });
    c.SourceStream = &src;
    std::string noDest = ErrorText([&] { c.Decompress(); });
    c.DestStream = &dst;
    std::string wrong = ErrorText([&] { c.Decompress(); });
    fw::SetResStringLoader(nullptr);
    EXPECT_EQ(noSource, "T65217");
    EXPECT_EQ(noDest, "T65218");
    EXPECT_EQ(wrong, "T65219");
}

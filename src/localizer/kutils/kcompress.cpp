#include "kcompress.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <typeinfo>

#include "framework/ByteReader.h"

namespace kutils {

namespace {

const char kMagic[5] = {'L', 'Z', 'K', '0', '0'};

constexpr int32_t kWindowSize = 2048;  // history a match may reach back into
constexpr int32_t kMaxMatch = 18;
constexpr int32_t kMaxLookahead = 127;  // also the longest literal run
constexpr int32_t kListEntries = 40;    // positions remembered per byte value
constexpr int32_t kGoodEnough = 8;      // a longer match is taken without looking further

std::string SourceNotDefined() {
    return fw::LoadResString(65217, "Source stream is not defined");
}
std::string DestNotDefined() {
    return fw::LoadResString(65218, "Destination stream is not defined");
}
std::string WrongFormat() {
    return fw::LoadResString(65219, "Wrong stream format");
}

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// Index of the first differing byte of two 8-byte loads whose xor is x (x != 0).
inline int32_t FirstDifference(uint64_t x) {
    if constexpr (std::endian::native == std::endian::little)
        return std::countr_zero(x) / 8;
    else
        return std::countl_zero(x) / 8;
}

// Number of equal leading bytes of a and b, at most maxLen (may be <= 0). Both must be readable
// for maxLen rounded up to 8 bytes; what lies beyond maxLen does not matter.
inline int32_t MatchLength(const uint8_t* a, const uint8_t* b, int32_t maxLen) {
    int32_t k = 0;
    while (k < maxLen) {
        uint64_t x = Load64(a + k) ^ Load64(b + k);
        if (x != 0) {
            k += FirstDifference(x);
            return k < maxLen ? k : maxLen;
        }
        k += 8;
    }
    return maxLen > 0 ? maxLen : 0;
}

}  // namespace

// ---- TKCompressor

void TKCompressor::Compress() {
    if (!SourceStream) throw EKCompressError(SourceNotDefined());
    if (!DestStream) throw EKCompressError(DestNotDefined());
    WriteHeader();
    CompressData();
}

void TKCompressor::Decompress() {
    if (!SourceStream) throw EKCompressError(SourceNotDefined());
    if (!DestStream) throw EKCompressError(DestNotDefined());
    ReadHeader();
    DecompressData();
}

void TKCompressor::DoProgress(int64_t position, int64_t size) {
    if (OnProgress) OnProgress(this, position, size);
}

// ---- TLZKCompressor

void TLZKCompressor::ReadHeader() {
    uint8_t magic[5];
    if (SourceStream->Read(magic, 5) != 5 || std::memcmp(magic, kMagic, 5) != 0) throw EKCompressError(WrongFormat());
    // The header value is kept but means nothing; a block cut inside it still decodes (empty).
    uint8_t v[4] = {0, 0, 0, 0};
    SourceStream->Read(v, 4);
    HeaderValue = static_cast<uint32_t>(v[0]) | (static_cast<uint32_t>(v[1]) << 8) |
                  (static_cast<uint32_t>(v[2]) << 16) | (static_cast<uint32_t>(v[3]) << 24);
}

void TLZKCompressor::WriteHeader() {
    DestStream->WriteBuffer(kMagic, 5);
    DestStream->WriteU32(HeaderValue);
}

// The decoder keeps the output in one linear buffer whose first 2048 bytes are the history
// (zeros before the first byte), so a match is a plain backward copy: out[i] = out[i - d].
// A distance of 0 reaches back the whole window (the ring slot about to be overwritten), and a
// distance beyond what was produced reads the zeros in front: the same bytes a 2048-byte ring
// would hold, and never anything outside the buffer.
//
// Tokens that lie whole in the input buffer and start before the end of the output chunk are
// decoded without further checks: one comparison covers the whole token. Copies then move
// fixed blocks of 8 or 16 bytes that may run past the token's end into slack that the next
// token overwrites. The rest (the last tokens of the source, cut tokens) go one by one through
// the bounds-checked reader.
namespace {

constexpr size_t kMaxToken = 1 + 127;   // a literal run: its byte and 127 bytes
constexpr size_t kInSlack = 16;         // literal copies read up to 16 bytes past a run
constexpr size_t kOutSlack = 128 + 32;  // room for one token plus the copies' overrun

inline void Copy8(uint8_t* to, const uint8_t* from) {
    std::memcpy(to, from, 8);
}
inline void Copy16(uint8_t* to, const uint8_t* from) {
    std::memcpy(to, from, 16);
}

// n literal bytes (1..127) in 16-byte blocks; both sides have 128 bytes of room.
inline void CopyLiterals(uint8_t* to, const uint8_t* from, size_t n) {
    Copy16(to, from);
    for (size_t k = 16; k < n; k += 16) Copy16(to + k, from + k);
}

// 18 bytes or more (a match is 3..18) from d (1..2048) bytes back; 32 bytes of room behind to.
inline void CopyMatch(uint8_t* to, size_t d) {
    const uint8_t* from = to - d;
    if (d >= 16) {
        Copy16(to, from);
        Copy16(to + 16, from + 16);  // lengths 17 and 18: from + 32 <= to + 16 is written
    } else if (d >= 8) {
        // Each 8-byte block reads only bytes the blocks before it wrote.
        Copy8(to, from);
        Copy8(to + 8, from + 8);
        Copy8(to + 16, from + 16);
    } else {
        // A short period: 4 bytes one by one, 4 more from a multiple of d at least 4 back,
        // then 8-byte blocks from a multiple of d at least 8 back, where they do not overlap.
        static constexpr uint8_t kAdvance[8] = {0, 1, 2, 1, 0, 4, 4, 4};
        static constexpr int8_t kBack[8] = {0, 0, 0, -1, -4, 1, 2, 3};
        to[0] = from[0];
        to[1] = from[1];
        to[2] = from[2];
        to[3] = from[3];
        from += kAdvance[d];
        std::memcpy(to + 4, from, 4);
        from -= kBack[d];  // now the source of to + 8
        Copy8(to + 8, from);
        Copy8(to + 16, from + 8);
    }
}

}  // namespace

void TLZKCompressor::DecompressData() {
    fw::TStream& src = *SourceStream;
    fw::TStream& dst = *DestStream;
    const int64_t srcSize = src.Size();
    int64_t srcPos = src.Position();
    int64_t srcLeft = srcSize > srcPos ? srcSize - srcPos : 0;
    // Progress after each token is seen only through the event or an override.
    const bool report = static_cast<bool>(OnProgress) || typeid(*this) != typeid(TLZKCompressor);

    // Small sources get small buffers; every size works.
    const size_t inChunk = static_cast<size_t>(std::min<int64_t>(srcLeft, 1 << 16));
    std::vector<uint8_t> inStore(inChunk + kMaxToken + kInSlack, 0);
    uint8_t* const in = inStore.data();
    const size_t inCapacity = inChunk + kMaxToken;
    size_t inPos = 0, inEnd = 0;
    int64_t inBase = srcPos;  // source position of in[0]

    const size_t outChunk = static_cast<size_t>(std::clamp<int64_t>(srcLeft * 9, 4096, 1 << 16));
    std::vector<uint8_t> outStore(kWindowSize + outChunk + kOutSlack, 0);
    uint8_t* const ob = outStore.data();
    uint8_t* const outLimit = ob + kWindowSize + outChunk;  // written out when reached
    uint8_t* op = ob + kWindowSize;

    for (;;) {
        if (inEnd - inPos < kMaxToken && srcLeft > 0) {
            std::memmove(in, in + inPos, inEnd - inPos);
            inBase += static_cast<int64_t>(inPos);
            inEnd -= inPos;
            inPos = 0;
            size_t n = static_cast<size_t>(std::min<int64_t>(srcLeft, static_cast<int64_t>(inCapacity - inEnd)));
            src.ReadBuffer(in + inEnd, static_cast<int64_t>(n));
            inEnd += n;
            srcLeft -= static_cast<int64_t>(n);
        }
        if (inPos >= inEnd) break;

        // Whole tokens: at least kMaxToken bytes ahead, and the output below its limit.
        if (inEnd - inPos >= kMaxToken) {
            const uint8_t* ip = in + inPos;
            const uint8_t* const ipLast = in + (inEnd - kMaxToken);
            while (ip <= ipLast && op < outLimit) {
                const uint32_t b = ip[0];
                if ((b & 1) == 0) {
                    const size_t n = b >> 1;
                    CopyLiterals(op, ip + 1, n);
                    ip += 1 + n;
                    op += n;
                } else {
                    const uint32_t w = b | (static_cast<uint32_t>(ip[1]) << 8);
                    size_t d = (w & 0x0FFF) >> 1;
                    if (d == 0) d = kWindowSize;
                    CopyMatch(op, d);
                    ip += 2;
                    op += (w >> 12) + 3;
                }
                if (report) DoProgress(inBase + (ip - in), srcSize);
            }
            inPos = static_cast<size_t>(ip - in);
        } else {
            // The last bytes of the source: one token, checked.
            fw::TByteReader r(in + inPos, inEnd - inPos);
            const uint8_t b = r.U8();
            if ((b & 1) == 0) {
                // A run cut by the end of the source yields the bytes that are there.
                const size_t n = std::min<size_t>(b >> 1, r.Left());
                r.Bytes(op, n);
                op += n;
            } else if (!r.AtEnd()) {  // a match cut before its second byte produces nothing
                const uint32_t w = b | (static_cast<uint32_t>(r.U8()) << 8);
                size_t d = (w & 0x0FFF) >> 1;
                if (d == 0) d = kWindowSize;
                const size_t len = (w >> 12) + 3;
                const uint8_t* from = op - d;
                for (size_t i = 0; i < len; ++i) op[i] = from[i];
                op += len;
            }
            inPos += r.Pos();
            if (report) DoProgress(inBase + static_cast<int64_t>(inPos), srcSize);
        }
        if (op >= outLimit) {
            dst.WriteBuffer(ob + kWindowSize, op - (ob + kWindowSize));
            std::memmove(ob, op - kWindowSize, kWindowSize);
            op = ob + kWindowSize;
        }
    }
    if (op > ob + kWindowSize) dst.WriteBuffer(ob + kWindowSize, op - (ob + kWindowSize));
}

// The encoder makes exactly the choices of the 2048-byte sliding window with its 256 lists of
// the last 40 positions per byte value, but finds them faster:
// - the window is a span of one linear buffer: before the token at position cur the window
//   holds the bytes up to min(cur + 127, n), so its oldest byte is that minus 2048;
// - the candidates that can win (at least 3 equal bytes) are found through a hash chain over
//   3-byte prefixes instead of trying each of the 40 list entries;
// - the lists themselves are not kept: every position keeps its ordinal among the positions of
//   its byte value, and a candidate is in its value's list exactly when fewer than 40 later
//   positions hold that value;
// - candidates are compared 8 bytes at a time, and each position is hashed once.
// Candidates are visited newest first and ranked exactly as in the list walk, so the output is
// byte for byte the same.
void TLZKCompressor::CompressData() {
    fw::TStream& src = *SourceStream;
    fw::TStream& dst = *DestStream;
    const int64_t srcSize = src.Size();
    const int64_t srcStart = src.Position();
    const int64_t n = srcSize > srcStart ? srcSize - srcStart : 0;
    // Progress after each token is seen only through the event or an override.
    const bool report = static_cast<bool>(OnProgress) || typeid(*this) != typeid(TLZKCompressor);

    constexpr int64_t kKeep = 4096;  // bytes kept before cur when the buffer slides
    constexpr int64_t kChunk = 1 << 16;
    constexpr int64_t kAhead = kMaxLookahead + 8;  // bytes needed behind cur
    constexpr size_t kSlack = 64;
    std::vector<uint8_t> buf(static_cast<size_t>(std::min(kKeep + kChunk + kAhead, n + kAhead)) + kSlack, 0);
    int64_t bufBase = 0;    // position of buf[0]
    int64_t filled = 0;     // position just past the last byte read
    int64_t refillAt = -1;  // cur beyond which fewer than kAhead bytes are buffered

    // Positions in the chains are kept as 32-bit numbers; a link is followed only while the
    // distance it gives grows and stays inside the window, so wrapped or never-set links end the
    // walk (everything behind them is older than the window or in another hash bucket).
    constexpr int kHashBits = 13;
    constexpr uint32_t kRingMask = 4095;  // ring over positions, larger than the window
    struct TSlot {
        uint32_t Prev;     // previous position with the same hash
        uint32_t Ordinal;  // how many positions up to this one hold its byte value
    };
    std::vector<uint32_t> headStore(size_t{1} << kHashBits, 0x80000000u);
    std::vector<TSlot> slotStore(kRingMask + 1, TSlot{0x80000000u, 0});
    uint32_t seen[256] = {};                  // per byte value, the positions consumed so far
    uint32_t* const head = headStore.data();  // plain pointers: the byte stores of the
    TSlot* const slot = slotStore.data();     // output cannot be taken to change them

    // Output collects in one buffer that is written out when less than a token's room is left.
    const size_t outCapacity = static_cast<size_t>(std::clamp<int64_t>(n + n / 64, 1024, 1 << 16));
    std::vector<uint8_t> outStore(outCapacity);
    uint8_t* const ob = outStore.data();
    const size_t outLimit = outCapacity - 2 * (kMaxLookahead + 1);  // room for a run and a match
    size_t ol = 0;
    int64_t pending = 0;  // literals waiting: the bytes just before cur

    auto hashAt = [](const uint8_t* p) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        v = std::endian::native == std::endian::little ? v & 0xFFFFFFu : v >> 8;  // the first 3 bytes
        return (v * 2654435761u) >> (32 - kHashBits);
    };
    auto flush = [&](int64_t cur) {
        ob[ol] = static_cast<uint8_t>(pending * 2);
        std::memcpy(ob + ol + 1, buf.data() + (cur - pending - bufBase), static_cast<size_t>(pending));
        ol += static_cast<size_t>(pending) + 1;
        pending = 0;
    };

    int64_t cur = 0;
    while (cur < n) {
        if (cur > refillAt) {
            int64_t keepFrom = cur - kKeep;
            if (keepFrom > bufBase) {
                std::memmove(buf.data(), buf.data() + (keepFrom - bufBase), static_cast<size_t>(filled - keepFrom));
                bufBase = keepFrom;
            }
            int64_t room = static_cast<int64_t>(buf.size() - kSlack) - (filled - bufBase);
            int64_t k = std::min(room, n - filled);
            src.ReadBuffer(buf.data() + (filled - bufBase), k);
            filled += k;
            refillAt = filled < n ? filled - kAhead : INT64_MAX;
        }
        if (ol > outLimit) {
            dst.WriteBuffer(ob, static_cast<int64_t>(ol));
            ol = 0;
        }
        const int32_t lookahead = static_cast<int32_t>(std::min<int64_t>(kMaxLookahead, n - cur));
        // How far back the window reaches from cur.
        const uint32_t reach = static_cast<uint32_t>(std::min<int64_t>(cur, kWindowSize - lookahead));
        const uint8_t* const here = buf.data() + (cur - bufBase);
        const uint32_t cur32 = static_cast<uint32_t>(cur);
        const uint32_t hash = hashAt(here);

        int32_t bestLen = 2;
        uint32_t bestDist = 0;
        if (lookahead >= 3) {
            const uint8_t value = here[0];
            const uint32_t valueSeen = seen[value];
            const int32_t maxLen = std::min(lookahead, kMaxMatch);
            const int32_t enough = std::min(kGoodEnough + 1, maxLen);  // a best this long ends the search
            const uint64_t here8 = Load64(here);
            uint32_t p = head[hash];
            uint32_t lastDist = 0;
            for (;;) {
                // On to the next candidate only while lastDist < dist <= reach.
                const uint32_t dist = cur32 - p;
                if (dist - lastDist - 1 >= reach - lastDist) break;
                lastDist = dist;
                const TSlot& sp = slot[p & kRingMask];
                const uint8_t* cand = here - dist;
                const uint64_t x = Load64(cand) ^ here8;
                // Another byte value in the same bucket gives length 0; a position of this
                // value that has dropped out of its list ends the walk, as all older ones have.
                if ((x & 0xFF) == 0 && valueSeen - sp.Ordinal >= kListEntries) break;
                int32_t len = x != 0 ? FirstDifference(x) : 8 + MatchLength(cand + 8, here + 8, maxLen - 8);
                if (len > maxLen) len = maxLen;
                const bool better = len > bestLen;  // selects rather than branches: hard to predict
                bestLen = better ? len : bestLen;
                bestDist = better ? dist : bestDist;
                if (bestLen >= enough) break;
                p = sp.Prev;
            }
        }

        int32_t step;
        if (bestLen >= 3) {
            // Waiting literals go out first. Written without asking whether there are any (hard
            // to predict): with none, nothing of it is kept.
            {
                const uint8_t* from = buf.data() + (cur - pending - bufBase);
                ob[ol] = static_cast<uint8_t>(pending * 2);
                Copy16(ob + ol + 1, from);
                if (pending > 16) std::memcpy(ob + ol + 17, from + 16, static_cast<size_t>(pending - 16));
                ol += static_cast<size_t>(pending) + (pending != 0);
                pending = 0;
            }
            uint32_t w = (bestDist * 2 + 1) | (static_cast<uint32_t>(bestLen - 3) << 12);
            ob[ol] = static_cast<uint8_t>(w);
            ob[ol + 1] = static_cast<uint8_t>(w >> 8);
            ol += 2;
            step = bestLen;
        } else {
            if (pending == kMaxLookahead) flush(cur);
            ++pending;
            step = 1;
        }
        // Every consumed position joins its chain and counts for its value. A position too
        // close to the end to start a 3-byte match hashes bytes past the end, harmlessly: no
        // later search has 3 bytes.
        auto insert = [&](int32_t i, uint32_t h) {
            const uint32_t q = cur32 + static_cast<uint32_t>(i);
            TSlot& sq = slot[q & kRingMask];
            sq.Prev = head[h];
            sq.Ordinal = ++seen[here[i]];
            head[h] = q;
        };
        insert(0, hash);
        for (int32_t i = 1; i < step; ++i) insert(i, hashAt(here + i));
        cur += step;
        if (report) DoProgress(srcStart + std::min<int64_t>(cur - step + kMaxLookahead, n), srcSize);
    }
    if (pending) flush(cur);
    if (ol) dst.WriteBuffer(ob, static_cast<int64_t>(ol));
}

// ---- TSlideWindow

TSlideWindow::TSlideWindow(int32_t capacity)
    : Capacity(capacity > 0 ? capacity : 1), Buffer(static_cast<size_t>(Capacity), 0) {}

void TSlideWindow::Added(int32_t count) {
    Size += count;
    if (Size > Capacity) {
        int32_t excess = Size - Capacity;
        Start = (Start + excess) % Capacity;
        GlobalStart += excess;
        Size = Capacity;
    }
}

int32_t TSlideWindow::PhysIndex(int32_t logical) const {
    int32_t i = (Start + logical) % Capacity;
    return i < 0 ? i + Capacity : i;
}

uint8_t TSlideWindow::ByteAt(int32_t logical) const {
    return Buffer[static_cast<size_t>(PhysIndex(logical))];
}

void TSlideWindow::Drop(int32_t count) {
    count = std::clamp(count, 0, Size);
    Start = (Start + count) % Capacity;
    Size -= count;
}

// ---- TPositionsList

uint32_t TPositionsList::Entry(int32_t index) const {
    int32_t p = PhysIndex(index * 4);
    uint32_t v;
    std::memcpy(&v, Buffer.data() + p, 4);  // entries never straddle the ring's end
    return v;
}

void TPositionsList::Append(uint32_t value) {
    std::memcpy(Buffer.data() + PhysIndex(Size), &value, 4);
    Added(4);
}

void TPositionsList::DropOldest(int32_t k) {
    if (k > 0 && Count() >= k) Drop(k * 4);
}

// ---- TLZDictionary, TLZSlideWindow

TLZDictionary::TLZDictionary() {
    for (auto& l : Lists) l = std::make_unique<TPositionsList>(kListEntries);
}

TLZSlideWindow::TLZSlideWindow(int32_t capacity, int32_t maxMatch, int32_t maxLookahead, int processType)
    : TSlideWindow(capacity), MaxMatchLength(maxMatch), MaxLookaheadSize(maxLookahead), ProcessType(processType) {}

void TLZSlideWindow::Added(int32_t count) {
    if (ProcessType == 0) {
        int32_t dropping = Size + count - Capacity;
        if (dropping > 0) LookaheadIndex -= dropping;
    }
    TSlideWindow::Added(count);
}

// ---- Free routines

void DecompressStream(fw::TStream& source, fw::TStream& dest, TProgressEvent onProgress) {
    source.SetPosition(0);
    TLZKCompressor c;
    c.SourceStream = &source;
    c.DestStream = &dest;
    c.OnProgress = std::move(onProgress);
    c.Decompress();
}

void CompressStream(fw::TStream& source, fw::TStream& dest, TProgressEvent onProgress) {
    TLZKCompressor c;
    c.SourceStream = &source;
    c.DestStream = &dest;
    c.OnProgress = std::move(onProgress);
    c.Compress();
}

bool IsCompressedStream(fw::TStream& stream) {
    const int64_t pos = stream.Position();
    uint8_t magic[5];
    bool ok = stream.Read(magic, 5) == 5 && std::memcmp(magic, kMagic, 5) == 0;
    if (ok) {
        uint8_t v[4];
        stream.Read(v, 4);
    }
    stream.SetPosition(pos);
    return ok;
}

std::vector<uint8_t> LzkCompress(const std::vector<uint8_t>& data) {
    fw::TBytesStream src(data.data(), static_cast<int64_t>(data.size()));
    fw::TMemoryStream dst;
    CompressStream(src, dst);
    return std::move(dst.Bytes());
}

std::vector<uint8_t> LzkDecompress(const std::vector<uint8_t>& block) {
    fw::TBytesStream src(block.data(), static_cast<int64_t>(block.size()));
    fw::TMemoryStream dst;
    DecompressStream(src, dst);
    return std::move(dst.Bytes());
}

}  // namespace kutils

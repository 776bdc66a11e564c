// Plain LZK encoder and decoder written step by step on the sliding-window classes, with no
// shortcuts: the oracle the fast coders in kcompress.cpp are checked against (unit tests and
// the round-trip fuzz target).
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "localizer/kutils/kcompress.h"

namespace lzkref {

inline std::vector<uint8_t> Compress(const std::vector<uint8_t>& src) {
    std::vector<uint8_t> out = {'L', 'Z', 'K', '0', '0', 0, 0, 0, 0};
    kutils::TLZSlideWindow w(2048, 18, 127, 0);
    size_t sp = 0;
    std::vector<uint8_t> lit;
    auto lookahead = [&] { return w.Size - w.LookaheadIndex; };
    auto flush = [&] {
        if (lit.empty()) return;
        out.push_back(static_cast<uint8_t>(lit.size() * 2));
        out.insert(out.end(), lit.begin(), lit.end());
        lit.clear();
    };
    auto consume = [&](int32_t k) {
        for (int32_t i = 0; i < k; ++i)
            w.Dictionary.Add(w.ByteAt(w.LookaheadIndex + i),
                             static_cast<uint32_t>(w.GlobalStart + w.LookaheadIndex + i));
        w.LookaheadIndex += k;
    };
    while (sp < src.size() || lookahead() > 0) {
        int32_t n = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(127 - lookahead()), src.size() - sp));
        for (int32_t i = 0; i < n; ++i) w.Buffer[static_cast<size_t>(w.PhysIndex(w.Size + i))] = src[sp + i];
        sp += static_cast<size_t>(n);
        w.Added(n);

        const int64_t cur = w.GlobalStart + w.LookaheadIndex;
        int32_t best = 0;
        int64_t dist = 0;
        if (lookahead() >= 3) {
            kutils::TPositionsList& list = *w.Dictionary.Lists[w.ByteAt(w.LookaheadIndex)];
            for (int32_t i = list.Count() - 1; i >= 0; --i) {
                const int64_t e = list.Entry(i);
                if (e < w.GlobalStart) {
                    list.DropOldest(i + 1);
                    break;
                }
                const int32_t c = static_cast<int32_t>(e - w.GlobalStart);
                int32_t len = 1;
                while (len < lookahead() && len < 18 && w.ByteAt(c + len) == w.ByteAt(w.LookaheadIndex + len)) ++len;
                if (len >= 3 && len > best) {
                    best = len;
                    dist = cur - e;
                    if (best > 8) break;
                }
            }
        }
        if (best) {
            flush();
            uint32_t tok = static_cast<uint32_t>(dist * 2 + 1) | (static_cast<uint32_t>(best - 3) << 12);
            out.push_back(static_cast<uint8_t>(tok));
            out.push_back(static_cast<uint8_t>(tok >> 8));
            consume(best);
        } else {
            if (lit.size() == 127) flush();
            lit.push_back(w.ByteAt(w.LookaheadIndex));
            consume(1);
        }
    }
    flush();
    return out;
}

// Decodes the tokens after the 9 header bytes in a 2048-byte ring, one byte at a time. A run cut
// by the end yields the bytes present, a match without its second byte yields nothing, and
// a distance beyond what was produced reads the ring's (zeroed) unwritten slots.
inline std::vector<uint8_t> DecodeTokens(const std::vector<uint8_t>& block) {
    std::vector<uint8_t> out;
    kutils::TLZSlideWindow w(2048, 18, 0, 1);
    size_t pos = std::min<size_t>(9, block.size());
    while (pos < block.size()) {
        const uint8_t b = block[pos++];
        if ((b & 1) == 0) {
            int32_t n = static_cast<int32_t>(std::min<size_t>(b >> 1, block.size() - pos));
            for (int32_t i = 0; i < n; ++i) {
                w.Buffer[static_cast<size_t>(w.PhysIndex(w.Size + i))] = block[pos + static_cast<size_t>(i)];
                out.push_back(block[pos + static_cast<size_t>(i)]);
            }
            pos += static_cast<size_t>(n);
            w.Added(n);
        } else {
            if (pos >= block.size()) break;
            const uint32_t tok = b | (static_cast<uint32_t>(block[pos++]) << 8);
            const int32_t d = static_cast<int32_t>((tok & 0x0FFF) >> 1);
            const int32_t len = static_cast<int32_t>(tok >> 12) + 3;
            int32_t s = w.PhysIndex(w.Size - d), t = w.PhysIndex(w.Size);
            for (int32_t i = 0; i < len; ++i) {
                w.Buffer[static_cast<size_t>(t)] = w.Buffer[static_cast<size_t>(s)];
                out.push_back(w.Buffer[static_cast<size_t>(t)]);
                s = (s + 1) % 2048;
                t = (t + 1) % 2048;
            }
            w.Added(len);
        }
    }
    return out;
}

}  // namespace lzkref

// LZK: the program's small LZ77 compressor. Blocks start with "LZK00" and a 32-bit header value;
// the token stream runs to the end of the stream.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/SysUtils.h"

namespace kutils {

// The declaring macro inherits constructors by the base's unqualified name.
using fw::Exception;
FW_DECLARE_EXCEPTION(EKCompressError, Exception);

// Sender, source position, source size.
using TProgressEvent = std::function<void(void* sender, int64_t position, int64_t size)>;

class TKCompressor {
public:
    virtual ~TKCompressor() = default;

    fw::TStream* SourceStream = nullptr;  // not owned
    fw::TStream* DestStream = nullptr;    // not owned
    TProgressEvent OnProgress;
    uint32_t HeaderValue = 0;

    void Compress();
    void Decompress();

    virtual void ReadHeader() = 0;
    virtual void WriteHeader() = 0;
    virtual void CompressData() = 0;
    virtual void DecompressData() = 0;
    virtual void DoProgress(int64_t position, int64_t size);
};

class TLZKCompressor : public TKCompressor {
public:
    void ReadHeader() override;
    void WriteHeader() override;
    void CompressData() override;
    void DecompressData() override;
};

// A ring buffer of bytes holding the newest Capacity bytes of a stream.
class TSlideWindow {
public:
    explicit TSlideWindow(int32_t capacity);
    virtual ~TSlideWindow() = default;

    virtual void Added(int32_t count);
    int32_t PhysIndex(int32_t logical) const;
    uint8_t ByteAt(int32_t logical) const;
    void Drop(int32_t count);  // drops from the front without touching GlobalStart

    int32_t Start = 0;
    int32_t Capacity;
    int64_t GlobalStart = 0;
    int32_t Size = 0;
    std::vector<uint8_t> Buffer;
};

class TPositionsList : public TSlideWindow {
public:
    explicit TPositionsList(int32_t entries) : TSlideWindow(entries * 4) {}
    int32_t Count() const { return Size / 4; }
    uint32_t Entry(int32_t index) const;  // 0 = oldest
    void Append(uint32_t value);
    void DropOldest(int32_t k);  // only when at least k entries are held
};

class TLZDictionary {
public:
    TLZDictionary();
    void Add(uint8_t value, uint32_t position) { Lists[value]->Append(position); }
    std::unique_ptr<TPositionsList> Lists[256];
};

class TLZSlideWindow : public TSlideWindow {
public:
    TLZSlideWindow(int32_t capacity, int32_t maxMatch, int32_t maxLookahead, int processType);
    void Added(int32_t count) override;

    int32_t MaxMatchLength;
    int32_t MaxLookaheadSize;
    TLZDictionary Dictionary;
    int32_t LookaheadIndex = 0;
    int ProcessType;  // 0 encode, 1 decode
};

// Decompresses the whole of Source (from position 0) into Dest at Dest's position.
void DecompressStream(fw::TStream& source, fw::TStream& dest, TProgressEvent onProgress = nullptr);
// Compresses Source from its position into Dest at Dest's position.
void CompressStream(fw::TStream& source, fw::TStream& dest, TProgressEvent onProgress = nullptr);
// Whether the stream holds an "LZK00" block at its position; the position is left unchanged.
bool IsCompressedStream(fw::TStream& stream);

// Byte-vector conveniences for tools and tests.
std::vector<uint8_t> LzkCompress(const std::vector<uint8_t>& data);
std::vector<uint8_t> LzkDecompress(const std::vector<uint8_t>& block);

}  // namespace kutils

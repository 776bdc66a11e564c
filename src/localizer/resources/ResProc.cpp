#include "ResProc.h"
#include "Generation.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <ctime>
#include <string_view>

#include "framework/ByteReader.h"
#include "framework/FormStream.h"
#include "framework/Unicode.h"
#include "localizer/kutils/KLocales.h"

namespace resources {

namespace {

constexpr uint32_t kDirectoryFlag = 0x80000000u;
constexpr uint32_t kSectionRVA = 0x2000;
constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kHeadersOnDisk = 0x400;  // HeaderSize rounded up to the file alignment
constexpr int32_t kMaxStringId = 65535;
constexpr int32_t kMaxStringBlock = kMaxStringId / 16 + 1;
// Section offsets share their 32-bit field with the directory flag, and RVAs must stay in range.
constexpr uint64_t kMaxSectionSize = 0x7FFF0000u;

uint64_t RoundUp(uint64_t v, uint64_t m) {
    return v % m == 0 ? v : v + (m - v % m);
}

std::string WideToAnsi(const std::u16string& w) {
    return kutils::WideToAnsiCP(w, kutils::Nls().GetACP());
}
std::u16string AnsiToWide(const std::string& a) {
    return kutils::AnsiToWideCP(a, kutils::Nls().GetACP());
}

// Collects small writes in a buffer that stays in cache and hands them on in large pieces.
class TStagingStream : public fw::TStream {
public:
    explicit TStagingStream(fw::TStream& target) : target_(target), buf_(kCapacity) {}
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void* data, int64_t count) override {
        if (count <= 0) return 0;
        auto n = static_cast<size_t>(count);
        if (n > kCapacity - used_) {
            Flush();
            if (n >= kCapacity) {
                target_.WriteBuffer(data, count);
                return count;
            }
        }
        std::memcpy(buf_.data() + used_, data, n);
        used_ += n;
        return count;
    }
    int64_t Seek(int64_t offset, fw::TSeekOrigin origin) override {
        if (offset != 0 || origin != fw::TSeekOrigin::soCurrent) throw fw::EStreamError("Stream seek error");
        return target_.Position() + static_cast<int64_t>(used_);
    }
    void SetSize(int64_t) override { throw fw::EStreamError("Stream size error"); }
    void Flush() {
        if (used_) target_.WriteBuffer(buf_.data(), static_cast<int64_t>(used_));
        used_ = 0;
    }
    // Room for n bytes written in place (they count as written); nullptr when n does not fit
    // in the buffer at all.
    uint8_t* Claim(size_t n) {
        if (n > kCapacity) return nullptr;
        if (n > kCapacity - used_) Flush();
        uint8_t* p = buf_.data() + used_;
        used_ += n;
        return p;
    }

private:
    static constexpr size_t kCapacity = 64 * 1024;
    fw::TStream& target_;
    std::vector<uint8_t> buf_;
    size_t used_ = 0;
};

// Writes bytes; at the end of a memory stream they are appended to its bytes directly, without
// the stream zero-filling the room first.
void PutBytes(fw::TStream& s, const void* data, size_t n) {
    if (auto* mem = dynamic_cast<fw::TMemoryStream*>(&s); mem && mem->Position() == mem->Size()) {
        auto& bytes = mem->Bytes();
        const auto* b = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), b, b + n);
        mem->SetPosition(static_cast<int64_t>(bytes.size()));
        return;
    }
    s.WriteBuffer(data, static_cast<int64_t>(n));
}

void WriteZeros(fw::TStream& s, uint64_t n) {
    static const uint8_t zeros[512] = {};
    while (n > 0) {
        uint64_t k = n < sizeof zeros ? n : sizeof zeros;
        s.WriteBuffer(zeros, static_cast<int64_t>(k));
        n -= k;
    }
}

// A block's directory part (headers and entries) built in memory and written in one piece.
class TDirectoryBuilder {
public:
    explicit TDirectoryBuilder(size_t size) : buf_(size) {}
    void U32(uint32_t v) {
        uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                        static_cast<uint8_t>(v >> 24)};
        Put(b, 4);
    }
    void U16(uint16_t v) {
        uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
        Put(b, 2);
    }
    void Header(uint32_t stamp, uint16_t named, uint16_t ids) {
        uint8_t h[16] = {0,
                         0,
                         0,
                         0,
                         static_cast<uint8_t>(stamp),
                         static_cast<uint8_t>(stamp >> 8),
                         static_cast<uint8_t>(stamp >> 16),
                         static_cast<uint8_t>(stamp >> 24),
                         0,
                         0,
                         0,
                         0,
                         static_cast<uint8_t>(named),
                         static_cast<uint8_t>(named >> 8),
                         static_cast<uint8_t>(ids),
                         static_cast<uint8_t>(ids >> 8)};
        Put(h, 16);
    }
    void Pair(uint32_t a, uint32_t b) {
        U32(a);
        U32(b);
    }
    void LanguageDirectory(uint32_t stamp, uint32_t dataEntryOffset, uint16_t language = 0) {
        Header(stamp, 0, 1);
        Pair(language, dataEntryOffset);
    }
    void DataEntry(uint32_t sectionOffset, uint32_t size) {
        Pair(kSectionRVA + sectionOffset, size);
        Pair(0, 0);
    }
    // A name as the directory stores it: its 16-bit length, then its UTF-16 code units.
    void Name(std::u16string_view name) {
        U16(static_cast<uint16_t>(name.size()));
        if (2 * name.size() > buf_.size() - pos_) Overrun();
        uint8_t* p = buf_.data() + pos_;
        if constexpr (std::endian::native == std::endian::little) {
            if (!name.empty()) std::memcpy(p, name.data(), 2 * name.size());
        } else {
            for (size_t i = 0; i < name.size(); ++i) {
                p[2 * i] = static_cast<uint8_t>(name[i]);
                p[2 * i + 1] = static_cast<uint8_t>(name[i] >> 8);
            }
        }
        pos_ += 2 * name.size();
    }
    void WriteTo(fw::TStream& s) { PutBytes(s, buf_.data(), pos_); }

private:
    void Put(const uint8_t* b, size_t n) {
        if (n > buf_.size() - pos_) [[unlikely]]
            Overrun();
        std::memcpy(buf_.data() + pos_, b, n);
        pos_ += n;
    }
    [[noreturn]] static void Overrun() { throw fw::EWriteError("Resource directory size mismatch"); }
    std::vector<uint8_t> buf_;
    size_t pos_ = 0;
};

void PadTo4(fw::TStream& s) {
    int64_t pos = s.Position();
    if (pos % 4) WriteZeros(s, static_cast<uint64_t>(4 - pos % 4));
}

// One .RES entry header for a numeric type; the name field is given ready-made.
void WriteResHeader(fw::TStream& s, uint32_t dataSize, uint16_t type, const std::vector<uint8_t>& nameField,
                    uint16_t language = 0) {
    s.WriteU32(dataSize);
    s.WriteU32(static_cast<uint32_t>(28 + nameField.size()));
    s.WriteU16(0xFFFF);
    s.WriteU16(type);
    s.WriteBuffer(nameField.data(), static_cast<int64_t>(nameField.size()));
    s.WriteU32(0);       // data version
    s.WriteU16(0x1000);  // memory flags
    s.WriteU16(language);
    s.WriteU32(0);  // version
    s.WriteU32(0);  // characteristics
}

int32_t CheckedBlockNumber(int32_t block) {
    if (block < 1 || block > kMaxStringBlock)
        throw EExeError(fw::Format("String table block %d is out of range (1 to %d)", {block, kMaxStringBlock}));
    return block;
}

}  // namespace

uint32_t ResourceTimeStamp() {
    using namespace std::chrono;
    int64_t ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    std::time_t t = static_cast<std::time_t>(ms / 1000);
    std::tm lt{};
#ifdef _WIN32
    localtime_s(&lt, &t);
    // With a 32-bit time_t _mkgmtime is _mkgmtime32, which the msvcrt.dll of Windows XP lacks.
    int64_t localSeconds = _mkgmtime64(&lt);
#else
    localtime_r(&t, &lt);
    int64_t localSeconds = timegm(&lt);
#endif
    // Local time in milliseconds since 1969-12-31 16:00:00, to whole seconds, halves to even.
    int64_t v = localSeconds * 1000 + ms % 1000 + 8 * 3600 * 1000;
    int64_t q = v / 1000, r = v % 1000;
    if (r < 0) {
        r += 1000;
        --q;
    }
    if (r > 500 || (r == 500 && (q & 1))) ++q;
    return static_cast<uint32_t>(q);
}

// ---- .RES entries

TResEntryList ParseResEntries(const uint8_t* data, size_t size) {
    TResEntryList list;
    fw::TByteReader r(data, size);
    auto readId = [&](size_t headerEnd, TResId& id) {
        uint16_t first = r.U16();
        if (first == 0xFFFF) {
            id.IsName = false;
            id.Id = r.U16();
            return;
        }
        id.IsName = true;
        for (uint16_t c = first; c != 0; c = r.U16()) {
            id.Name.push_back(static_cast<char16_t>(c));
            if (r.Pos() >= headerEnd) throw fw::EReadError("Unterminated name in a .RES entry header");
        }
    };
    while (!r.AtEnd()) {
        size_t start = r.Pos();
        TResEntry e;
        uint32_t dataSize = r.U32();
        uint32_t headerSize = r.U32();
        if (headerSize < 24 || headerSize > r.Left() + 8) throw fw::EReadError("Bad .RES entry header size");
        size_t headerEnd = start + headerSize;
        readId(headerEnd, e.Type);
        readId(headerEnd, e.Name);
        if (r.Pos() % 4) r.Skip(4 - r.Pos() % 4);
        r.Skip(4);  // data version
        r.Skip(2);  // memory flags
        e.Language = r.U16();
        if (r.Pos() > headerEnd) throw fw::EReadError("Bad .RES entry header size");
        r.Seek(headerEnd);
        e.Data = r.Ptr(dataSize);
        e.Size = dataSize;
        if (r.Pos() % 4) r.Skip(std::min<size_t>(4 - r.Pos() % 4, r.Left()));
        bool empty = dataSize == 0 && !e.Type.IsName && e.Type.Id == 0 && !e.Name.IsName && e.Name.Id == 0;
        if (!empty) list.push_back(std::move(e));
    }
    return list;
}

// ---- TResBlock

uint32_t TResBlock::TimeStamp() const {
    return Processor ? Processor->TimeStamp() : ResourceTimeStamp();
}

// ---- TResString

TResStringItem* TResString::Strings(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= strings_.size()) return nullptr;
    return strings_[static_cast<size_t>(index)];
}

const TResStringGroup* TResString::Groups(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= groups_.size()) return nullptr;
    return &groups_[static_cast<size_t>(index)];
}

int TResString::IndexOfId(int32_t id) const {
    auto it = std::lower_bound(strings_.begin(), strings_.end(), id,
                               [](const TResStringItem* s, int32_t v) { return s->Id < v; });
    if (it == strings_.end() || (*it)->Id != id) return -1;
    return static_cast<int>(it - strings_.begin());
}

TResStringItem* TResString::FindString(int32_t id) const {
    int i = IndexOfId(id);
    return i < 0 ? nullptr : strings_[static_cast<size_t>(i)];
}

int TResString::AddString(int32_t id, std::u16string text) {
    // Resource string ids are 16-bit; anything else has no slot in a 16-string block.
    if (id < 0 || id > kMaxStringId)
        throw fw::EListError(fw::Format("String id %d is out of range (0 to %d)", {id, kMaxStringId}));
    auto it = std::lower_bound(strings_.begin(), strings_.end(), id,
                               [](const TResStringItem* s, int32_t v) { return s->Id < v; });
    if (it != strings_.end() && (*it)->Id == id) return -1;
    TResStringItem* item = NewItem();
    item->Id = id;
    item->Text = std::move(text);
    int pos = static_cast<int>(it - strings_.begin());
    strings_.insert(it, item);

    int32_t block = id / 16 + 1;
    auto g = std::lower_bound(groups_.begin(), groups_.end(), block,
                              [](const TResStringGroup& x, int32_t v) { return x.Id < v; });
    if (g == groups_.end() || g->Id != block) {
        TResStringGroup group;
        group.Id = block;
        g = groups_.insert(g, group);
    }
    g->Slots[id - 16 * (block - 1)] = id;
    return pos;
}

// Items side by side in chunks that never move: the writer's passes over them read memory in
// order rather than jumping from one allocation to the next.
TResStringItem* TResString::NewItem() {
    if (store_.empty() || storeUsed_ == storeChunk_) {
        storeChunk_ = store_.empty() ? 16 : std::min<size_t>(storeChunk_ * 2, 4096);
        store_.push_back(std::make_unique<TResStringItem[]>(storeChunk_));
        storeUsed_ = 0;
    }
    return &store_.back()[storeUsed_++];
}

void TResString::Clear() {
    strings_.clear();
    store_.clear();
    storeUsed_ = storeChunk_ = 0;
    groups_.clear();
    langBlocks_.clear();
}

TResStringLangBlock* TResString::LangBlocks(int index) {
    if (index < 0 || static_cast<size_t>(index) >= langBlocks_.size()) return nullptr;
    return langBlocks_[static_cast<size_t>(index)].get();
}

const TResStringLangBlock* TResString::LangBlocks(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= langBlocks_.size()) return nullptr;
    return langBlocks_[static_cast<size_t>(index)].get();
}

TResStringLangBlock& TResString::ReadLangBlock(int32_t block, uint16_t language, const uint8_t* data, size_t size) {
    CheckedBlockNumber(block);
    auto lb = std::make_unique<TResStringLangBlock>();
    lb->Block = block;
    lb->Language = language;
    fw::TByteReader r(data, size);
    for (int i = 0; i < 16 && r.Left() >= 2; ++i) {
        uint16_t chars = r.U16();
        if (chars == 0) continue;
        if (chars > r.Left() / 2)
            throw EExeError(
                fw::Format("String %d of string table block %d (language 0x%.4x) runs past the end of "
                           "the block",
                           {16 * block - 16 + i, block, static_cast<unsigned>(language)}));
        lb->Texts[i] = r.WStr(chars);
    }
    langBlocks_.push_back(std::move(lb));
    return *langBlocks_.back();
}

void TResString::ReadBlock(int32_t block, const uint8_t* data, size_t size) {
    CheckedBlockNumber(block);
    fw::TByteReader r(data, size);
    for (int i = 0; i < 16 && r.Left() >= 2; ++i) {
        uint16_t chars = r.U16();
        if (chars == 0) continue;
        if (chars > r.Left() / 2)
            throw EExeError(fw::Format("String %d of string table block %d runs past the end of the block",
                                       {16 * block - 16 + i, block}));
        // Texts stay UTF-16 as they are: no detour through the ANSI code page, which would
        // replace every character it cannot hold.
        AddString(16 * block - 16 + i, r.WStr(chars));
    }
}

void TResString::SetGroupLanguage(int32_t block, uint16_t language) {
    auto g = std::lower_bound(groups_.begin(), groups_.end(), block,
                              [](const TResStringGroup& x, int32_t v) { return x.Id < v; });
    if (g != groups_.end() && g->Id == block) g->Language = language;
}

uint64_t TResString::GroupDataSize(const TResStringGroup& group) const {
    uint64_t n = 0;
    for (int32_t id : group.Slots) {
        const TResStringItem* s = id < 0 ? nullptr : FindString(id);
        n += s ? 2 + 2 * uint64_t{s->Text.size()} : 2;
    }
    return n;
}

size_t TResString::BlockNumbers() const {
    if (langBlocks_.empty()) return groups_.size();
    std::vector<int32_t> numbers;
    numbers.reserve(groups_.size() + langBlocks_.size());
    for (const auto& g : groups_) numbers.push_back(g.Id);
    for (const auto& b : langBlocks_) numbers.push_back(b->Block);
    std::sort(numbers.begin(), numbers.end());
    return static_cast<size_t>(std::unique(numbers.begin(), numbers.end()) - numbers.begin());
}

uint32_t TResString::DirectorySize() const {
    // Name directory, one language directory per block number, one data entry per language.
    const size_t names = BlockNumbers(), entries = groups_.size() + langBlocks_.size();
    return static_cast<uint32_t>(16 + 24 * names + 24 * entries);
}

namespace {

uint64_t LangBlockSize(const TResStringLangBlock& b) {
    uint64_t n = 32;
    for (const auto& t : b.Texts) {
        if (t.size() > 0xFFFF)
            throw fw::EWriteError(
                fw::Format("String %d (language 0x%.4x) is too long for a string table (%u characters)",
                           {16 * b.Block - 16 + static_cast<int32_t>(&t - b.Texts), static_cast<unsigned>(b.Language),
                            static_cast<unsigned long long>(t.size())}));
        n += 2 * uint64_t{t.size()};
    }
    return n;
}

}  // namespace

std::vector<TResString::TEntry> TResString::Entries(const std::vector<TGroupSpan>& spans, size_t& names) const {
    std::vector<TEntry> entries;
    entries.reserve(spans.size() + langBlocks_.size());
    for (const auto& span : spans) entries.push_back({span.Group->Id, span.Group->Language, &span, nullptr, span.Size});
    names = entries.size();
    if (langBlocks_.empty()) return entries;  // groups are sorted and their numbers unique
    for (const auto& b : langBlocks_) entries.push_back({b->Block, b->Language, nullptr, b.get(), LangBlockSize(*b)});
    // The loader finds block numbers and languages by binary search.
    std::stable_sort(entries.begin(), entries.end(), [](const TEntry& a, const TEntry& b) {
        return a.Block != b.Block ? a.Block < b.Block : a.Language < b.Language;
    });
    names = 0;
    for (size_t i = 0; i < entries.size(); ++i)
        if (i == 0 || entries[i].Block != entries[i - 1].Block) ++names;
    return entries;
}

// Strings and groups are both sorted, so one walk over the strings finds each group's strings
// (a contiguous run) and its data size, without a lookup per slot.
std::vector<TResString::TGroupSpan> TResString::Spans() const {
    std::vector<TGroupSpan> spans;
    spans.reserve(groups_.size());
    size_t i = 0;
    for (const auto& g : groups_) {
        const int32_t base = 16 * (g.Id - 1);
        while (i < strings_.size() && strings_[i]->Id < base) ++i;
        TGroupSpan span{&g, i, i, 32};
        for (; i < strings_.size() && strings_[i]->Id < base + 16; ++i) {
            const size_t len = strings_[i]->Text.size();
            if (len > 0xFFFF)
                throw fw::EWriteError(fw::Format("String %d is too long for a string table (%u characters)",
                                                 {strings_[i]->Id, static_cast<unsigned long long>(len)}));
            span.Size += 2 * uint64_t{len};
        }
        span.Last = i;
        spans.push_back(span);
    }
    return spans;
}

void TResString::BeginWrite() {
    CheckLanguageCounts();
    spans_ = Spans();
    spansSize_ = DirectorySize();
    for (const auto& span : spans_) spansSize_ += span.Size;
    for (const auto& b : langBlocks_) spansSize_ += LangBlockSize(*b);
    writing_ = true;
}

void TResString::EndWrite() {
    writing_ = false;
    spans_.clear();
}

uint64_t TResString::Size() const {
    if (writing_) return spansSize_;
    uint64_t n = DirectorySize();
    for (const auto& span : Spans()) n += span.Size;
    for (const auto& b : langBlocks_) n += LangBlockSize(*b);
    return n;
}

namespace {

// One slot's record of a string block (count, then UTF-16 little-endian) at p; returns its end.
uint8_t* PutStringRecord(uint8_t* p, std::u16string_view text) {
    const size_t len = text.size();
    p[0] = static_cast<uint8_t>(len);
    p[1] = static_cast<uint8_t>(len >> 8);
    p += 2;
    if constexpr (std::endian::native == std::endian::little) {
        if (len) std::memcpy(p, text.data(), 2 * len);
        return p + 2 * len;
    }
    for (char16_t c : text) {
        *p++ = static_cast<uint8_t>(c);
        *p++ = static_cast<uint8_t>(c >> 8);
    }
    return p;
}

}  // namespace

uint8_t* TResString::PutEntryData(uint8_t* p, const TEntry& entry) const {
    if (const TGroupSpan* span = entry.Span) {
        // The group's strings in slot order; the slots between them empty.
        const int32_t base = 16 * (span->Group->Id - 1);
        int32_t slot = 0;
        for (size_t k = span->First; k < span->Last; ++k) {
            const TResStringItem* item = strings_[k];
            for (; slot < item->Id - base; ++slot) p = PutStringRecord(p, {});
            p = PutStringRecord(p, item->Text);
            ++slot;
        }
        for (; slot < 16; ++slot) p = PutStringRecord(p, {});
        return p;
    }
    for (const auto& t : entry.Further->Texts) p = PutStringRecord(p, t);
    return p;
}

// The data of entries [first, last): at the end of a memory stream, each entry in place (its
// bytes are written once, right after the stream grew by them); elsewhere each entry built whole
// in a buffer and handed over in one write.
void TResString::WriteEntriesData(fw::TStream& s, const TEntry* first, const TEntry* last) const {
    if (auto* mem = dynamic_cast<fw::TMemoryStream*>(&s); mem && mem->Position() == mem->Size()) {
        auto& bytes = mem->Bytes();
        for (const TEntry* e = first; e != last; ++e) {
            const size_t at = bytes.size();
            bytes.resize(at + static_cast<size_t>(e->Size));
            PutEntryData(bytes.data() + at, *e);
        }
        mem->SetPosition(static_cast<int64_t>(bytes.size()));
        return;
    }
    std::vector<uint8_t> buf;
    for (const TEntry* e = first; e != last; ++e) {
        buf.resize(static_cast<size_t>(e->Size));
        PutEntryData(buf.data(), *e);
        s.WriteBuffer(buf.data(), static_cast<int64_t>(buf.size()));
    }
}

void TResString::CheckWritable() const {
    Spans();
    for (const auto& b : langBlocks_) LangBlockSize(*b);
    CheckLanguageCounts();
}

void TResString::CheckLanguageCounts() const {
    if (langBlocks_.size() < 0xFFFF) return;
    // A block number's languages are one directory of the module, whose count has 16 bits.
    std::vector<uint32_t> languages(kMaxStringBlock + 1, 0);
    for (const auto& g : groups_) ++languages[static_cast<size_t>(g.Id)];
    for (const auto& b : langBlocks_) ++languages[static_cast<size_t>(b->Block)];
    for (size_t block = 0; block < languages.size(); ++block)
        if (languages[block] > 0xFFFF)
            throw fw::EWriteError(
                fw::Format("String block %u is in %u languages; a module holds at most 65535 of one block",
                           {static_cast<unsigned long long>(block), languages[block]}));
}

void TResString::WriteDirectory(fw::TStream& s, uint32_t offset) {
    const uint32_t stamp = TimeStamp();
    // Outside a write of the whole module, laid out here (which checks the lengths too).
    std::vector<TGroupSpan> ownSpans;
    if (!writing_) ownSpans = Spans();
    const std::vector<TGroupSpan>& spans = writing_ ? spans_ : ownSpans;
    size_t nameCount = 0;
    const auto entries = Entries(spans, nameCount);
    const auto names = static_cast<uint32_t>(nameCount);
    const auto count = static_cast<uint32_t>(entries.size());
    TDirectoryBuilder dir(DirectorySize());
    dir.Header(stamp, 0, static_cast<uint16_t>(names));
    // Block numbers with their language directories, then the data entries of all languages.
    // runs[r] is where the entries of the r-th block number begin; one more marks the end.
    std::vector<uint32_t> runs;
    runs.reserve(names + 1);
    for (size_t i = 0; i < entries.size(); ++i)
        if (i == 0 || entries[i].Block != entries[i - 1].Block) runs.push_back(static_cast<uint32_t>(i));
    runs.push_back(count);
    uint64_t langDir = uint64_t{offset} + 16 + 8 * uint64_t{names};
    for (size_t r = 0; r + 1 < runs.size(); ++r) {
        dir.Pair(static_cast<uint32_t>(entries[runs[r]].Block), kDirectoryFlag + static_cast<uint32_t>(langDir));
        langDir += 16 + 8 * uint64_t{runs[r + 1] - runs[r]};
    }
    uint64_t dataEntry = uint64_t{offset} + 16 + 24 * uint64_t{names} + 8 * uint64_t{count};
    for (size_t r = 0; r + 1 < runs.size(); ++r) {
        dir.Header(stamp, 0, static_cast<uint16_t>(runs[r + 1] - runs[r]));
        for (size_t k = runs[r]; k < runs[r + 1]; ++k, dataEntry += 16)
            dir.Pair(entries[k].Language, static_cast<uint32_t>(dataEntry));
    }
    uint64_t dataOffset = uint64_t{offset} + 16 + 24 * uint64_t{names} + 24 * uint64_t{count};
    for (const auto& e : entries) {
        dir.DataEntry(static_cast<uint32_t>(dataOffset), static_cast<uint32_t>(e.Size));
        dataOffset += e.Size;
    }
    dir.WriteTo(s);
    WriteEntriesData(s, entries.data(), entries.data() + entries.size());
}

void TResString::WriteResFormat(fw::TStream& s) {
    const auto spans = Spans();
    size_t names = 0;
    for (const auto& e : Entries(spans, names)) {
        const int32_t id = e.Block;
        std::vector<uint8_t> name = {0xFF, 0xFF, static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8)};
        WriteResHeader(s, static_cast<uint32_t>(e.Size), 6, name, e.Language);
        WriteEntriesData(s, &e, &e + 1);
        PadTo4(s);
    }
}

void TResString::LoadFromPE(TPEResourceList& list) {
    Clear();
    const bool allLanguages = Processor && Processor->KeepAllResources;
    for (auto& item : list.GetItems()) {
        int32_t block = CheckedBlockNumber(fw::StrToInt(item->Name()));
        if (!allLanguages) {
            ReadBlock(block, item->Data(), static_cast<size_t>(item->DataSize()));
            continue;
        }
        // The first language in the table itself, as without keeping languages; each further
        // one as a block of its own.
        const std::vector<TPELanguageData> languages = item->Languages();
        ReadBlock(block, languages.front().Data, languages.front().Size);
        SetGroupLanguage(block, languages.front().Language);
        for (size_t k = 1; k < languages.size(); ++k)
            ReadLangBlock(block, languages[k].Language, languages[k].Data, languages[k].Size);
    }
}

void TResString::LoadFromResList(const TResEntryList& list) {
    Clear();
    for (const auto& e : list) {
        if (e.Type.IsName || e.Type.Id != ResType()) continue;
        int32_t block = e.Name.IsName ? fw::StrToInt(WideToAnsi(e.Name.Name)) : e.Name.Id;
        ReadBlock(block, e.Data, e.Size);
    }
}

// ---- TResRCDataItem / TResRCData

void TResRCDataItem::LoadData(fw::TStream& stream) {
    Data.LoadFromStream(stream);
    Data.SetPosition(0);
}

void TResRCDataItem::SaveData(fw::TStream& stream) {
    stream.WriteBuffer(Data.Memory(), Data.Size());
}

const std::u16string& TResRCDataItem::WideName() const {
    if (!wideValid_ || wideFor_ != Name) {
        wide_ = AnsiToWide(Name);
        wideFor_ = Name;
        wideValid_ = true;
    }
    return wide_;
}

void TResRCDataItem::SetWideName(std::u16string wide) {
    Name = WideToAnsi(wide);
    wide_ = std::move(wide);
    wideFor_ = Name;
    wideValid_ = true;
}

std::string TResRCDataItem::Utf8Name() const {
    return fw::Utf16ToUtf8(WideName());
}

bool TResRCData::KeepsLanguages() const {
    return Processor && Processor->KeepAllResources;
}

TResRCDataItem* TResRCData::Items(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= items_.size()) return nullptr;
    return items_[static_cast<size_t>(index)].get();
}

TResRCDataItem* TResRCData::Add(const std::string& name) {
    auto item = std::make_unique<TResRCDataItem>();
    item->Name = name;
    items_.push_back(std::move(item));
    return items_.back().get();
}

int TResRCData::IndexOfName(const std::string& name) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (fw::SameTextAscii(items_[i]->Name, name)) return static_cast<int>(i);
    return -1;
}

TResRCDataItem* TResRCData::FindByName(const std::string& name) const {
    int i = IndexOfName(name);
    return i < 0 ? nullptr : items_[static_cast<size_t>(i)].get();
}

namespace {
bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<uint8_t>(c) >= 0x80) return false;
    return true;
}
}  // namespace

bool TResRCData::NameIs(const TResRCDataItem& item, const std::string& name) {
    if (IsAscii(name)) return fw::SameTextAscii(item.Name, name);
    return !item.Id && fw::SameTextWide(item.WideName(), fw::Utf8ToUtf16(name));
}

TResRCDataItem* TResRCData::FindByUtf8Name(const std::string& name) const {
    if (IsAscii(name)) return FindByName(name);
    const std::u16string wide = fw::Utf8ToUtf16(name);
    for (const auto& item : items_)
        if (!item->Id && fw::SameTextWide(item->WideName(), wide)) return item.get();
    return nullptr;
}

bool TResRCData::SameName(const TResRCDataItem& a, const TResRCDataItem& b) {
    if (a.Id || b.Id) return a.Id == b.Id;
    return fw::SameTextWide(a.WideName(), b.WideName());
}

void TResRCData::Remove(const std::string& name) {
    int i = IndexOfName(name);
    if (i >= 0) Delete(i);
}

void TResRCData::Delete(int index) {
    if (index < 0 || static_cast<size_t>(index) >= items_.size())
        throw fw::EListError(fw::Format("List index out of bounds (%d)", {index}));
    items_.erase(items_.begin() + index);
}

void TResRCData::Clear() {
    items_.clear();
}

namespace {

// Whether two items are languages of one resource: the same numeric id, or the same name.
bool SameResource(const TResRCDataItem* a, const TResRCDataItem* b) {
    if (a->Id || b->Id) return a->Id == b->Id;
    return a->WideName() == b->WideName();
}

// The runs of one resource in directory order: [begin, end) of each. Only a block that keeps
// the source's languages holds languages of one resource; elsewhere items of one name are
// resources of their own, as they always were.
template <typename F>
void ForEachResource(const std::vector<const TResRCDataItem*>& order, bool languages, F f) {
    for (size_t i = 0; i < order.size();) {
        size_t j = i + 1;
        while (languages && j < order.size() && SameResource(order[i], order[j])) ++j;
        f(i, j);
        i = j;
    }
}

}  // namespace

uint32_t TResRCData::DirectorySize() const {
    // Name directory, one language directory per resource, one data entry per language.
    size_t names = items_.size();
    if (KeepsLanguages()) {
        names = 0;
        ForEachResource(DirectoryOrder(), true, [&](size_t, size_t) { ++names; });
    }
    return static_cast<uint32_t>(16 + 24 * names + 24 * items_.size());
}

void TResRCData::BeginWrite() {
    CheckWritable();
    writeSize_ = Size();
    writeOrder_ = DirectoryOrder();
    writing_ = true;
}

void TResRCData::EndWrite() {
    writing_ = false;
    writeOrder_.clear();
}

uint64_t TResRCData::Size() const {
    if (writing_) return writeSize_;
    uint64_t n = DirectorySize();
    if (KeepsLanguages()) {
        const auto order = DirectoryOrder();
        ForEachResource(order, true, [&](size_t i, size_t) {
            if (!order[i]->Id) n += 2 + 2 * uint64_t{order[i]->WideName().size()};
        });
    } else {
        // Every item is a resource of its own, under its name.
        for (const auto& item : items_)
            if (!item->Id) n += 2 + 2 * uint64_t{item->WideName().size()};
    }
    for (const auto& item : items_) n += uint64_t(item->Data.Size());
    return n;
}

void TResRCData::CheckWritable() const {
    if (items_.size() > 0xFFFF)
        throw fw::EWriteError(
            fw::Format("Too many RCDATA items for one module (%u)", {static_cast<unsigned long long>(items_.size())}));
    for (const auto& item : items_)
        if (item->WideName().size() > 0xFFFF)
            throw fw::EWriteError(fw::Format("RCDATA name \"%s...\" is too long", {item->Name.substr(0, 40)}));
}

std::vector<const TResRCDataItem*> TResRCData::DirectoryOrder() const {
    struct TKey {
        const TResRCDataItem* Item;
        const std::u16string* Name;
    };
    std::vector<TKey> keys;
    keys.reserve(items_.size());
    for (const auto& item : items_) keys.push_back({item.get(), &item->WideName()});
    // Named entries first, by their UTF-16 code units; then ids ascending; languages ascending.
    // Items are mostly added in that order already: then there is nothing to sort.
    const bool languages = KeepsLanguages();
    auto before = [languages](const TKey& ka, const TKey& kb) {
        const TResRCDataItem *a = ka.Item, *b = kb.Item;
        if (a->Id.has_value() != b->Id.has_value()) return !a->Id;
        if (a->Id) {
            if (*a->Id != *b->Id) return *a->Id < *b->Id;
        } else if (int c = ka.Name->compare(*kb.Name); c != 0) {
            return c < 0;
        }
        return languages && a->Language < b->Language;
    };
    if (!std::is_sorted(keys.begin(), keys.end(), before)) std::stable_sort(keys.begin(), keys.end(), before);
    std::vector<const TResRCDataItem*> order;
    order.reserve(keys.size());
    for (const TKey& k : keys) order.push_back(k.Item);
    return order;
}

void TResRCData::WriteDirectory(fw::TStream& s, uint32_t offset) {
    if (!writing_) CheckWritable();
    const uint32_t stamp = TimeStamp();
    const auto count = static_cast<uint32_t>(items_.size());
    // The loader finds a name by binary search, so the entries go out sorted by name (UTF-16
    // code units, as it compares them), then the ids; everything else follows the same order.
    std::vector<const TResRCDataItem*> ownOrder;
    if (!writing_) ownOrder = DirectoryOrder();
    const std::vector<const TResRCDataItem*>& order = writing_ ? writeOrder_ : ownOrder;
    uint64_t names = 0;
    uint32_t resources = 0;
    uint16_t named = 0;
    // The length word counts the UTF-16 characters actually written, which differ from the ANSI
    // length in multi-byte code pages.
    ForEachResource(order, KeepsLanguages(), [&](size_t i, size_t) {
        ++resources;
        if (order[i]->Id) return;
        ++named;
        names += 2 + 2 * uint64_t{order[i]->WideName().size()};
    });
    const uint32_t dirSize = 16 + 24 * resources + 24 * count;
    TDirectoryBuilder dir(dirSize + names);
    dir.Header(stamp, named, static_cast<uint16_t>(resources - named));
    uint64_t nameOffset = uint64_t{offset} + dirSize;
    uint64_t langDir = uint64_t{offset} + 16 + 8 * uint64_t{resources};
    ForEachResource(order, KeepsLanguages(), [&](size_t i, size_t end) {
        uint32_t field = 0;
        if (order[i]->Id) {
            field = *order[i]->Id;
        } else {
            field = kDirectoryFlag + static_cast<uint32_t>(nameOffset);
            nameOffset += 2 + 2 * uint64_t{order[i]->WideName().size()};
        }
        dir.Pair(field, kDirectoryFlag + static_cast<uint32_t>(langDir));
        langDir += 16 + 8 * uint64_t{end - i};
    });
    uint64_t dataEntry = uint64_t{offset} + 16 + 24 * uint64_t{resources} + 8 * uint64_t{count};
    ForEachResource(order, KeepsLanguages(), [&](size_t i, size_t end) {
        dir.Header(stamp, 0, static_cast<uint16_t>(end - i));
        for (size_t k = i; k < end; ++k, dataEntry += 16)
            dir.Pair(order[k]->Language, static_cast<uint32_t>(dataEntry));
    });
    uint64_t dataOffset = uint64_t{offset} + dirSize + names;
    for (const auto* item : order) {
        uint64_t size = item->Data.Bytes().size();
        dir.DataEntry(static_cast<uint32_t>(dataOffset), static_cast<uint32_t>(size));
        dataOffset += size;
    }
    ForEachResource(order, KeepsLanguages(), [&](size_t i, size_t) {
        if (order[i]->Id) return;
        dir.Name(order[i]->WideName());
    });
    dir.WriteTo(s);
    for (const auto* item : order) PutBytes(s, item->Data.Bytes().data(), item->Data.Bytes().size());
}

void TResRCData::WriteResFormat(fw::TStream& s) {
    for (const auto& item : items_) {
        const std::u16string& w = item->WideName();
        std::vector<uint8_t> name;
        name.reserve(w.size() * 2 + 4);
        if (item->Id) {
            name = {0xFF, 0xFF, static_cast<uint8_t>(*item->Id), static_cast<uint8_t>(*item->Id >> 8)};
        } else {
            for (char16_t c : w) {
                name.push_back(static_cast<uint8_t>(c));
                name.push_back(static_cast<uint8_t>(c >> 8));
            }
            name.push_back(0);
            name.push_back(0);
            while (name.size() % 4) name.push_back(0);
        }
        WriteResHeader(s, static_cast<uint32_t>(item->Data.Size()), 10, name, item->Language);
        item->SaveData(s);
        PadTo4(s);
    }
}

void TResRCData::LoadFromPE(TPEResourceList& list) {
    Clear();
    const bool asInSource = Processor && Processor->KeepAllResources;
    for (auto& entry : list.GetItems()) {
        if (!asInSource) {
            TResRCDataItem* item = Add(entry->Name());
            if (entry->NameField() & kDirectoryFlag) item->SetWideName(entry->WideName());
            const uint8_t* data = entry->Data();
            item->Data.WriteBuffer(data, entry->DataSize());
            item->Data.SetPosition(0);
            continue;
        }
        // Every language an item of its own; a numeric id stays one.
        std::optional<uint16_t> id;
        if (!(entry->NameField() & kDirectoryFlag)) id = static_cast<uint16_t>(entry->NameField());
        const std::string name = entry->Name();
        const std::u16string wide = id ? std::u16string() : entry->WideName();
        for (const TPELanguageData& lang : entry->Languages()) {
            TResRCDataItem* item = Add(name);
            if (!id) item->SetWideName(wide);
            item->Id = id;
            item->Language = lang.Language;
            item->Data.WriteBuffer(lang.Data, lang.Size);
            item->Data.SetPosition(0);
        }
    }
}

void TResRCData::LoadFromResList(const TResEntryList& list) {
    Clear();
    for (const auto& e : list) {
        if (e.Type.IsName || e.Type.Id != ResType()) continue;
        TResRCDataItem* item = Add(e.Name.IsName ? WideToAnsi(e.Name.Name) : fw::Format("%d", {e.Name.Id}));
        if (e.Name.IsName) item->SetWideName(e.Name.Name);
        item->Data.WriteBuffer(e.Data, e.Size);
        item->Data.SetPosition(0);
    }
}

// ---- TResRawBlock

namespace {

bool NameBefore(const TResId& a, const TResId& b) {
    // Named entries come first, sorted by their UTF-16 code units; then ids ascending.
    if (a.IsName != b.IsName) return a.IsName;
    return a.IsName ? a.Name < b.Name : a.Id < b.Id;
}

bool SameName(const TResId& a, const TResId& b) {
    return a.IsName == b.IsName && (a.IsName ? a.Name == b.Name : a.Id == b.Id);
}

}  // namespace

std::vector<std::vector<const TResRawEntry*>> TResRawBlock::Directory() const {
    std::vector<const TResRawEntry*> all;
    all.reserve(Entries.size());
    for (const auto& e : Entries) all.push_back(&e);
    std::stable_sort(all.begin(), all.end(), [](const TResRawEntry* a, const TResRawEntry* b) {
        if (NameBefore(a->Name, b->Name)) return true;
        if (NameBefore(b->Name, a->Name)) return false;
        return a->Language < b->Language;
    });
    std::vector<std::vector<const TResRawEntry*>> names;
    for (const TResRawEntry* e : all) {
        if (names.empty() || !SameName(names.back().front()->Name, e->Name)) names.emplace_back();
        names.back().push_back(e);
    }
    return names;
}

uint64_t TResRawBlock::NamesSize() const {
    uint64_t n = 0;
    for (const auto& group : Directory())
        if (group.front()->Name.IsName) n += 2 + 2 * uint64_t{group.front()->Name.Name.size()};
    return n;
}

uint32_t TResRawBlock::DirectorySize() const {
    // Name directory, one language directory per name, one data entry per language.
    const auto dir = Directory();
    return static_cast<uint32_t>(16 + 8 * dir.size() + 16 * dir.size() + 8 * Entries.size() + 16 * Entries.size());
}

uint64_t TResRawBlock::Size() const {
    uint64_t n = DirectorySize() + NamesSize();
    for (const auto& e : Entries) n += e.Data.size();
    return n;
}

void TResRawBlock::CheckWritable() const {
    if (Entries.size() > 0xFFFF)
        throw fw::EWriteError(fw::Format("Too many resources of one type for one module (%u)",
                                         {static_cast<unsigned long long>(Entries.size())}));
    for (const auto& e : Entries)
        if (e.Name.IsName && e.Name.Name.size() > 0xFFFF) throw fw::EWriteError("A resource name is too long");
}

void TResRawBlock::WriteDirectory(fw::TStream& s, uint32_t offset) {
    CheckWritable();
    const uint32_t stamp = TimeStamp();
    const auto dir = Directory();
    const auto names = static_cast<uint32_t>(dir.size());
    uint16_t named = 0;
    for (const auto& group : dir) named += group.front()->Name.IsName ? 1 : 0;
    const uint64_t namesSize = NamesSize();
    TDirectoryBuilder b(DirectorySize() + namesSize);
    b.Header(stamp, named, static_cast<uint16_t>(names - named));
    // Offsets of the language directories (after the name entries) and of the data entries.
    uint64_t langDir = uint64_t{offset} + 16 + 8 * uint64_t{names};
    uint64_t dataEntries = langDir;
    for (const auto& group : dir) dataEntries += 16 + 8 * uint64_t{group.size()};
    uint64_t nameAt = uint64_t{offset} + DirectorySize();
    uint64_t l = langDir;
    for (const auto& group : dir) {
        const TResId& n = group.front()->Name;
        uint32_t field = n.IsName ? kDirectoryFlag + static_cast<uint32_t>(nameAt) : n.Id;
        if (n.IsName) nameAt += 2 + 2 * uint64_t{n.Name.size()};
        b.Pair(field, kDirectoryFlag + static_cast<uint32_t>(l));
        l += 16 + 8 * uint64_t{group.size()};
    }
    uint64_t d = dataEntries;
    for (const auto& group : dir) {
        b.Header(stamp, 0, static_cast<uint16_t>(group.size()));
        for (const TResRawEntry* e : group) {
            b.Pair(e->Language, static_cast<uint32_t>(d));
            d += 16;
        }
    }
    uint64_t data = uint64_t{offset} + DirectorySize() + namesSize;
    for (const auto& group : dir)
        for (const TResRawEntry* e : group) {
            b.DataEntry(static_cast<uint32_t>(data), static_cast<uint32_t>(e->Data.size()));
            data += e->Data.size();
        }
    for (const auto& group : dir) {
        const TResId& n = group.front()->Name;
        if (!n.IsName) continue;
        b.Name(n.Name);
    }
    b.WriteTo(s);
    for (const auto& group : dir)
        for (const TResRawEntry* e : group)
            if (!e->Data.empty()) PutBytes(s, e->Data.data(), e->Data.size());
}

void TResRawBlock::WriteResFormat(fw::TStream& s) {
    auto idField = [](const TResId& id) {
        std::vector<uint8_t> f;
        if (id.IsName) {
            for (char16_t c : id.Name) {
                f.push_back(static_cast<uint8_t>(c));
                f.push_back(static_cast<uint8_t>(c >> 8));
            }
            f.push_back(0);
            f.push_back(0);
        } else {
            f = {0xFF, 0xFF, static_cast<uint8_t>(id.Id), static_cast<uint8_t>(id.Id >> 8)};
        }
        return f;
    };
    for (const auto& group : Directory())
        for (const TResRawEntry* e : group) {
            std::vector<uint8_t> head = idField(Type), name = idField(e->Name);
            head.insert(head.end(), name.begin(), name.end());
            while (head.size() % 4) head.push_back(0);
            s.WriteU32(static_cast<uint32_t>(e->Data.size()));
            s.WriteU32(static_cast<uint32_t>(8 + head.size() + 16));
            s.WriteBuffer(head.data(), static_cast<int64_t>(head.size()));
            s.WriteU32(0);       // data version
            s.WriteU16(0x1030);  // memory flags
            s.WriteU16(e->Language);
            s.WriteU32(0);  // version
            s.WriteU32(0);  // characteristics
            if (!e->Data.empty()) s.WriteBuffer(e->Data.data(), static_cast<int64_t>(e->Data.size()));
            PadTo4(s);
        }
}

void TResRawBlock::LoadFromPE(TPEResourceList& list) {
    Clear();
    for (auto& item : list.GetItems()) {
        TResId name;
        const uint32_t field = item->NameField();
        if (field & kDirectoryFlag) {
            name.IsName = true;
            name.Name = item->WideName();
        } else {
            name.Id = static_cast<uint16_t>(field);
        }
        for (const TPELanguageData& lang : item->Languages()) {
            TResRawEntry e;
            e.Name = name;
            e.Language = lang.Language;
            e.Data.assign(lang.Data, lang.Data + lang.Size);
            Entries.push_back(std::move(e));
        }
    }
}

void TResRawBlock::LoadFromResList(const TResEntryList& list) {
    Clear();
    for (const auto& e : list) {
        if (e.Type.IsName != Type.IsName || (Type.IsName ? e.Type.Name != Type.Name : e.Type.Id != Type.Id)) continue;
        TResRawEntry r;
        r.Name = e.Name;
        r.Language = e.Language;
        r.Data.assign(e.Data, e.Data + e.Size);
        Entries.push_back(std::move(r));
    }
}

// ---- TResProcessor

TResProcessor::TResProcessor() = default;
TResProcessor::~TResProcessor() = default;

void TResProcessor::Clear() {
    blocks_.clear();
}

TResBlock* TResProcessor::FindBlock(uint32_t resType) const {
    for (const auto& b : blocks_)
        if (b->ResType() == resType) return b.get();
    return nullptr;
}

TResBlock* TResProcessor::AddBlock(std::unique_ptr<TResBlock> block) {
    block->Processor = this;
    blocks_.push_back(std::move(block));
    return blocks_.back().get();
}

void TResProcessor::LoadFromFile(const std::string& fileName) {
    TPEReader reader(fileName);
    LoadFromReader(reader);
}

void TResProcessor::LoadFromStream(const std::string& fileName, fw::TStream& source) {
    TPEReader reader(fileName, source);
    LoadFromReader(reader);
}

void TResProcessor::LoadFromReader(TPEReader& reader) {
    Clear();
    // Built aside and taken over whole: a file that turns out bad leaves the processor empty
    // rather than half-loaded.
    std::vector<std::unique_ptr<TResBlock>> loaded;
    for (auto& item : reader.ResourceList()->GetItems()) {
        std::string name = item->Name();
        std::unique_ptr<TResBlock> block;
        if (name == "String") {
            block = std::make_unique<TResString>(this);
        } else if (name == "RCData") {
            block = std::make_unique<TResRCData>(this);
        } else if (KeepAllResources) {
            if (!item->IsList()) continue;
            const uint32_t field = item->NameField();
            TResId type;
            if (field & kDirectoryFlag) {
                type.IsName = true;
                type.Name = item->WideName();
            } else {
                type.Id = static_cast<uint16_t>(field);
            }
            block = std::make_unique<TResRawBlock>(std::move(type), this);
        } else {
            continue;
        }
        block->LoadFromPE(*item->GetList());
        loaded.push_back(std::move(block));
    }
    blocks_ = std::move(loaded);
    Source64Bit = reader.Is64Bit();
    // Only programs taken whole (those of the framework's own tools) are asked for their
    // generation; others are not read through again.
    SourceUnicodeRunTime = KeepAllResources && HasUnicodeRunTime(reader.FileBase(), reader.ImageSize());
}

namespace {

const TResId* NamedType(const TResBlock* b) {
    auto* raw = dynamic_cast<const TResRawBlock*>(b);
    return raw && raw->Type.IsName ? &raw->Type : nullptr;
}

}  // namespace

uint64_t TResProcessor::TypeNamesSize() const {
    uint64_t n = 0;
    for (const auto& b : blocks_)
        if (const TResId* t = NamedType(b.get())) n += 2 + 2 * uint64_t{t->Name.size()};
    return n;
}

uint64_t TResProcessor::Size() const {
    uint64_t n = 16 + 8 * uint64_t{blocks_.size()} + TypeNamesSize();
    for (const auto& b : blocks_) n += b->Size();
    return n;
}

uint32_t TResProcessor::TimeStamp() const {
    if (writeStamp_) return *writeStamp_;
    if (FixedTimeStamp) return *FixedTimeStamp;
    return ResourceTimeStamp();
}

void TResProcessor::WriteHeaders(fw::TStream& stream) {
    const uint64_t size = Size();
    if (size > kMaxSectionSize)
        throw fw::EWriteError(fw::Format("The resource module would be too large (%u bytes of resources)",
                                         {static_cast<unsigned long long>(size)}));
    const auto rawSize = static_cast<uint32_t>(RoundUp(size, kFileAlignment));
    uint8_t h[kHeadersOnDisk] = {};
    auto put16 = [&](size_t at, uint32_t v) {
        h[at] = static_cast<uint8_t>(v);
        h[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    // DOS header and stub.
    h[0] = 'M';
    h[1] = 'Z';
    put16(0x02, 0x0050);
    put16(0x04, 2);
    put16(0x08, 4);
    put16(0x0A, 0x000F);
    put16(0x0C, 0xFFFF);
    put16(0x10, 0x00B8);
    put16(0x18, 0x0040);
    put16(0x1A, 0x001A);
    put32(0x3C, 0x100);
    static const uint8_t stubCode[16] = {0xBA, 0x10, 0x00, 0x0E, 0x1F, 0xB4, 0x09, 0xCD,
                                         0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21, 0x90, 0x90};
    std::memcpy(h + 0x40, stubCode, sizeof stubCode);
    std::memcpy(h + 0x50, "This program must be run under Win32\r\n$7", 40);
    // NT headers.
    std::memcpy(h + 0x100, "PE\0\0", 4);
    put16(0x104, 0x014C);
    put16(0x106, 1);
    put32(0x108, TimeStamp());
    put16(0x114, 0x00E0);
    put16(0x116, 0xA18E);
    put16(0x118, 0x010B);
    h[0x11A] = 1;
    put32(0x134, 0x00400000);
    put32(0x138, kSectionAlignment);
    put32(0x13C, kFileAlignment);
    put16(0x140, 1);
    put16(0x144, 1);
    put16(0x148, 4);
    put32(0x150, static_cast<uint32_t>(RoundUp(size + kHeadersOnDisk, kSectionAlignment)));
    put32(0x154, kHeadersOnDisk);
    put16(0x15C, 2);
    put16(0x15E, 0x0001);
    put32(0x160, 0x1000);
    put32(0x164, 0x100);
    put32(0x168, 0x1000);
    put32(0x16C, 0x100);
    put32(0x174, 16);
    put32(0x188, kSectionRVA);
    put32(0x18C, rawSize);
    // The one section.
    std::memcpy(h + 0x1F8, ".rsrc", 5);
    put32(0x200, static_cast<uint32_t>(size));
    put32(0x204, kSectionRVA);
    put32(0x208, rawSize);
    put32(0x20C, kHeadersOnDisk);
    put32(0x21C, 0x40000000);
    stream.WriteBuffer(h, sizeof h);
}

void TResProcessor::SaveToStream(fw::TStream& stream) {
    if (blocks_.size() > 0xFFFF) throw fw::EWriteError("Too many resource blocks for one module");
    // Each block checks its content and fixes its layout once for the whole write, before the
    // first byte goes out.
    struct TWriteSession {
        std::vector<TResBlock*> begun;
        ~TWriteSession() {
            for (TResBlock* b : begun) b->EndWrite();
        }
    } session;
    for (const auto& b : blocks_) {
        b->BeginWrite();
        session.begun.push_back(b.get());
    }
    const uint64_t size = Size();
    if (size > kMaxSectionSize)
        throw fw::EWriteError(fw::Format("The resource module would be too large (%u bytes of resources)",
                                         {static_cast<unsigned long long>(size)}));
    // One stamp for the whole module, so every header agrees even across a clock tick.
    writeStamp_ = FixedTimeStamp ? *FixedTimeStamp : ResourceTimeStamp();
    struct ResetStamp {
        std::optional<uint32_t>& s;
        ~ResetStamp() { s.reset(); }
    } reset{writeStamp_};

    // A memory stream written at its end gets room for the whole module first and then grows
    // piece by piece as it is written (never regrown, never zero-filled ahead of the writes);
    // any other stream gets the writes in large pieces.
    const uint64_t fileSize = kHeadersOnDisk + RoundUp(size, kFileAlignment);
    std::unique_ptr<TStagingStream> staging;
    fw::TStream* out = &stream;
    auto* mem = dynamic_cast<fw::TMemoryStream*>(&stream);
    if (mem && mem->Position() == mem->Size()) {
        mem->Bytes().reserve(static_cast<size_t>(mem->Size()) + static_cast<size_t>(fileSize));
    } else {
        staging = std::make_unique<TStagingStream>(stream);
        out = staging.get();
    }
    WriteHeaders(*out);
    const auto count = static_cast<uint32_t>(blocks_.size());
    // Named types first (by name), then type ids in ascending order, as the loader's binary
    // search expects them. Only modules that keep all of a program's resources have named types.
    std::vector<TResBlock*> order;
    for (const auto& b : blocks_) order.push_back(b.get());
    std::stable_sort(order.begin(), order.end(), [](TResBlock* a, TResBlock* b) {
        const TResId *na = NamedType(a), *nb = NamedType(b);
        if (na || nb) return na && (!nb || na->Name < nb->Name);
        return (a->ResType() & 0xFFFF) < (b->ResType() & 0xFFFF);
    });
    uint16_t named = 0;
    for (TResBlock* b : order) named += NamedType(b) ? 1 : 0;
    const uint64_t typeNames = TypeNamesSize();
    TDirectoryBuilder root(16 + 8 * size_t{count} + static_cast<size_t>(typeNames));
    root.Header(*writeStamp_, named, static_cast<uint16_t>(count - named));
    std::vector<uint32_t> offsets;
    offsets.reserve(count);
    uint64_t nameAt = 16 + 8 * uint64_t{count};
    uint64_t offset = nameAt + typeNames;
    for (TResBlock* b : order) {
        offsets.push_back(static_cast<uint32_t>(offset));
        uint32_t field = b->ResType() & 0xFFFF;
        if (const TResId* t = NamedType(b)) {
            field = kDirectoryFlag + static_cast<uint32_t>(nameAt);
            nameAt += 2 + 2 * uint64_t{t->Name.size()};
        }
        root.Pair(field, kDirectoryFlag + static_cast<uint32_t>(offset));
        offset += b->Size();
    }
    for (TResBlock* b : order)
        if (const TResId* t = NamedType(b)) {
            root.Name(t->Name);
        }
    root.WriteTo(*out);
    for (uint32_t i = 0; i < count; ++i) order[i]->WriteDirectory(*out, offsets[i]);
    WriteZeros(*out, RoundUp(size, kFileAlignment) - size);
    if (staging) staging->Flush();
}

// ---- instance resolution (the resource-module utilities install theirs)

namespace {
TResourceInstanceResolver g_resolver = nullptr;
}

void SetResourceInstanceResolver(TResourceInstanceResolver resolver) {
    g_resolver = resolver;
}

uintptr_t ResolveResourceInstance(uintptr_t instance) {
    uintptr_t r = g_resolver ? g_resolver(instance) : 0;
    return r ? r : instance;
}

}  // namespace resources

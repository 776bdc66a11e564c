#include "LangContainer.h"

#include <cstring>

#include "framework/ByteReader.h"
#include "localizer/kutils/KLocales.h"

namespace langres {
namespace {

// The names are S8 strings with the counter of language-file version 6.
constexpr uint16_t NameCounterVersion = 6;

struct TDirectory {
    uint16_t Version = 0;
    uint32_t Revision = 0;
    std::vector<TLangContainerEntry> Entries;  // without data
};

// Reads signature and directory; the reader is left at the first data block.
bool ReadDirectory(fw::TByteReader& r, TDirectory& dir) {
    if (r.Left() < 3 || std::memcmp(r.Data(), "KLL", 3) != 0) return false;
    try {
        r.Skip(3);
        dir.Version = r.U16();
        dir.Revision = r.U32();
        uint16_t n = r.U16();
        // Every entry holds at least its id and its size: no room is reserved for more.
        if (static_cast<size_t>(n) * 4 > r.Left()) throw ELFProcError(SInvalidKLangs);
        dir.Entries.resize(n);
        for (auto& e : dir.Entries) {
            e.LangId = r.U16();
            if (dir.Version >= 3)
                e.EnglishName = ReadS8(r, NameCounterVersion);
            else
                e.EnglishName = kutils::LocaleEnglishName(e.LangId);
        }
    } catch (const fw::EEndOfData&) {
        throw ELFProcError(SInvalidKLangs);
    }
    return true;
}

uint32_t ReadBlockSize(fw::TByteReader& r, uint16_t version) {
    if (r.Left() < (version >= 2 ? 4u : 2u)) throw ELFProcError(SInvalidKLangs);
    return version >= 2 ? r.U32() : r.U16();
}

const uint8_t* ReadBlock(fw::TByteReader& r, uint16_t version, uint32_t& size) {
    size = ReadBlockSize(r, version);
    if (size > r.Left()) throw ELFProcError(SInvalidKLangs);
    return r.Ptr(size);
}

}  // namespace

bool IsLangContainer(const uint8_t* data, size_t size) {
    return size >= 3 && std::memcmp(data, "KLL", 3) == 0;
}

TLangContainer ReadLangContainer(const uint8_t* data, size_t size, bool withData) {
    fw::TByteReader r(data, size);
    TDirectory dir;
    if (!ReadDirectory(r, dir)) throw ELFProcError(SInvalidKLangs);
    TLangContainer c;
    c.Version = dir.Version;
    c.Revision = dir.Revision;
    c.Entries = std::move(dir.Entries);
    if (withData) {
        for (auto& e : c.Entries) {
            uint32_t n;
            const uint8_t* p = ReadBlock(r, c.Version, n);
            e.Data.assign(p, p + n);
        }
    }
    return c;
}

bool FindContainerBlock(const uint8_t* data, size_t size, uint16_t langId, std::vector<uint8_t>& block) {
    fw::TByteReader r(data, size);
    TDirectory dir;
    if (!ReadDirectory(r, dir)) return false;
    int index = -1;
    if (langId == 0) {
        index = 0;
    } else {
        for (size_t i = 0; i < dir.Entries.size(); ++i)
            if (dir.Entries[i].LangId == langId) {
                index = static_cast<int>(i);
                break;
            }
    }
    // An empty container has no native entry either.
    if (index < 0 || static_cast<size_t>(index) >= dir.Entries.size()) return false;
    uint32_t n = 0;
    for (int i = 0; i < index; ++i) ReadBlock(r, dir.Version, n);
    const uint8_t* p = ReadBlock(r, dir.Version, n);
    block.assign(p, p + n);
    return true;
}

bool ExtractContainerLanguage(const uint8_t* data, size_t size, uint16_t langId, std::vector<uint8_t>& image) {
    std::vector<uint8_t> block;
    if (!FindContainerBlock(data, size, langId, block)) return false;
    image = DecompressImage(block.data(), block.size());
    return true;
}

std::vector<uint8_t> WriteLangContainer(const TLangContainer& c) {
    if (c.Version < 1 || c.Version > LangContainerMaxVersion)
        throw ELFProcError(fw::Format("Container version %d can not be written", {static_cast<int>(c.Version)}));
    if (c.Entries.size() > 0xFFFF) throw ELFProcError("A container holds at most 65535 languages");
    std::vector<uint8_t> out{'K', 'L', 'L'};
    auto u16 = [&](uint32_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    u16(c.Version);
    u32(c.Revision);
    u16(static_cast<uint32_t>(c.Entries.size()));
    for (const auto& e : c.Entries) {
        u16(e.LangId);
        if (c.Version >= 3) {
            WriteCounter(out, static_cast<uint32_t>(e.EnglishName.size()), NameCounterVersion);
            out.insert(out.end(), e.EnglishName.begin(), e.EnglishName.end());
        }
    }
    for (const auto& e : c.Entries) {
        if (c.Version >= 2) {
            if (e.Data.size() > 0xFFFFFFFFu) throw ELFProcError("A container block is too large");
            u32(static_cast<uint32_t>(e.Data.size()));
        } else {
            if (e.Data.size() > 0xFFFF)
                throw ELFProcError(fw::Format("A block of %u bytes does not fit a version-1 container",
                                              {static_cast<unsigned>(e.Data.size())}));
            u16(static_cast<uint32_t>(e.Data.size()));
        }
        out.insert(out.end(), e.Data.begin(), e.Data.end());
    }
    return out;
}

}  // namespace langres

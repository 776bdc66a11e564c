// The embedded language container "KLL" (RCDATA "QLX_LOC_LANGS_"): whole language files carried
// inside a module. The first language is the native one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LangFormat.h"

namespace langres {

const char* const SEmbeddedLangsName = "QLX_LOC_LANGS_";
const char* const SInvalidKLangs = "Invalid KLANGS resource";

constexpr uint16_t LangContainerMaxVersion = 3;

struct TLangContainerEntry {
    uint16_t LangId = 0;
    std::string EnglishName;    // stored from version 3 on, else the locale table's name
    std::vector<uint8_t> Data;  // a language-file image, plain or an "LZK00" block
};

struct TLangContainer {
    uint16_t Version = LangContainerMaxVersion;
    uint32_t Revision = 0;
    std::vector<TLangContainerEntry> Entries;
};

// Whether the bytes start with the container signature "KLL".
bool IsLangContainer(const uint8_t* data, size_t size);

// Reads the whole container. ELFProcError "Invalid KLANGS resource" when the signature is
// missing, the directory is cut short or a block is shorter than its size. With withData false
// only the directory is read (the data blocks are neither checked nor copied).
TLangContainer ReadLangContainer(const uint8_t* data, size_t size, bool withData = true);

// The stored block of one language: id 0 takes the first (native) entry, any other id the first
// entry with that id. False when the bytes are no container or the id is not in it; the same
// error as above for a block that is cut short.
bool FindContainerBlock(const uint8_t* data, size_t size, uint16_t langId, std::vector<uint8_t>& block);

// The plain language-file image of one language (a compressed block decompressed).
bool ExtractContainerLanguage(const uint8_t* data, size_t size, uint16_t langId, std::vector<uint8_t>& image);

// Writes the container in its Version (1 to 3). ELFProcError when a block does not fit the
// version's size field or a name is too long.
std::vector<uint8_t> WriteLangContainer(const TLangContainer& container);

}  // namespace langres

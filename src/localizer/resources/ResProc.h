// String tables and RCDATA of one module as editable blocks, written out as a resource-only
// 32-bit PE library (the translated resource module) or as .RES entries.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PEReader.h"
#include "framework/Classes.h"

namespace resources {

class TResProcessor;

// A resource type or name in a .RES file: a 16-bit id or a text.
struct TResId {
    bool IsName = false;
    uint16_t Id = 0;
    std::u16string Name;
};

// One parsed .RES entry; Data points into the buffer that was parsed.
struct TResEntry {
    TResId Type;
    TResId Name;
    uint16_t Language = 0;
    const uint8_t* Data = nullptr;
    uint32_t Size = 0;
};
using TResEntryList = std::vector<TResEntry>;

// Parses the entries of a 32-bit .RES image (the leading empty entry, if any, is skipped);
// fw::EReadError when an entry runs past the end.
TResEntryList ParseResEntries(const uint8_t* data, size_t size);

// The seconds stamp the module's headers carry, taken from the local clock.
uint32_t ResourceTimeStamp();

// All resources of one type.
class TResBlock {
public:
    explicit TResBlock(TResProcessor* processor = nullptr) : Processor(processor) {}
    virtual ~TResBlock() = default;
    TResBlock(const TResBlock&) = delete;
    TResBlock& operator=(const TResBlock&) = delete;

    virtual int Count() const = 0;
    // Bytes in the resource section: DirectorySize + names + data.
    virtual uint64_t Size() const = 0;
    virtual uint32_t DirectorySize() const = 0;
    virtual uint32_t ResType() const = 0;
    // Writes this block's part of the resource section, which starts at `offset` from the
    // section start.
    virtual void WriteDirectory(fw::TStream& stream, uint32_t offset) = 0;
    virtual void WriteResFormat(fw::TStream& stream) = 0;
    virtual void LoadFromPE(TPEResourceList& list) = 0;
    virtual void LoadFromResList(const TResEntryList& list) = 0;
    virtual void Clear() = 0;
    // EWriteError when the content cannot be expressed in a module (counts and lengths are
    // 16-bit there); SaveToStream asks every block before it writes the first byte.
    virtual void CheckWritable() const {}
    // Bracket one write of a module: between them the content does not change, so a block may
    // work out its layout once. BeginWrite also checks the content.
    virtual void BeginWrite() { CheckWritable(); }
    virtual void EndWrite() {}

    TResProcessor* Processor;  // the owner, set by AddBlock

protected:
    uint32_t TimeStamp() const;
};

struct TResStringItem {
    int32_t Id = 0;
    std::u16string Text;
};

struct TResStringGroup {
    int32_t Id = 0;  // block number: string id div 16 + 1
    int32_t Slots[16];
    uint16_t Language = 0;  // written as such; 0 unless the source's languages are kept
    TResStringGroup() {
        for (auto& s : Slots) s = -1;
    }
};

// A string-table block in a further language of the source (modules that keep the source's
// languages): its own 16 texts, an empty text being an empty slot. The first language of a
// block number is held by the strings and groups of the table itself.
struct TResStringLangBlock {
    int32_t Block = 0;  // block number
    uint16_t Language = 0;
    std::u16string Texts[16];
};

// String tables: strings sorted by id (ids 0 to 65535, unique) and the 16-string groups, and
// the blocks of further languages.
class TResString : public TResBlock {
public:
    using TResBlock::TResBlock;

    int Count() const override { return static_cast<int>(strings_.size()); }
    uint64_t Size() const override;
    uint32_t DirectorySize() const override;
    uint32_t ResType() const override { return 6; }
    void WriteDirectory(fw::TStream& stream, uint32_t offset) override;
    void WriteResFormat(fw::TStream& stream) override;
    void LoadFromPE(TPEResourceList& list) override;
    void LoadFromResList(const TResEntryList& list) override;
    void Clear() override;
    void CheckWritable() const override;
    void BeginWrite() override;
    void EndWrite() override;

    TResStringItem* Strings(int index) const;  // nullptr when out of range
    int IndexOfId(int32_t id) const;
    TResStringItem* FindString(int32_t id) const;
    // Inserts in id order and returns the position; -1 when the id is already present (the
    // first text stays). EListError for an id outside 0..65535.
    int AddString(int32_t id, std::u16string text);

    int GroupCount() const { return static_cast<int>(groups_.size()); }
    const TResStringGroup* Groups(int index) const;
    // Bytes of one group's data: 2 per empty slot, 2 + 2 x length per string.
    uint64_t GroupDataSize(const TResStringGroup& group) const;
    // Adds the strings of one 16-string block (count-prefixed UTF-16 records) of block number
    // `block`; stops at the end of the data. EExeError when a record runs past the end.
    void ReadBlock(int32_t block, const uint8_t* data, size_t size);
    // The language the group of block number `block` is written with (when it has strings).
    void SetGroupLanguage(int32_t block, uint16_t language);

    // Blocks of further languages, in the order added; written beside the group of the same
    // block number, languages ascending.
    int LangBlockCount() const { return static_cast<int>(langBlocks_.size()); }
    TResStringLangBlock* LangBlocks(int index);  // nullptr when out of range
    const TResStringLangBlock* LangBlocks(int index) const;
    // Reads one 16-string block of a further language as ReadBlock does.
    TResStringLangBlock& ReadLangBlock(int32_t block, uint16_t language, const uint8_t* data, size_t size);

private:
    struct TGroupSpan {
        const TResStringGroup* Group;
        size_t First, Last;  // the group's strings: strings_[First, Last)
        uint64_t Size;       // its data bytes
    };
    // One language of one block number as the module lists it: a group or a further language.
    struct TEntry {
        int32_t Block;
        uint16_t Language;
        const TGroupSpan* Span;              // or
        const TResStringLangBlock* Further;  // the other one is null
        uint64_t Size;
    };
    std::vector<TGroupSpan> Spans() const;  // EWriteError for a string too long to write
    // The entries by block number, languages ascending; `names` gets the number of block numbers.
    std::vector<TEntry> Entries(const std::vector<TGroupSpan>& spans, size_t& names) const;
    size_t BlockNumbers() const;  // distinct block numbers of groups and further languages
    // EWriteError for a block number in more languages than a directory counts (16 bits).
    void CheckLanguageCounts() const;
    // One entry's 16 slot records at p; returns their end.
    uint8_t* PutEntryData(uint8_t* p, const TEntry& entry) const;
    void WriteEntriesData(fw::TStream& stream, const TEntry* first, const TEntry* last) const;

    bool writing_ = false;
    std::vector<TGroupSpan> spans_;
    uint64_t spansSize_ = 0;
    std::vector<std::unique_ptr<TResStringLangBlock>> langBlocks_;

    TResStringItem* NewItem();
    std::vector<TResStringItem*> strings_;  // sorted by id, into store_
    std::vector<std::unique_ptr<TResStringItem[]>> store_;
    size_t storeChunk_ = 0, storeUsed_ = 0;
    std::vector<TResStringGroup> groups_;  // sorted by block number
};

class TResRCDataItem {
public:
    std::string Name;  // ANSI
    fw::TMemoryStream Data;
    uint16_t Language = 0;  // written as such; 0 unless the source's languages are kept
    // Written under this numeric id instead of as a name (Name is then its decimal text); only
    // items of modules that keep a program's resources as they are have one.
    std::optional<uint16_t> Id;

    void LoadData(fw::TStream& stream);  // replaces the data with the whole stream
    void SaveData(fw::TStream& stream);  // writes the whole data at the stream's position
    int64_t DataSize() { return Data.Size(); }
    // The name as written to a module: as the source module holds it when it came from one
    // (SetWideName), else the 8-bit name converted from the system ANSI code page.
    const std::u16string& WideName() const;
    // Names the item with a UTF-16 name, which is kept as it is; Name gets its 8-bit form (where
    // the code page lacks a letter of it, that form is not the name: a form class named in
    // another script).
    void SetWideName(std::u16string wide);
    // The name as UTF-8, for messages and for names in any script.
    std::string Utf8Name() const;

private:
    mutable std::string wideFor_;
    mutable std::u16string wide_;
    mutable bool wideValid_ = false;
};

// RCDATA items in insertion order; names need not be unique. Items of the same name (or id) are
// the languages of one resource.
class TResRCData : public TResBlock {
public:
    using TResBlock::TResBlock;

    int Count() const override { return static_cast<int>(items_.size()); }
    uint64_t Size() const override;
    uint32_t DirectorySize() const override;
    uint32_t ResType() const override { return 10; }
    void WriteDirectory(fw::TStream& stream, uint32_t offset) override;
    void WriteResFormat(fw::TStream& stream) override;
    void LoadFromPE(TPEResourceList& list) override;
    void LoadFromResList(const TResEntryList& list) override;
    void Clear() override;
    void CheckWritable() const override;
    void BeginWrite() override;
    void EndWrite() override;

    TResRCDataItem* Items(int index) const;  // nullptr when out of range
    TResRCDataItem* Add(const std::string& name);
    TResRCDataItem* FindByName(const std::string& name) const;  // case-insensitive (ASCII)
    // By a name in UTF-8, as the names of forms and classes are kept (in any script): an ASCII
    // name as FindByName, any other by the items' UTF-16 names regardless of case.
    TResRCDataItem* FindByUtf8Name(const std::string& name) const;
    // Whether an item (not one with a numeric id) carries that UTF-8 name, compared so.
    static bool NameIs(const TResRCDataItem& item, const std::string& name);
    // Whether two items carry one name (their UTF-16 names regardless of case) or one id.
    static bool SameName(const TResRCDataItem& a, const TResRCDataItem& b);
    int IndexOfName(const std::string& name) const;
    void Remove(const std::string& name);
    void Delete(int index);

    // The items in the order a module lists them: named items sorted by name, then numeric ids
    // ascending; the items of one name by language.
    std::vector<const TResRCDataItem*> DirectoryOrder() const;

private:
    // Items of one name (or id) are the languages of one resource (KeepAllResources).
    bool KeepsLanguages() const;
    std::vector<std::unique_ptr<TResRCDataItem>> items_;
    // Laid out once for a write of the whole module (BeginWrite to EndWrite).
    bool writing_ = false;
    uint64_t writeSize_ = 0;
    std::vector<const TResRCDataItem*> writeOrder_;
};

// Resources of any other type, kept as they are: names (text or id), every language, the bytes.
// Only modules for programs that carry no settings records hold these.
struct TResRawEntry {
    TResId Name;
    uint16_t Language = 0;
    std::vector<uint8_t> Data;
};

class TResRawBlock : public TResBlock {
public:
    explicit TResRawBlock(TResId type, TResProcessor* processor = nullptr)
        : TResBlock(processor), Type(std::move(type)) {}

    int Count() const override { return static_cast<int>(Entries.size()); }
    uint64_t Size() const override;
    uint32_t DirectorySize() const override;
    // The type id; 0 for a named type (see Type).
    uint32_t ResType() const override { return Type.IsName ? 0 : Type.Id; }
    void WriteDirectory(fw::TStream& stream, uint32_t offset) override;
    void WriteResFormat(fw::TStream& stream) override;
    void LoadFromPE(TPEResourceList& list) override;
    void LoadFromResList(const TResEntryList& list) override;
    void Clear() override { Entries.clear(); }
    void CheckWritable() const override;

    TResId Type;
    std::vector<TResRawEntry> Entries;

private:
    // The entries grouped by name in directory order (names sorted, then ids ascending; the
    // languages of a name ascending).
    std::vector<std::vector<const TResRawEntry*>> Directory() const;
    uint64_t NamesSize() const;
};

class TResProcessor {
public:
    TResProcessor();
    ~TResProcessor();
    TResProcessor(const TResProcessor&) = delete;
    TResProcessor& operator=(const TResProcessor&) = delete;

    // String tables and RCDATA of a module file (plain or LZK-compressed). Errors of the
    // reader propagate; a failure after the file was opened leaves the processor empty.
    void LoadFromFile(const std::string& fileName);
    // The same over the bytes of such a file already read (fileName names it in messages).
    void LoadFromStream(const std::string& fileName, fw::TStream& source);
    // Windows only: the string tables and RCDATA of the module that serves the resources of
    // `instance` (an HINSTANCE).
    void LoadFromModule(uintptr_t instance);

    TResBlock* FindBlock(uint32_t resType) const;
    TResBlock* AddBlock(std::unique_ptr<TResBlock> block);
    void Clear();
    int BlockCount() const { return static_cast<int>(blocks_.size()); }
    TResBlock* Blocks(int index) const { return blocks_.at(static_cast<size_t>(index)).get(); }

    // Bytes of the resource section.
    uint64_t Size() const;
    static constexpr uint32_t HeaderSize() { return 64 + 192 + 248 + 40; }
    // The 1024 bytes of headers in front of the resource section.
    void WriteHeaders(fw::TStream& stream);
    // The whole module, in one forward pass from the stream's position.
    void SaveToStream(fw::TStream& stream);

    // Set before loading a file: also keep every resource of other types, every language of
    // string tables and RCDATA and the numeric ids of RCDATA as they are in the source, for a
    // module that has to stand in for all of a program's resources.
    bool KeepAllResources = false;
    // Whether the file loaded last is a 64-bit module.
    bool Source64Bit = false;
    // With KeepAllResources: whether the file loaded last carries the type information of the
    // Unicode era's string type, which every program of that era's run-time library has
    // (HasUnicodeRunTime).
    bool SourceUnicodeRunTime = false;

    // Fixed time stamp for reproducible modules; empty means the clock at writing time.
    std::optional<uint32_t> FixedTimeStamp;
    // The stamp of the module being written (the fixed one or the clock's).
    uint32_t TimeStamp() const;

private:
    void LoadFromReader(TPEReader& reader);
    uint64_t TypeNamesSize() const;  // names of named resource types in the root directory
    std::vector<std::unique_ptr<TResBlock>> blocks_;
    std::optional<uint32_t> writeStamp_;
};

// Maps an instance to the module that serves its resources (the translated resource module
// when one is registered for it). The resource-module utilities install theirs; without one an
// instance serves its own resources.
using TResourceInstanceResolver = uintptr_t (*)(uintptr_t instance);
void SetResourceInstanceResolver(TResourceInstanceResolver resolver);
uintptr_t ResolveResourceInstance(uintptr_t instance);

}  // namespace resources

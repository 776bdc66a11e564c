// Reads the resource section of a 32-bit Windows module file (plain or LZK-compressed) as a
// tree of lists and items. Only reads; every offset and size taken from the file is checked
// against the image before it is used.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "framework/Classes.h"
#include "framework/SysUtils.h"

namespace resources {

class EExeError : public fw::Exception {
public:
    using fw::Exception::Exception;
    const char* ClassName() const noexcept override { return "EExeError"; }
};

class TPEReader;
class TPEResourceList;

// One language of a resource: its language id and its bytes inside the image.
struct TPELanguageData {
    uint16_t Language = 0;
    size_t DataEntryOffset = 0;  // file offset of the 16-byte data entry
    const uint8_t* Data = nullptr;
    uint32_t Size = 0;
};

// A section header as it lies in the file (40 bytes).
struct TImageSectionHeader {
    char Name[8] = {};
    uint32_t VirtualSize = 0;
    uint32_t VirtualAddress = 0;
    uint32_t SizeOfRawData = 0;
    uint32_t PointerToRawData = 0;
    uint32_t PointerToRelocations = 0;
    uint32_t PointerToLinenumbers = 0;
    uint16_t NumberOfRelocations = 0;
    uint16_t NumberOfLinenumbers = 0;
    uint32_t Characteristics = 0;
};

// One 8-byte directory entry. At the root it is a resource type, one level down a resource
// name; a name is a leaf whose data is that of its first language.
class TPEResourceItem {
public:
    TPEResourceItem(TPEResourceList& owner, size_t entryOffset);
    virtual ~TPEResourceItem();
    TPEResourceItem(const TPEResourceItem&) = delete;
    TPEResourceItem& operator=(const TPEResourceItem&) = delete;

    virtual void GetName(std::string& name);
    virtual TPEResourceList* GetList();
    virtual bool IsList();

    std::string Name() {
        std::string n;
        GetName(n);
        return n;
    }
    // The 16-byte data entry of the first language (RVA, size, code page, reserved).
    const uint8_t* DataEntry();
    // The resource bytes inside the image; DataSize bytes are readable there.
    const uint8_t* Data();
    int32_t DataSize();
    // A name entry's text as UTF-16, as it lies in the file (empty for an id).
    std::u16string WideName();
    // Every language of a name (a leaf), in directory order, each checked like the first.
    std::vector<TPELanguageData> Languages();

    TPEResourceList& Owner() const { return owner_; }
    uint32_t NameField() const { return nameField_; }
    uint32_t OffsetField() const { return offsetField_; }
    size_t EntryOffset() const { return entryOffset_; }

private:
    void ResolveData();
    size_t LanguageDirectory(uint32_t& count, bool all);
    TPELanguageData LanguageAt(uint32_t index, const size_t* knownHeader);

    TPEResourceList& owner_;
    size_t entryOffset_;  // file offset of the directory entry
    uint32_t nameField_;
    uint32_t offsetField_;
    std::unique_ptr<TPEResourceList> list_;
    bool dataResolved_ = false;
    size_t dataEntryOffset_ = 0;  // file offsets, valid once resolved
    size_t dataOffset_ = 0;
    uint32_t dataSize_ = 0;
};

// One resource directory: the root (types) or the names of one type.
class TPEResourceList {
public:
    TPEResourceList(TPEReader& reader, uint32_t directoryOffset, uint32_t resType, int level);
    virtual ~TPEResourceList();
    TPEResourceList(const TPEResourceList&) = delete;
    TPEResourceList& operator=(const TPEResourceList&) = delete;

    virtual std::vector<std::unique_ptr<TPEResourceItem>>& GetItems();
    int Count() { return static_cast<int>(GetItems().size()); }
    TPEResourceItem* Items(int index);  // EListError when out of range

    TPEReader& Reader() const { return reader_; }
    // Raw name/id field of the type entry that owns this list; 0 for the root.
    uint32_t ResType;
    // 0 for the root (types), 1 for the names of a type.
    int Level() const { return level_; }
    // Offset of the directory from the start of the resource section.
    uint32_t DirectoryOffset() const { return directoryOffset_; }

private:
    TPEReader& reader_;
    uint32_t directoryOffset_;
    int level_;
    bool built_ = false;
    std::vector<std::unique_ptr<TPEResourceItem>> items_;
};

class TPEReader {
public:
    // Loads and checks the file: EExeError with the reason when it is not a readable PE module.
    explicit TPEReader(const std::string& fileName);
    // The same from a stream that holds the module (from its start); the name is for messages.
    TPEReader(const std::string& fileName, fw::TStream& source);
    virtual ~TPEReader();
    TPEReader(const TPEReader&) = delete;
    TPEReader& operator=(const TPEReader&) = delete;

    const std::string& FileName() const { return fileName_; }
    // A 64-bit module: its optional header is the PE32+ one.
    bool Is64Bit() const { return U16At(ntHeaders_ + 24) == 0x020B; }
    // The first section whose name matches (case-insensitive, at most 8 characters).
    bool FindSection(std::string_view name, TImageSectionHeader& section);
    // The root directory; "No resources in this file." when there is no ".rsrc" section.
    TPEResourceList* ResourceList();

    const uint8_t* FileBase() const { return image_.Bytes().data(); }
    size_t ImageSize() const { return image_.Bytes().size(); }
    uint32_t ResourceBase() const { return resourceBase_; }  // file offset of the section
    uint32_t ResourceRVA() const { return resourceRVA_; }

    // Used by the lists and items of this reader.
    // File offset of [offset, offset + length) of the resource section; EExeError naming `what`
    // when that range does not lie within the image.
    size_t ResourceSpan(uint64_t offset, uint64_t length, const char* what);
    uint16_t U16At(size_t fileOffset) const;
    uint32_t U32At(size_t fileOffset) const;
    // Each directory is reached by one entry only, so a loop in the tree is an error.
    void ClaimDirectory(uint32_t offset);
    [[noreturn]] void Corrupt(const std::string& detail) const;

private:
    void Load(fw::TStream& source);
    void Check();

    std::string fileName_;
    fw::TMemoryStream image_;
    uint32_t ntHeaders_ = 0;
    std::unique_ptr<TPEResourceList> resourceList_;
    uint32_t resourceBase_ = 0;
    uint32_t resourceRVA_ = 0;
    std::set<uint32_t> claimedDirectories_;
};

}  // namespace resources

#include "PEReader.h"

#include <cstring>

#include "PETypes.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/kutils/kcompress.h"

namespace resources {

namespace {

constexpr uint32_t kDirectoryFlag = 0x80000000u;
constexpr uint32_t kDosHeaderSize = 64;
constexpr uint32_t kNtHeadersSize = 248;  // signature, file header, PE32 optional header
constexpr uint32_t kFileHeaderOffset = 4;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kDirectoryHeaderSize = 16;
constexpr uint32_t kEntrySize = 8;
constexpr uint32_t kDataEntrySize = 16;

std::string Hex(uint64_t v) {
    return fw::Format("0x%x", {static_cast<unsigned long long>(v)});
}

}  // namespace

// ---- TPEReader

TPEReader::TPEReader(const std::string& fileName) : fileName_(fileName) {
    try {
        fw::TFileStream f(fileName, fw::fmOpenRead);
        Load(f);
    } catch (const std::exception&) {
        throw EExeError(fw::Format("Couldn't open file: %s", {fileName}));
    }
    Check();
}

TPEReader::TPEReader(const std::string& fileName, fw::TStream& source) : fileName_(fileName) {
    try {
        source.SetPosition(0);
        Load(source);
    } catch (const std::exception&) {
        throw EExeError(fw::Format("Couldn't open file: %s", {fileName}));
    }
    Check();
}

void TPEReader::Load(fw::TStream& source) {
    // One read of the whole file; a compressed one is then decompressed from memory.
    image_.LoadFromStream(source);
    if (kutils::IsCompressedStream(image_)) {
        fw::TMemoryStream packed(std::move(image_.Bytes()));
        image_.Clear();
        kutils::DecompressStream(packed, image_);
    }
}

void TPEReader::Check() {
    const size_t size = ImageSize();
    if (size == 0) throw EExeError("MapViewOfFile failed");
    const uint8_t* base = FileBase();
    if (size < 2 || base[0] != 'M' || base[1] != 'Z') throw EExeError("Unrecognized file format");
    if (size < kDosHeaderSize) throw EExeError("Not a PE (WIN32 Executable) file");
    ntHeaders_ = U32At(0x3C);
    if (uint64_t{ntHeaders_} + kNtHeadersSize > size || std::memcmp(base + ntHeaders_, "PE\0\0", 4) != 0)
        throw EExeError("Not a PE (WIN32 Executable) file");
}

TPEReader::~TPEReader() = default;

uint16_t TPEReader::U16At(size_t off) const {
    const uint8_t* p = FileBase() + off;
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t TPEReader::U32At(size_t off) const {
    const uint8_t* p = FileBase() + off;
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void TPEReader::Corrupt(const std::string& detail) const {
    throw EExeError(fw::Format("Bad resources in \"%s\": %s", {fileName_, detail}));
}

size_t TPEReader::ResourceSpan(uint64_t offset, uint64_t length, const char* what) {
    uint64_t start = uint64_t{resourceBase_} + offset;
    if (start > ImageSize() || length > ImageSize() - start)
        Corrupt(fw::Format("%s at file offset %s (%u bytes) lies outside the file",
                           {what, Hex(start), static_cast<unsigned long long>(length)}));
    return static_cast<size_t>(start);
}

void TPEReader::ClaimDirectory(uint32_t offset) {
    if (!claimedDirectories_.insert(offset).second)
        Corrupt("the directory at file offset " + Hex(uint64_t{resourceBase_} + offset) +
                " is reached twice (a loop in the resource tree)");
}

bool TPEReader::FindSection(std::string_view name, TImageSectionHeader& section) {
    const uint32_t count = U16At(ntHeaders_ + kFileHeaderOffset + 2);
    // The table follows the optional header, whose size the file header gives (224 for PE32,
    // 240 for PE32+).
    const uint32_t optionalSize = U16At(ntHeaders_ + kFileHeaderOffset + 16);
    const uint64_t table = uint64_t{ntHeaders_} + 24 + optionalSize;
    char want[8] = {};
    std::memcpy(want, name.data(), name.size() < 8 ? name.size() : 8);
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t off = table + uint64_t{i} * kSectionHeaderSize;
        if (off + kSectionHeaderSize > ImageSize())
            throw EExeError(
                fw::Format("Bad section table in \"%s\": section %u at file offset %s lies outside the file",
                           {fileName_, i + 1, Hex(off)}));
        const uint8_t* h = FileBase() + off;
        bool same = true;
        for (int k = 0; k < 8; ++k) {
            char a = want[k], b = static_cast<char>(h[k]);
            if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
            if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
            if (a != b) {
                same = false;
                break;
            }
            if (a == 0) break;
        }
        if (!same) continue;
        std::memcpy(section.Name, h, 8);
        section.VirtualSize = U32At(off + 8);
        section.VirtualAddress = U32At(off + 12);
        section.SizeOfRawData = U32At(off + 16);
        section.PointerToRawData = U32At(off + 20);
        section.PointerToRelocations = U32At(off + 24);
        section.PointerToLinenumbers = U32At(off + 28);
        section.NumberOfRelocations = U16At(off + 32);
        section.NumberOfLinenumbers = U16At(off + 34);
        section.Characteristics = U32At(off + 36);
        return true;
    }
    return false;
}

TPEResourceList* TPEReader::ResourceList() {
    if (resourceList_) return resourceList_.get();
    TImageSectionHeader rsrc;
    if (!FindSection(".rsrc", rsrc)) throw EExeError("No resources in this file.");
    if (rsrc.PointerToRawData >= ImageSize())
        throw EExeError(fw::Format(
            "Bad resources in \"%s\": the resource section starts at file offset %s, past the end of the file",
            {fileName_, Hex(rsrc.PointerToRawData)}));
    resourceBase_ = rsrc.PointerToRawData;
    resourceRVA_ = rsrc.VirtualAddress;
    ClaimDirectory(0);
    resourceList_ = std::make_unique<TPEResourceList>(*this, 0, 0, 0);
    return resourceList_.get();
}

// ---- TPEResourceList

TPEResourceList::TPEResourceList(TPEReader& reader, uint32_t directoryOffset, uint32_t resType, int level)
    : ResType(resType), reader_(reader), directoryOffset_(directoryOffset), level_(level) {}

TPEResourceList::~TPEResourceList() = default;

std::vector<std::unique_ptr<TPEResourceItem>>& TPEResourceList::GetItems() {
    if (built_) return items_;
    size_t header = reader_.ResourceSpan(directoryOffset_, kDirectoryHeaderSize, "the resource directory");
    uint32_t count = uint32_t{reader_.U16At(header + 12)} + reader_.U16At(header + 14);
    size_t first = reader_.ResourceSpan(uint64_t{directoryOffset_} + kDirectoryHeaderSize, uint64_t{count} * kEntrySize,
                                        "the entries of the resource directory");
    items_.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        items_.push_back(std::make_unique<TPEResourceItem>(*this, first + size_t{i} * kEntrySize));
    built_ = true;
    return items_;
}

TPEResourceItem* TPEResourceList::Items(int index) {
    auto& items = GetItems();
    if (index < 0 || static_cast<size_t>(index) >= items.size())
        throw fw::EListError(fw::Format("List index out of bounds (%d)", {index}));
    return items[static_cast<size_t>(index)].get();
}

// ---- TPEResourceItem

TPEResourceItem::TPEResourceItem(TPEResourceList& owner, size_t entryOffset)
    : owner_(owner),
      entryOffset_(entryOffset),
      nameField_(owner.Reader().U32At(entryOffset)),
      offsetField_(owner.Reader().U32At(entryOffset + 4)) {}

TPEResourceItem::~TPEResourceItem() = default;

void TPEResourceItem::GetName(std::string& name) {
    // An id is the field's low 16 bits, as the system's loader reads it (bits above are ignored
    // there, so a type 0x10006 is a string table to the program too).
    const uint32_t id = nameField_ & 0xFFFF;
    if (owner_.Level() == 0 && !(nameField_ & kDirectoryFlag) && id <= ResourceTypeMax) {
        name = ResourceTypeName(static_cast<TResourceType>(id));
    } else if (nameField_ & kDirectoryFlag) {
        name = kutils::WideToAnsiCP(WideName(), kutils::Nls().GetACP());
    } else {
        name = fw::Format("%d", {id});
    }
}

std::u16string TPEResourceItem::WideName() {
    if (!(nameField_ & kDirectoryFlag)) return {};
    TPEReader& r = owner_.Reader();
    uint32_t rel = nameField_ & ~kDirectoryFlag;
    size_t at = r.ResourceSpan(rel, 2, "the resource name");
    uint16_t chars = r.U16At(at);
    at = r.ResourceSpan(uint64_t{rel} + 2, uint64_t{chars} * 2, "the resource name");
    std::u16string wide(chars, u'\0');
    for (uint16_t i = 0; i < chars; ++i) wide[i] = static_cast<char16_t>(r.U16At(at + 2u * i));
    return wide;
}

bool TPEResourceItem::IsList() {
    // Only types have child lists: the names below them are leaves, whatever the file says,
    // so a walk never goes deeper than two levels.
    if (owner_.Level() != 0 || !(offsetField_ & kDirectoryFlag)) return false;
    TPEReader& r = owner_.Reader();
    uint32_t rel = offsetField_ & ~kDirectoryFlag;
    size_t header = r.ResourceSpan(rel, kDirectoryHeaderSize, "the resource directory");
    uint32_t count = uint32_t{r.U16At(header + 12)} + r.U16At(header + 14);
    if (count == 0) return true;  // a type without names is an empty list
    size_t entry = r.ResourceSpan(uint64_t{rel} + kDirectoryHeaderSize, kEntrySize, "the resource directory entry");
    return (r.U32At(entry + 4) & kDirectoryFlag) != 0;
}

TPEResourceList* TPEResourceItem::GetList() {
    if (list_) return list_.get();
    if (!IsList()) throw EExeError("ResourceItem is not a list");
    TPEReader& r = owner_.Reader();
    uint32_t rel = offsetField_ & ~kDirectoryFlag;
    r.ClaimDirectory(rel);
    list_ = std::make_unique<TPEResourceList>(r, rel, nameField_, owner_.Level() + 1);
    return list_.get();
}

void TPEResourceItem::ResolveData() {
    if (dataResolved_) return;
    TPELanguageData first = LanguageAt(0, nullptr);
    dataEntryOffset_ = first.DataEntryOffset;
    dataOffset_ = static_cast<size_t>(first.Data - owner_.Reader().FileBase());
    dataSize_ = first.Size;
    dataResolved_ = true;
}

// The language directory of a leaf, checked: its file offset and number of entries.
size_t TPEResourceItem::LanguageDirectory(uint32_t& count, bool all) {
    TPEReader& r = owner_.Reader();
    const std::string where =
        fw::Format("the entry at file offset 0x%x", {static_cast<unsigned long long>(entryOffset_)});
    if (!(offsetField_ & kDirectoryFlag)) r.Corrupt(where + " has no language directory");
    uint32_t rel = offsetField_ & ~kDirectoryFlag;
    size_t header = r.ResourceSpan(rel, kDirectoryHeaderSize, "the language directory");
    count = uint32_t{r.U16At(header + 12)} + r.U16At(header + 14);
    if (count == 0) r.Corrupt(where + " has an empty language directory");
    r.ResourceSpan(uint64_t{rel} + kDirectoryHeaderSize, uint64_t{all ? count : 1} * kEntrySize,
                   all ? "the language directory entries" : "the language directory entry");
    return header;
}

TPELanguageData TPEResourceItem::LanguageAt(uint32_t index, const size_t* knownHeader) {
    TPEReader& r = owner_.Reader();
    uint32_t count = 0;
    size_t header = knownHeader ? *knownHeader : LanguageDirectory(count, false);
    const std::string where =
        fw::Format("the entry at file offset 0x%x", {static_cast<unsigned long long>(entryOffset_)});
    size_t entry = header + kDirectoryHeaderSize + size_t{index} * kEntrySize;
    uint32_t dataEntryRel = r.U32At(entry + 4);
    if (dataEntryRel & kDirectoryFlag) r.Corrupt(where + " has a directory where its data entry should be");
    size_t dataEntry = r.ResourceSpan(dataEntryRel, kDataEntrySize, "the resource data entry");
    uint32_t rva = r.U32At(dataEntry);
    uint32_t size = r.U32At(dataEntry + 4);
    int64_t rel64 = int64_t{rva} - int64_t{r.ResourceRVA()};
    if (rel64 < -int64_t{r.ResourceBase()} || size > 0x7FFFFFFFu)
        r.Corrupt(fw::Format("the data of %s (RVA 0x%x, %u bytes) lies outside the file", {where, rva, size}));
    uint64_t start = static_cast<uint64_t>(int64_t{r.ResourceBase()} + rel64);
    if (start > r.ImageSize() || size > r.ImageSize() - start)
        r.Corrupt(fw::Format("the data of %s (RVA 0x%x, %u bytes) lies outside the file", {where, rva, size}));
    TPELanguageData d;
    d.Language = static_cast<uint16_t>(r.U32At(entry));
    d.DataEntryOffset = dataEntry;
    d.Data = r.FileBase() + start;
    d.Size = size;
    return d;
}

std::vector<TPELanguageData> TPEResourceItem::Languages() {
    uint32_t count = 0;
    size_t header = LanguageDirectory(count, true);
    std::vector<TPELanguageData> all;
    all.reserve(count);
    for (uint32_t i = 0; i < count; ++i) all.push_back(LanguageAt(i, &header));
    return all;
}

const uint8_t* TPEResourceItem::DataEntry() {
    ResolveData();
    return owner_.Reader().FileBase() + dataEntryOffset_;
}

const uint8_t* TPEResourceItem::Data() {
    ResolveData();
    return owner_.Reader().FileBase() + dataOffset_;
}

int32_t TPEResourceItem::DataSize() {
    if (IsList()) return 0;
    ResolveData();
    return static_cast<int32_t>(dataSize_);
}

}  // namespace resources

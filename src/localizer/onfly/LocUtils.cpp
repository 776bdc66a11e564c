#include "localizer/onfly/LocUtils.h"

#include <algorithm>
#include <cstring>

#include "framework/ByteReader.h"
#include "localizer/langres/SettingsRecord.h"
#include "localizer/resources/ResProc.h"

namespace onfly {

using namespace fw;

namespace {

const char* const SLoadResLibError = "Error loading resource file \"%s\"";
const char* const SInvalidResLibrary = "Invalid resource file format";
const char* const SOutOfVersion =
    "The version of the resource file \"%s\" is invalid. Please, update the file and try again";

// The platform keeps module file names in a buffer of 261 characters.
std::string ShortModuleName(IModuleSystem& system, TModuleHandle module) {
    std::string name = system.ModuleFileName(module);
    if (name.size() > 260) name.resize(260);
    return name;
}

std::string UpperName(const std::string& name) {
    return UpperCaseAscii(name);
}

}  // namespace

// ---- TDLLInfoList

TDLLInfoList::~TDLLInfoList() {
    Clear();
}

int TDLLInfoList::Add(TDLLInfoItem* item) {
    items_.push_back(item);
    return Count() - 1;
}

TDLLInfoItem* TDLLInfoList::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", {index}));
    return items_[static_cast<size_t>(index)];
}

void TDLLInfoList::Delete(int index) {
    delete Items(index);
    items_.erase(items_.begin() + index);
}

void TDLLInfoList::FreeItems() {
    for (auto*& item : items_) {
        delete item;
        item = nullptr;
    }
}

void TDLLInfoList::Clear() {
    FreeItems();
    items_.clear();
}

// ---- THostModuleSystem

THostModuleSystem::Contents& THostModuleSystem::Module::Writable() {
    // Shared with another module or with the parsed-file cache: change a copy of its own.
    if (Data.use_count() > 1) Data = std::make_shared<Contents>(*Data);
    return *Data;
}

THostModuleSystem::THostModuleSystem() {
    main_ = AddModule("", true);
}

TModuleHandle THostModuleSystem::AddModule(const std::string& fileName, bool listed) {
    TModuleHandle h = next_;
    next_ += 0x10000;
    modules_[h].FileName = fileName;
    if (listed) list_.push_back({h, h});
    return h;
}

void THostModuleSystem::ListModule(TModuleHandle module) {
    for (auto& r : list_)
        if (r.Instance == module) return;
    list_.push_back({module, module});
}

void THostModuleSystem::AddRCData(TModuleHandle module, const std::string& name, std::vector<uint8_t> data) {
    modules_.at(module).Writable().RCData[UpperName(name)] = std::move(data);
}

void THostModuleSystem::AddString(TModuleHandle module, int id, std::u16string text) {
    modules_.at(module).Writable().Strings[id] = std::move(text);
}

std::string THostModuleSystem::ModuleFileName(TModuleHandle module) {
    auto it = modules_.find(module);
    return it == modules_.end() ? std::string() : it->second.FileName;
}

bool THostModuleSystem::FindRCData(TModuleHandle module, const std::string& name, std::vector<uint8_t>& data) {
    auto it = modules_.find(module);
    if (it == modules_.end()) return false;
    const Contents& c = *it->second.Data;
    auto r = c.RCData.find(UpperName(name));
    if (r == c.RCData.end()) return false;
    data = r->second;
    return true;
}

namespace {

// Whether the rest of the stream holds exactly these bytes; read in pieces into one buffer
// kept for the purpose, so that a module read before costs no allocation when it comes again.
bool StreamHolds(TStream& stream, const std::vector<uint8_t>& bytes) {
    static thread_local std::vector<uint8_t> piece(512 * 1024);
    size_t done = 0;
    while (done < bytes.size()) {
        size_t n = std::min(piece.size(), bytes.size() - done);
        if (stream.Read(piece.data(), static_cast<int64_t>(n)) != static_cast<int64_t>(n)) return false;
        if (std::memcmp(piece.data(), bytes.data() + done, n) != 0) return false;
        done += n;
    }
    uint8_t more;
    return stream.Read(&more, 1) == 0;
}

}  // namespace

TModuleHandle THostModuleSystem::LoadDataModule(const std::string& fileName) {
    std::string native = fileName;
    for (char& c : native)
        if (c == '\\') c = '/';
    std::shared_ptr<Contents> data;
    TMemoryStream file;
    try {
        TFileStream f(native, fmOpenRead);
        const int64_t size = f.Size();
        for (size_t i = 0; i < parsed_.size() && !data; ++i) {
            if (static_cast<int64_t>(parsed_[i].Bytes.size()) != size) continue;
            f.Seek(0, TSeekOrigin::soBeginning);
            if (!StreamHolds(f, parsed_[i].Bytes)) continue;
            data = parsed_[i].Data;
            // Most recent last.
            std::rotate(parsed_.begin() + static_cast<std::ptrdiff_t>(i),
                        parsed_.begin() + static_cast<std::ptrdiff_t>(i) + 1, parsed_.end());
        }
        if (!data) {
            f.Seek(0, TSeekOrigin::soBeginning);
            file.LoadFromStream(f);
        }
    } catch (const Exception&) {
        return 0;
    }
    if (!data) {
        resources::TResProcessor p;
        try {
            fw::TBytesStream source(file.Bytes().data(), static_cast<int64_t>(file.Bytes().size()));
            p.LoadFromStream(native, source);
        } catch (const Exception&) {
            return 0;
        }
        data = std::make_shared<Contents>();
        // The processor goes away with this call: its texts and data move into the module.
        // Strings come in id order, so each goes to the end of the map.
        if (auto* rc = static_cast<resources::TResRCData*>(p.FindBlock(10))) {
            for (int i = 0; i < rc->Count(); ++i) {
                auto* item = rc->Items(i);
                data->RCData[UpperName(item->Name)] = std::move(item->Data.Bytes());
            }
        }
        if (auto* st = static_cast<resources::TResString*>(p.FindBlock(6))) {
            for (int i = 0; i < st->Count(); ++i)
                data->Strings.insert_or_assign(data->Strings.end(), st->Strings(i)->Id,
                                               std::move(st->Strings(i)->Text));
        }
        if (parsed_.size() == kParsedFiles) parsed_.erase(parsed_.begin());
        parsed_.push_back({std::move(file.Bytes()), data});
    }
    TModuleHandle h = AddModule(fileName, false);
    modules_[h].Data = std::move(data);
    return h;
}

void THostModuleSystem::UnloadModule(TModuleHandle module) {
    if (module != main_) modules_.erase(module);
}

TModuleHandle THostModuleSystem::FindResourceModule(TModuleHandle module) {
    for (auto& r : list_)
        if (r.Instance == module) return r.Res;
    return module;
}

bool THostModuleSystem::FindListRecord(TModuleHandle module, TModuleHandle& res) {
    for (auto& r : list_)
        if (r.Instance == module) {
            res = r.Res;
            return true;
        }
    return false;
}

void THostModuleSystem::SetListRecord(TModuleHandle module, TModuleHandle res) {
    for (auto& r : list_)
        if (r.Instance == module) {
            r.Res = res;
            return;
        }
}

std::vector<TModuleHandle> THostModuleSystem::ListedModules() {
    std::vector<TModuleHandle> out;
    for (auto& r : list_) out.push_back(r.Instance);
    return out;
}

bool THostModuleSystem::ReadString(TModuleHandle module, int id, std::u16string& text) {
    auto it = modules_.find(FindResourceModule(module));
    if (it == modules_.end()) return false;
    const Contents& c = *it->second.Data;
    auto s = c.Strings.find(id);
    if (s == c.Strings.end()) return false;
    text = s->second;
    return true;
}

void THostModuleSystem::BuildSource(TModuleHandle module, uintptr_t& handle, std::string& fileName) {
    // Modules held here are not mapped; the resource processor reads the module's file.
    handle = 0;
    fileName = ModuleFileName(module);
    for (char& c : fileName)
        if (c == '\\') c = '/';
}

// ---- TKLocUtils

TKLocUtils::TKLocUtils(IModuleSystem* system) : system_(nullptr) {
    SetSystem(system);
}

TKLocUtils::~TKLocUtils() = default;

void TKLocUtils::SetSystem(IModuleSystem* system) {
    system_ = system ? system : &DefaultModuleSystem();
    MainModule = system_->MainModule();
    AppFileName = system_->ExeFileName();
}

void TKLocUtils::RaiseInvalid(TModuleHandle module) {
    throw ELUInvalidResLibrary(std::string(SInvalidResLibrary) + " \"" + ShortModuleName(*system_, module) + "\"");
}

std::unique_ptr<TStream> TKLocUtils::OpenSettings(TModuleHandle module, bool isLibrary) {
    const char* name = isLibrary ? langres::SLibSettingsName : langres::SExeSettingsName;
    const char* signature = isLibrary ? langres::SLibSignature : langres::SExeSignature;
    std::vector<uint8_t> data;
    if (!system_->FindRCData(module, name, data)) RaiseInvalid(module);
    auto stream = std::make_unique<TMemoryStream>(std::move(data));
    char sig[4];
    if (stream->Read(sig, 4) != 4 || std::memcmp(sig, signature, 4) != 0) RaiseInvalid(module);
    return stream;
}

void TKLocUtils::ReadModuleInfo(TModuleHandle module, bool isLibrary, TDLLInfoItem& item) {
    std::unique_ptr<TStream> stream = OpenSettings(module, isLibrary);
    stream->SetPosition(0);
    try {
        ReadInfoRecord(*stream, item);
    } catch (const EReadError&) {
        RaiseInvalid(module);
    }
}

void TKLocUtils::ReadInfoRecord(TStream& stream, TDLLInfoItem& item) {
    // Only what is left of the stream is read; every count is checked against it.
    int64_t start = stream.Position();
    int64_t size = stream.Size();
    std::vector<uint8_t> bytes(static_cast<size_t>(size > start ? size - start : 0));
    if (!bytes.empty()) stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    TByteReader r(bytes);
    r.Skip(4);  // signature, checked by OpenSettings
    item.Revision = r.U32();
    item.LangId = r.U16();
    uint16_t n = r.U16();
    r.Need(n);
    std::string english(reinterpret_cast<const char*>(r.Data() + r.Pos()), n);
    r.Skip(n);
    // The names end at their counts or at an earlier zero.
    english.resize(std::strlen(english.c_str()));
    item.EnglishLangName = english;
    uint16_t w = r.U16();
    if (static_cast<size_t>(w) * 2 > r.Left()) r.Need(static_cast<size_t>(w) * 2);
    std::u16string native;
    for (uint16_t i = 0; i < w; ++i) {
        char16_t c = r.U16();
        if (c == 0) {
            r.Skip(static_cast<size_t>(w - i - 1) * 2);
            break;
        }
        native += c;
    }
    item.NativeLangName = native;
    if (r.Left() > 4) {
        r.Skip(4);  // carried and reserved words
        item.Build = r.U32();
    } else {
        item.Build = 0;
    }
    stream.SetPosition(start + static_cast<int64_t>(r.Pos()));
}

TModuleHandle TKLocUtils::LoadResourceModule(TModuleHandle module, const std::string& fileName) {
    if (!module) module = MainModule;
    if (fileName.empty()) return MainModule;
    TModuleHandle res = system_->LoadDataModule(fileName);
    if (!res) throw ELULoadResLibError(Format(SLoadResLibError, {fileName}));
    bool match;
    try {
        match = RevisionsMatch(module, res);
    } catch (...) {
        system_->UnloadModule(res);
        throw;
    }
    if (!match) {
        system_->UnloadModule(res);
        throw ELUOutOfVersion(Format(SOutOfVersion, {fileName}));
    }
    return res;
}

bool TKLocUtils::RevisionsMatch(TModuleHandle module, TModuleHandle resModule) {
    if (!module) module = MainModule;
    TDLLInfoItem own, res;
    ReadModuleInfo(module, module != MainModule, own);
    ReadModuleInfo(resModule, true, res);
    return own.Revision == res.Revision;
}

void TKLocUtils::SetModuleResources(TModuleHandle module, TModuleHandle resModule) {
    if (!module) module = MainModule;
    TModuleHandle current;
    if (!system_->FindListRecord(module, current)) return;
    if (current != module && current != resModule) system_->UnloadModule(current);
    system_->SetListRecord(module, resModule ? resModule : module);
}

void TKLocUtils::SwitchMainResources(const std::string& fileName) {
    SetModuleResources(MainModule, LoadResourceModule(MainModule, fileName));
}

void TKLocUtils::RestoreMainResources() {
    SetModuleResources(MainModule, MainModule);
}

void TKLocUtils::RestoreModuleResources(TModuleHandle module) {
    SetModuleResources(module, module);
}

TDLLInfoItem& TKLocUtils::CurrentModuleInfo() {
    TModuleHandle res;
    try {
        res = system_->FindResourceModule(MainModule);
    } catch (...) {
        return CurrentInfo;
    }
    // Fields read before a failure keep their new values.
    try {
        std::unique_ptr<TStream> stream = OpenSettings(res, true);
        stream->SetPosition(0);
        TDLLInfoItem item = CurrentInfo;
        try {
            ReadInfoRecord(*stream, item);
        } catch (...) {
        }
        // ReadInfoRecord fills in record order; copy what it reached.
        CurrentInfo = item;
    } catch (...) {
    }
    return CurrentInfo;
}

TKLocUtils& LocUtilsInstance() {
    static TKLocUtils instance;
    return instance;
}

}  // namespace onfly

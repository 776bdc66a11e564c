// TLangFile, second half: building the translated resource module of an application.
#include <cstring>
#include <map>

#include "LFProc.h"
#include "LangContainer.h"
#include "SettingsRecord.h"
#include "localizer/resources/Generation.h"
#include "localizer/resources/PrjProcs.h"
#include "localizer/resources/ResProc.h"

namespace langres {

using resources::TResProcessor;
using resources::TResRCData;
using resources::TResString;

namespace {

const char* const SInvalidNativeDll = "Can't create DLL. The native DLL is invalid";
const char* const SInvalidLangResources = "Invalid LangResources";

TResRCData* RCData(TResProcessor& processor) {
    return static_cast<TResRCData*>(processor.FindBlock(10));
}

}  // namespace

bool TLangFile::ReadSettingsRecord(TResProcessor& processor, uint16_t& carried) {
    carried = DefaultCarriedWord;
    TResRCData* block = RCData(processor);
    if (!block) return false;
    auto* item = block->FindByName(SLibSettingsName);
    if (!item) return false;
    fw::TMemoryStream copy;
    item->SaveData(copy);
    TSettingsRecord rec;
    if (!ReadSettingsRecordData(copy.Bytes().data(), copy.Bytes().size(), rec, SLibSignature)) return false;
    if (rec.HasCarriedWord) carried = rec.CarriedWord;
    return true;
}

bool TLangFile::HasSettingsRecords(const TResProcessor& processor) {
    auto* block = static_cast<TResRCData*>(processor.FindBlock(10));
    return block && (block->FindByName(SLibSettingsName) || block->FindByName(SExeSettingsName));
}

void TLangFile::TranslateResources(TResProcessor& processor, TLangResource* model,
                                   const resources::TFormReaderKinds* programReader) {
    if (auto* strings = static_cast<TResString*>(processor.FindBlock(6))) {
        // A module that keeps the source's languages may hold one string id in several
        // languages, each with a text of its own: a text is replaced only where it is the native
        // text the dictionary translates, so no language gets the translation of another text.
        const bool byText = processor.KeepAllResources;
        std::multimap<int32_t, resources::TResStringLangBlock*> further;
        for (int b = 0; b < strings->LangBlockCount(); ++b)
            further.emplace(strings->LangBlocks(b)->Block, strings->LangBlocks(b));
        TLinearConstantList constants;
        model->Units->CollectConstants(constants, false);
        for (int i = 0; i < constants.Count(); ++i) {
            TLResConstantItem* item = constants.Items(i);
            // A model whose item lacks the language keeps the module's text.
            if (DllLangIndex < 0 || DllLangIndex >= item->Values->Count()) continue;
            TLResValue* value = item->Values->Values(DllLangIndex);
            if (!value) continue;
            const std::u16string& native = item->NativeValue()->Text;
            const auto id = static_cast<int32_t>(item->ResId);
            int index = strings->IndexOfId(id);
            if (index >= 0 && (!byText || strings->Strings(index)->Text == native))
                strings->Strings(index)->Text = value->Text;
            auto [from, to] = further.equal_range(id / 16 + 1);
            for (auto it = from; it != to; ++it) {
                std::u16string& text = it->second->Texts[id % 16];
                if (!text.empty() && text == native) text = value->Text;
            }
        }
    }
    resources::TFormProcessor forms;
    forms.LangResource = model;
    for (int i = 0; i < model->Forms->Count(); ++i) forms.FormNames.push_back(model->Forms->Items(i)->Name);
    forms.LangIndex = DllLangIndex;
    forms.LangId = LangId;
    const bool keepCharset = HasOption(loKeepCharset);
    forms.UTF8Strings = keepCharset;
    forms.ReplaceCharset = !keepCharset;
    if (programReader) forms.ProgramReader = *programReader;
    forms.ProcessForms(processor);
    if (forms.Unwritable.empty()) return;
    std::string message;
    for (const std::string& line : forms.Unwritable) message += line + "\n";
    const int n = static_cast<int>(forms.Unwritable.size());
    message += fw::Format(n == 1 ? "%d text cannot be written for this program's form reader, %s; nothing written"
                                 : "%d texts cannot be written for this program's form reader, %s; nothing written",
                          {n, programReader->Describe()});
    throw ELFProcError(message);
}

void TLangFile::RemoveEmbeddedResources(TResProcessor& processor) {
    TResRCData* block = RCData(processor);
    if (!block) return;
    if (block->FindByName(SExeSettingsName)) block->Remove(SExeSettingsName);
    if (block->FindByName(SEmbeddedLangsName)) block->Remove(SEmbeddedLangsName);
}

void TLangFile::WriteSettingsRecord(TResProcessor& processor, uint16_t carried) {
    TResRCData* block = RCData(processor);
    auto* item = block ? block->FindByName(SLibSettingsName) : nullptr;
    if (!item) throw ELFProcError(SInvalidNativeDll);
    fw::TMemoryStream copy;
    item->SaveData(copy);
    std::vector<uint8_t> old = std::move(copy.Bytes());
    // The source's revision (the application's dictionary revision) stays; everything after it
    // names this file's language and build.
    TSettingsRecord rec;
    rec.Signature = SLibSignature;
    rec.Revision = 0;
    if (old.size() >= 8)
        rec.Revision = static_cast<uint32_t>(old[4]) | (static_cast<uint32_t>(old[5]) << 8) |
                       (static_cast<uint32_t>(old[6]) << 16) | (static_cast<uint32_t>(old[7]) << 24);
    rec.LangId = static_cast<uint16_t>(LangId);
    rec.EnglishLangName = EnglishLangName;
    rec.NativeLangName = NativeLangName;
    rec.CarriedWord = carried;
    rec.Build = Build;
    std::vector<uint8_t> data = WriteSettingsRecordData(rec);
    // The pad byte keeps what the old record had at that offset.
    size_t pad = data.size() - 1;
    data[pad] = pad < old.size() ? old[pad] : 0;
    fw::TBytesStream stream(data.data(), static_cast<int64_t>(data.size()));
    item->LoadData(stream);
}

void TLangFile::BuildResourceModule(uintptr_t module, fw::TStream& output, TLangResource* model,
                                    const std::string& nativeFileName) {
    if (!model) throw ELFProcError(SInvalidLangResources);
    TResProcessor processor;
    processor.FixedTimeStamp = ModuleTimeStamp;
    if (module) {
#ifdef _WIN32
        processor.LoadFromModule(module);
#else
        throw ELFProcError("Resources of a running module can only be read on Windows");
#endif
    } else {
        processor.LoadFromFile(nativeFileName);
    }
    uint16_t carried = DefaultCarriedWord;
    if (!ReadSettingsRecord(processor, carried)) {
        // Only a program file without any settings record is taken whole; one whose records
        // are missing or bad is refused as before.
        if (module || HasSettingsRecords(processor)) throw ELFProcError(SInvalidNativeDll);
        processor.KeepAllResources = true;
        processor.LoadFromFile(nativeFileName);
        TResRCData* block = RCData(processor);
        if (!block) block = static_cast<TResRCData*>(processor.AddBlock(std::make_unique<TResRCData>()));
        const resources::TFormReaderKinds reader = resources::ProgramFormReader(processor);
        TranslateResources(processor, model, &reader);
        // A record naming the module's language and build (revision 0: the program has none),
        // for the tools; the program itself never reads it.
        block->Add(SLibSettingsName);
        WriteSettingsRecord(processor, carried);
        processor.SaveToStream(output);
        return;
    }
    TranslateResources(processor, model);
    RemoveEmbeddedResources(processor);
    WriteSettingsRecord(processor, carried);
    processor.SaveToStream(output);
}

void TLangFile::SaveResourceModule(uintptr_t module, const std::string& outputFileName, TLangResource* model,
                                   const std::string& nativeFileName) {
    fw::TMemoryStream stream;
    BuildResourceModule(module, stream, model, nativeFileName);
    fw::WriteFileAtomically(outputFileName, stream.Bytes().data(), stream.Bytes().size());
}

}  // namespace langres

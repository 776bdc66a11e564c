// Arbitrary bytes as a module file: the reader, the whole tree walk with every language of every
// name, the processor load with and without every resource kept (and a write and re-read of
// whatever it loaded), and the .RES entry parser must fail cleanly or work.
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <algorithm>
#include <vector>

#include "framework/Classes.h"
#include "localizer/resources/PEReader.h"
#include "localizer/resources/ResProc.h"

using namespace resources;

namespace {

volatile uint32_t g_sink;

void Touch(const uint8_t* p, int32_t n) {
    uint32_t sum = 0;
    for (int32_t i = 0; i < n; ++i) sum += p[i];
    g_sink = sum;
}

void Walk(const uint8_t* data, size_t size) {
    fw::TBytesStream s(data, static_cast<int64_t>(size));
    try {
        TPEReader reader("fuzz.dll", s);
        TImageSectionHeader h;
        reader.FindSection(".text", h);
        TPEResourceList* root = reader.ResourceList();
        for (int t = 0; t < root->Count(); ++t) {
            TPEResourceItem* type = root->Items(t);
            try {
                type->Name();
                if (!type->IsList()) {
                    Touch(type->DataEntry(), 16);
                    Touch(type->Data(), type->DataSize());
                    continue;
                }
                TPEResourceList* names = type->GetList();
                for (int n = 0; n < names->Count(); ++n) {
                    TPEResourceItem* item = names->Items(n);
                    try {
                        item->Name();
                        if (item->IsList()) std::abort();  // names are leaves
                        Touch(item->DataEntry(), 16);
                        Touch(item->Data(), item->DataSize());
                        for (const TPELanguageData& lang : item->Languages()) {
                            Touch(lang.Data, static_cast<int32_t>(lang.Size));
                            Touch(item->Owner().Reader().FileBase() + lang.DataEntryOffset, 16);
                        }
                    } catch (const fw::Exception&) {
                    }
                }
            } catch (const fw::Exception&) {
            }
        }
    } catch (const fw::Exception&) {
    }
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// Every resource of every language kept, as for a program without settings records: what loads
// is written (or refused as too large for a module) and reads back with the same counts.
void LoadAllAndRewrite(const std::string& path) {
    TResProcessor p;
    p.KeepAllResources = true;
    try {
        p.LoadFromFile(path);
    } catch (const fw::Exception&) {
        return;
    }
    p.FixedTimeStamp = 1;
    fw::TMemoryStream m;
    try {
        p.SaveToStream(m);
    } catch (const fw::EWriteError&) {
        return;
    }
    TResProcessor q;
    q.KeepAllResources = true;
    fw::TMemoryStream again(m.Bytes());
    q.LoadFromStream("rewritten.dll", again);
    // Texts of every language: which language a block reads first may change (the module lists
    // them in order), their number does not.
    auto total = [](TResProcessor& r) {
        size_t n = 0;
        for (int i = 0; i < r.BlockCount(); ++i) {
            n += static_cast<size_t>(r.Blocks(i)->Count());
            if (auto* s = dynamic_cast<TResString*>(r.Blocks(i)))
                for (int k = 0; k < s->LangBlockCount(); ++k)
                    for (const auto& t : s->LangBlocks(k)->Texts) n += t.empty() ? 0 : 1;
        }
        return n;
    };
    if (q.BlockCount() != p.BlockCount() || total(q) != total(p)) std::abort();
}

void LoadAndRewrite(const uint8_t* data, size_t size) {
    // A memory-backed folder where there is one: the file is rewritten on every input.
    static const std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                    "/fuzz_pereader_" + std::to_string(getpid()) + ".dll";
    if (!WriteFile(path, data, size)) return;
    LoadAllAndRewrite(path);
    TResProcessor p;
    try {
        p.LoadFromFile(path);
    } catch (const fw::Exception&) {
        return;
    }
    // Whatever was loaded can be written, and the written module reads back the same.
    p.FixedTimeStamp = 1;
    fw::TMemoryStream m;
    p.SaveToStream(m);
    if (!WriteFile(path, m.Bytes().data(), m.Bytes().size())) return;
    TResProcessor q;
    q.LoadFromFile(path);
    std::vector<TResBlock*> order;
    for (int i = 0; i < p.BlockCount(); ++i) order.push_back(p.Blocks(i));
    std::stable_sort(order.begin(), order.end(),
                     [](TResBlock* a, TResBlock* b) { return a->ResType() < b->ResType(); });
    if (q.BlockCount() != p.BlockCount()) std::abort();
    for (int i = 0; i < q.BlockCount(); ++i)
        if (q.Blocks(i)->ResType() != order[i]->ResType() || q.Blocks(i)->Count() != order[i]->Count()) std::abort();
}

void ResEntries(const uint8_t* data, size_t size) {
    try {
        TResEntryList list = ParseResEntries(data, size);
        TResString s;
        TResRCData r;
        s.LoadFromResList(list);
        r.LoadFromResList(list);
    } catch (const fw::Exception&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Walk(data, size);
    LoadAndRewrite(data, size);
    ResEntries(data, size);
    return 0;
}

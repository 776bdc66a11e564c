// Loading language files against a plain read of the same bytes into memory, in one process.
// The dictionary: 100,000 items (40,000 constants, 40,000 properties, 20,000 externals) in a
// native file, and a translation of every item.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSummary.h"
#include "framework/Classes.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/LangWriter.h"

using namespace langres;

namespace {

std::u16string Text(const char* prefix, int i, bool translated) {
    std::string s = std::string(translated ? "Übersetzt " : "Native ") + prefix + " text number " + std::to_string(i);
    std::u16string w;
    for (unsigned char c : s) w += static_cast<char16_t>(c);
    return w;
}

TLFRecord Rec(std::string name, uint32_t id, std::u16string text, int32_t rev, uint32_t kind = vkString) {
    TLFRecord r;
    r.Name = std::move(name);
    r.Id = id;
    r.Kind = kind;
    r.Value.Present = true;
    r.Value.Text = std::move(text);
    r.Revision = rev;
    return r;
}

std::string Name(const char* prefix, int i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%05d", prefix, i);
    return buf;
}

TLangFileImage Dictionary(bool translated) {
    TLangFileImage img;
    img.Header.LangId = translated ? 0x0407 : 0x0409;
    img.Header.Revision = 30;
    img.Header.IsNative = translated ? 0 : 1;
    img.Header.EnglishLangName = translated ? "German" : "English";
    img.Header.NativeLangName = translated ? u"Deutsch" : u"English";
    uint32_t id = 0;
    for (int u = 0; u < 40; ++u) {
        TLFUnit unit{Name("Unit", u), 1, {}};
        for (int c = 0; c < 1000; ++c) {
            ++id;
            TLFRecord r =
                Rec(Name("SConst", c), id, Text("constant", static_cast<int>(id), translated), translated ? 31 : 20);
            r.ResId = static_cast<uint16_t>(id);
            unit.Constants.push_back(std::move(r));
        }
        img.Units.push_back(std::move(unit));
    }
    id = 0;
    for (int f = 0; f < 100; ++f) {
        TLFForm form{Name("Form", f), 0, {}, {}};
        for (int p = 0; p < 20; ++p) {
            ++id;
            form.Properties.push_back(Rec(Name("Prop", p), id, Text("form", static_cast<int>(id), translated), 20));
        }
        for (int c = 0; c < 19; ++c) {
            TLFComponent comp{Name("Comp", c), 0, {}};
            for (int p = 0; p < 20; ++p) {
                ++id;
                if (p % 10 == 9) {
                    TLFRecord r = Rec(Name("Width", p), id, u"", 20, vkInteger);
                    r.Value.Int = static_cast<int32_t>(id % 1000);
                    comp.Properties.push_back(std::move(r));
                } else {
                    comp.Properties.push_back(
                        Rec(Name("Caption", p), id, Text("property", static_cast<int>(id), translated), 20));
                }
            }
            form.Components.push_back(std::move(comp));
        }
        img.Forms.push_back(std::move(form));
    }
    id = 0;
    for (int g = 0; g < 20; ++g) {
        TLFGroup group{Name("Group", g), 0, {}};
        for (int e = 0; e < 1000; ++e) {
            ++id;
            group.Externals.push_back(Rec(Name("Ext", e), id, Text("external", static_cast<int>(id), translated), 20));
        }
        img.Groups.push_back(std::move(group));
    }
    img.Header.LastConstantId = 40000;
    img.Header.LastPropertyId = id;
    img.Header.LastExternalId = 20000;
    return img;
}

struct TFiles {
    std::string native, translation;
    size_t nativeSize = 0, translationSize = 0;
    TFiles() {
        auto dir = std::filesystem::temp_directory_path();
        native = (dir / "bench_langfile_native.lng").string();
        translation = (dir / "bench_langfile_de.lng").string();
        auto n = WriteLangFile(Dictionary(false), 7, false);
        auto t = WriteLangFile(Dictionary(true), 7, false);
        fw::WriteFileAtomically(native, n.data(), n.size());
        fw::WriteFileAtomically(translation, t.data(), t.size());
        nativeSize = n.size();
        translationSize = t.size();
    }
};

const TFiles& Files() {
    static TFiles f;
    return f;
}

// The peer: the same bytes read into memory and nothing else.
void BM_PlainRead(benchmark::State& state) {
    const std::string& file = state.range(0) ? Files().translation : Files().native;
    size_t total = 0;
    for (auto _ : state) {
        std::vector<uint8_t> bytes = fw::ReadFileBytes(file);
        benchmark::DoNotOptimize(bytes.data());
        total += bytes.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(total));
}
BENCHMARK(BM_PlainRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The native file: read, parsed, 100,000 items created (the previous ones freed).
void BM_LoadNative(benchmark::State& state) {
    TLangResource model;
    TLangFile lf(Files().native);
    for (auto _ : state) {
        lf.LoadFromFile(&model, -1);
        benchmark::DoNotOptimize(model.Units->Count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Files().nativeSize));
    state.counters["items"] = 100000;
}
BENCHMARK(BM_LoadNative)->Unit(benchmark::kMillisecond);

// The translation: read, parsed, every record matched by id and its value set.
void BM_LoadTranslation(benchmark::State& state) {
    TLangResource model;
    TLangFile native(Files().native);
    native.LoadFromFile(&model, -1);
    int index = model.AddLanguage(0, 0x0407);
    TLangFile lf(Files().translation);
    for (auto _ : state) {
        lf.LoadFromFile(&model, index);
        benchmark::DoNotOptimize(model.Units->Count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Files().translationSize));
}
BENCHMARK(BM_LoadTranslation)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    using namespace benchsummary;
    return Main(
        argc, argv,
        {{"native language file (100,000 items) load vs a plain read", "BM_LoadNative", "BM_PlainRead/0", kTimeRatio,
          kAtMost, 20},
         {"translation file load vs a plain read", "BM_LoadTranslation", "BM_PlainRead/1", kTimeRatio, kAtMost, 11.6}});
}

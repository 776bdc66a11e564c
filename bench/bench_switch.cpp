// Switching a big program live: N open forms of about 60 components each (labels, buttons, list
// boxes with items, panels, a status bar, a tabbed notebook, a frame) and a dictionary of 20,000
// constants, on the in-memory module system of the localizer tests. Three figures per N, in one
// run: SwitchToLangCode("DEU") with the translated module already built, the same switch that
// builds the module, and creating the same N forms from their resources.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BenchSummary.h"
#include "framework/Classes.h"
#include "framework/ComponentReader.h"
#include "framework/Components.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/langres/LangWriter.h"
#include "localizer/langres/SettingsRecord.h"
#include "localizer/onfly/LocOnFly.h"
#include "localizer/resources/FormConvert.h"
#include "localizer/resources/ResProc.h"

#ifdef _WIN32
#include <process.h>
#define BENCH_PID _getpid()
#else
#include <unistd.h>
#define BENCH_PID getpid()
#endif

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr int kMaxForms = 300;
constexpr int kConstants = 20000;
constexpr uint16_t kNative = 9;
constexpr uint16_t kGerman = 0x0407;

constexpr int kLabels = 20, kButtons = 15, kLists = 10, kPanels = 8, kPages = 4, kFrameLabels = 4, kItems = 5;

std::string FormClass(int i) {
    return "TSwitchForm" + std::to_string(i);
}

// Form text of form i: 20 labels, 15 buttons, 10 list boxes, 8 panels, a status bar, a tabbed
// notebook and an embedded frame (4 labels): 59 components of the form and 4 of the frame.
std::string FormText(int i) {
    std::string n = std::to_string(i);
    std::string t = "object " + FormClass(i).substr(1) + ": " + FormClass(i) + "\r\n";
    t += "  Left = 10\r\n  Top = 10\r\n  Width = 640\r\n  Height = 480\r\n";
    t += "  Caption = 'Settings page " + n + "'\r\n";
    for (int k = 0; k < kLabels; ++k)
        t += "  object Label" + std::to_string(k) +
             ": TLabel\r\n    Left = 8\r\n    Top = " + std::to_string(8 + 20 * k) + "\r\n    Caption = 'Label " +
             std::to_string(k) + " of page " + n + "'\r\n  end\r\n";
    for (int k = 0; k < kButtons; ++k)
        t += "  object Button" + std::to_string(k) +
             ": TButton\r\n    Left = 200\r\n    Top = " + std::to_string(8 + 28 * k) +
             "\r\n    Width = 75\r\n    Height = 25\r\n    Caption = '&Apply " + std::to_string(k) +
             "'\r\n    Hint = 'Applies the changes of group " + std::to_string(k) + "'\r\n  end\r\n";
    for (int k = 0; k < kLists; ++k) {
        t += "  object List" + std::to_string(k) + ": TListBox\r\n    Left = 300\r\n    Items.Strings = (";
        for (int j = 0; j < kItems; ++j)
            t += "\r\n      'Entry " + std::to_string(j) + " of list " + std::to_string(k) + "'";
        t += ")\r\n  end\r\n";
    }
    for (int k = 0; k < kPanels; ++k)
        t += "  object Panel" + std::to_string(k) + ": TPanel\r\n    Left = 420\r\n    Caption = 'Group " +
             std::to_string(k) + "'\r\n  end\r\n";
    t += "  object StatusBar: TStatusBar\r\n    Panels = <\r\n      item\r\n        Text = 'Ready'\r\n      end\r\n"
         "      item\r\n        Text = 'Page " +
         n + "'\r\n      end>\r\n  end\r\n";
    t += "  object Notebook: TTabbedNotebook\r\n    Left = 520\r\n";
    t += "    Pages.Strings = (";
    for (int k = 0; k < kPages; ++k) t += "\r\n      'Page " + std::to_string(k) + "'";
    t += ")\r\n  end\r\n";
    t += "  inline Frame: TSwitchFrame\r\n    Left = 8\r\n    Top = 420\r\n  end\r\n";
    t += "end\r\n";
    return t;
}

std::string FrameText() {
    std::string t = "object SwitchFrame: TSwitchFrame\r\n  Width = 300\r\n  Height = 60\r\n";
    for (int k = 0; k < kFrameLabels; ++k)
        t += "  object FrameLabel" + std::to_string(k) + ": TLabel\r\n    Left = " + std::to_string(70 * k) +
             "\r\n    Caption = 'Field " + std::to_string(k) + "'\r\n  end\r\n";
    t += "end\r\n";
    return t;
}

Bytes FormResource(const std::string& text) {
    fw::TMemoryStream in(Bytes(text.begin(), text.end())), out;
    resources::FormTextToBinary(in, out, false, 0);
    return out.Bytes();
}

std::u16string Wide(const std::string& s) {
    return langres::LangAnsiToWide(s, kNative);
}

// The text of an item in a language: the native text, or its German stand-in.
std::u16string Text(const std::string& native, bool german) {
    return Wide(german ? "DE " + native : native);
}

langres::TLFRecord Prop(const std::string& name, uint32_t& id, const std::string& native, bool german,
                        uint32_t kind = langres::vkString) {
    langres::TLFRecord r;
    r.Name = name;
    r.Id = ++id;
    r.Kind = kind;
    r.Value.Present = true;
    r.Value.Text = Text(native, german);
    r.Revision = 20;
    return r;
}

// The dictionary of an application with forms 0 .. forms-1, in one language.
Bytes LangFile(int forms, bool german) {
    langres::TLangFileImage img;
    img.Header.LangId = german ? kGerman : kNative;
    img.Header.Revision = 18;
    img.Header.Build = german ? 3 : 0;
    img.Header.IsNative = german ? 0 : 1;
    img.Header.EnglishLangName = german ? "German" : "English";
    img.Header.NativeLangName = german ? u"Deutsch" : u"English";
    uint32_t id = 0;
    for (int u = 0; u < kConstants / 1000; ++u) {
        langres::TLFUnit unit;
        char name[32];
        std::snprintf(name, sizeof name, "Unit%02d", u);
        unit.Name = name;
        unit.Flags = 1;
        for (int c = 0; c < 1000; ++c) {
            langres::TLFRecord r;
            std::snprintf(name, sizeof name, "SText%04d", c);
            r.Name = name;
            r.Id = ++id;
            r.ResId = static_cast<uint16_t>(1000 + id);
            r.Value.Present = true;
            r.Value.Text = Text("Message number " + std::to_string(id), german);
            r.Revision = 20;
            unit.Constants.push_back(std::move(r));
        }
        img.Units.push_back(std::move(unit));
    }
    img.Header.LastConstantId = id;

    // Entries in name order, as the program's own files list them.
    std::vector<std::string> names;
    for (int i = 0; i < forms; ++i) names.push_back(FormClass(i).substr(1));
    names.push_back("SwitchFrame");
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return langres::CompareNames(a, b) < 0; });
    id = 0;
    for (const std::string& formName : names) {
        langres::TLFForm f;
        f.Name = formName;
        if (formName == "SwitchFrame") {
            for (int k = 0; k < kFrameLabels; ++k)
                f.Components.push_back(
                    {"FrameLabel" + std::to_string(k), 0, {Prop("Caption", id, "Field " + std::to_string(k), german)}});
        } else {
            std::string n = formName.substr(std::string("SwitchForm").size());
            f.Properties.push_back(Prop("Caption", id, "Settings page " + n, german));
            std::vector<langres::TLFComponent> comps;
            for (int k = 0; k < kButtons; ++k)
                comps.push_back({"Button" + std::to_string(k),
                                 0,
                                 {Prop("Caption", id, "&Apply " + std::to_string(k), german),
                                  Prop("Hint", id, "Applies the changes of group " + std::to_string(k), german)}});
            comps.push_back({"Frame.FrameLabel0", 0, {Prop("Caption", id, "Street of page " + n, german)}});
            for (int k = 0; k < kLabels; ++k)
                comps.push_back({"Label" + std::to_string(k),
                                 0,
                                 {Prop("Caption", id, "Label " + std::to_string(k) + " of page " + n, german)}});
            for (int k = 0; k < kLists; ++k) {
                std::string items;
                for (int j = 0; j < kItems; ++j)
                    items +=
                        (j ? "\r\n" : "") + std::string("Entry ") + std::to_string(j) + " of list " + std::to_string(k);
                comps.push_back(
                    {"List" + std::to_string(k), 0, {Prop("Items.Strings", id, items, german, langres::vkStringList)}});
            }
            for (int k = 0; k < kPages; ++k)
                comps.push_back({"Notebook.TTabPage" + std::to_string(k + 1),
                                 0,
                                 {Prop("Caption", id, "Page " + std::to_string(k), german)}});
            for (int k = 0; k < kPanels; ++k)
                comps.push_back(
                    {"Panel" + std::to_string(k), 0, {Prop("Caption", id, "Group " + std::to_string(k), german)}});
            comps.push_back({"StatusBar.Panels[0]", 0, {Prop("Text", id, "Ready", german)}});
            comps.push_back({"StatusBar.Panels[1]", 0, {Prop("Text", id, "Page " + n, german)}});
            std::sort(comps.begin(), comps.end(),
                      [](const auto& a, const auto& b) { return langres::CompareNames(a.Name, b.Name) < 0; });
            f.Components = std::move(comps);
        }
        img.Forms.push_back(std::move(f));
    }
    img.Header.LastPropertyId = id;
    return langres::WriteLangFile(img, 7, false);
}

Bytes Record(const char* signature) {
    langres::TSettingsRecord rec;
    rec.Signature = signature;
    rec.Revision = 18;
    rec.LangId = kNative;
    rec.EnglishLangName = "English";
    rec.NativeLangName = u"English";
    return langres::WriteSettingsRecordData(rec);
}

void AddRC(resources::TResRCData* rc, const std::string& name, const Bytes& data) {
    fw::TBytesStream s(data.data(), static_cast<int64_t>(data.size()));
    rc->Add(name)->LoadData(s);
}

// The application module: the 20,000 native strings, the settings records and the forms.
Bytes AppModule(int forms, const std::vector<Bytes>& formRes, const Bytes& frameRes) {
    resources::TResProcessor p;
    auto* st = static_cast<resources::TResString*>(p.AddBlock(std::make_unique<resources::TResString>()));
    for (int id = 1; id <= kConstants; ++id)
        st->AddString(1000 + id, Text("Message number " + std::to_string(id), false));
    auto* rc = static_cast<resources::TResRCData*>(p.AddBlock(std::make_unique<resources::TResRCData>()));
    AddRC(rc, langres::SExeSettingsName, Record(langres::SExeSignature));
    AddRC(rc, langres::SLibSettingsName, Record(langres::SLibSignature));
    for (int i = 0; i < forms; ++i) AddRC(rc, fw::UpperCaseAscii(FormClass(i)), formRes[static_cast<size_t>(i)]);
    AddRC(rc, "TSWITCHFRAME", frameRes);
    p.FixedTimeStamp = 1;
    fw::TMemoryStream out;
    p.SaveToStream(out);
    return out.Bytes();
}

void WriteFile(const fs::path& name, const Bytes& data) {
    fw::WriteFileAtomically(name.string(), data.data(), data.size());
}

// One application with N open forms and a localizer that has switched to German once.
class TScene {
public:
    explicit TScene(int forms) : forms_(forms) {
        static const std::vector<Bytes> formRes = [] {
            std::vector<Bytes> v;
            for (int i = 0; i < kMaxForms; ++i) v.push_back(FormResource(FormText(i)));
            return v;
        }();
        static const Bytes frameRes = FormResource(FrameText());
        static const bool classes = [] {
            fw::HostResources().Add(0, "TSWITCHFRAME", frameRes);
            fw::DefineComponentClass("TSwitchFrame", fw::TFrame::StaticClass());
            for (int i = 0; i < kMaxForms; ++i) {
                fw::HostResources().Add(0, fw::UpperCaseAscii(FormClass(i)), formRes[static_cast<size_t>(i)]);
                fw::DefineComponentClass(FormClass(i), fw::TForm::StaticClass());
            }
            return true;
        }();
        (void)classes;

        dir_ = fs::temp_directory_path() / ("bench_switch_" + std::to_string(BENCH_PID) + "_" + std::to_string(forms));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "lang");
        fs::create_directories(dir_ / "dll");
        appFile_ = (dir_ / "App.exe").string();
        WriteFile(appFile_, AppModule(forms, formRes, frameRes));
        WriteFile(dir_ / "lang" / "App.ntv.lng", LangFile(forms, false));
        WriteFile(dir_ / "lang" / ("App." + kutils::LocaleAbbrev(kGerman) + ".lng"), LangFile(forms, true));
        main_ = sys_.LoadDataModule(appFile_);
        sys_.ListModule(main_);
        sys_.SetMainModule(main_);
        onfly::LocUtilsInstance().SetSystem(&sys_);
        onfly::LocUtilsInstance().AppFileName = appFile_;
        onfly::LocUtilsInstance().MainModule = main_;
        loc_ = std::make_unique<onfly::TKLocalizerOnFly>();
        loc_->ShowErrors = false;
        loc_->SetDLLFolder((dir_ / "dll").string());
        loc_->Init((dir_ / "lang").string());
        OpenForms();
        loc_->SwitchToLangCode("DEU");
        module_ = (dir_ / "dll" / ("App." + kutils::LocaleAbbrev(kGerman))).string();
    }
    ~TScene() {
        CloseForms();
        loc_.reset();
        onfly::LocUtilsInstance().SetSystem(nullptr);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    void OpenForms() {
        for (int i = 0; i < forms_; ++i) open_.emplace_back(fw::CreateComponent(fw::FindClass(FormClass(i)), nullptr));
    }
    void CloseForms() { open_.clear(); }

    onfly::TKLocalizerOnFly& Loc() { return *loc_; }
    const std::string& ModuleFile() const { return module_; }
    // Whether every form shows the German texts.
    bool Translated() const {
        for (const auto& f : open_) {
            auto* b = static_cast<fw::TControl*>(f->FindComponent("Button3"));
            auto* l = static_cast<fw::TListBox*>(f->FindComponent("List2"));
            if (!b || b->Caption != "DE &Apply 3" || !l || l->Items()->Count() != kItems ||
                l->Items()->Strings(0) != "DE Entry 0 of list 2")
                return false;
        }
        return !open_.empty();
    }

private:
    int forms_;
    fs::path dir_;
    std::string appFile_, module_;
    onfly::THostModuleSystem sys_;
    onfly::TModuleHandle main_ = 0;
    std::unique_ptr<onfly::TKLocalizerOnFly> loc_;
    std::vector<std::unique_ptr<fw::TComponent>> open_;
};

void SetPerForm(benchmark::State& state, int forms) {
    state.counters["forms"] = forms;
}

// The switch to German with the translated module present: back to the native language first
// (not timed), so every timed switch loads the module and re-translates every open form.
void BM_SwitchModulePresent(benchmark::State& state) {
    const int forms = static_cast<int>(state.range(0));
    TScene scene(forms);
    for (auto _ : state) {
        state.PauseTiming();
        scene.Loc().SwitchToLangCode("ntv");
        state.ResumeTiming();
        scene.Loc().SwitchToLangCode("DEU");
    }
    if (!scene.Translated()) state.SkipWithError("the forms were not translated");
    SetPerForm(state, forms);
}

// The same switch with the module deleted first: it is built from the language file in the call.
void BM_SwitchBuildModule(benchmark::State& state) {
    const int forms = static_cast<int>(state.range(0));
    TScene scene(forms);
    for (auto _ : state) {
        state.PauseTiming();
        scene.Loc().SwitchToLangCode("ntv");
        fs::remove(scene.ModuleFile());
        state.ResumeTiming();
        scene.Loc().SwitchToLangCode("DEU");
    }
    if (!scene.Translated()) state.SkipWithError("the forms were not translated");
    SetPerForm(state, forms);
}

// The peer: creating the same N forms from their resources (and closing them, not timed).
void BM_CreateForms(benchmark::State& state) {
    const int forms = static_cast<int>(state.range(0));
    TScene scene(forms);
    scene.CloseForms();
    for (auto _ : state) {
        scene.OpenForms();
        state.PauseTiming();
        scene.CloseForms();
        state.ResumeTiming();
    }
    SetPerForm(state, forms);
}

}  // namespace

#define SWITCH_SIZES ->Arg(1)->Arg(10)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_CreateForms) SWITCH_SIZES;
BENCHMARK(BM_SwitchModulePresent) SWITCH_SIZES;
BENCHMARK(BM_SwitchBuildModule) SWITCH_SIZES;

int main(int argc, char** argv) {
    std::vector<benchsummary::TFigure> figures;
    for (int n : {1, 10, 100, 300}) {
        std::string arg = "/" + std::to_string(n);
        figures.push_back({"live switch, N=" + std::to_string(n) + ", module present, vs creating the forms",
                           "BM_SwitchModulePresent" + arg, "BM_CreateForms" + arg, benchsummary::kTimeRatio,
                           benchsummary::kAtMost, 1.0});
        figures.push_back({"live switch, N=" + std::to_string(n) + ", module built, vs creating the forms",
                           "BM_SwitchBuildModule" + arg, "BM_CreateForms" + arg, benchsummary::kTimeRatio,
                           benchsummary::kNone, 0});
    }
    return benchsummary::Main(argc, argv, figures, [](const benchsummary::TReporter& r) {
        // The per-form cost at each N: linear growth shows as a flat line.
        for (const char* b : {"BM_CreateForms", "BM_SwitchModulePresent", "BM_SwitchBuildModule"}) {
            std::string line = std::string("per form, ") + b + ":";
            for (int n : {1, 10, 100, 300}) {
                double t = r.Time(std::string(b) + "/" + std::to_string(n));
                char buf[64];
                std::snprintf(buf, sizeof buf, " N=%d %.1f us", n, t > 0 ? t / n * 1e6 : 0.0);
                line += buf;
            }
            benchsummary::Emit(line);
        }
    });
}

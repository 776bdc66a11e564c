// The launcher's checked-in language resources still agree with their sources and with the
// launcher's string table: the windows builds embed them without running the tool.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "ToolTest.h"
#include "framework/Classes.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/LangRes.h"
#include "localizer/langres/SettingsRecord.h"

namespace fs = std::filesystem;

namespace {

const std::string kLauncher = std::string(VTP_SOURCE_DIR) + "/src/launcher/";
const std::string kLang = kLauncher + "lang/";
const std::string kDemo = std::string(VTP_SOURCE_DIR) + "/fixtures/demo/";
constexpr uint32_t kRevision = 18;

using tooltest::ReadText;

class LauncherResources : public tooltest::ToolTest {
protected:
    static int RunTool(const std::string& args) { return tooltest::Vtploc(args).status; }
    std::string Out(const char* name) const { return Path(name); }
};

std::string Narrow(const std::u16string& s) {
    std::string r;
    for (char16_t c : s) r += c < 0x80 ? static_cast<char>(c) : '?';
    return r;
}

// The string table of the launcher's resource script: id -> (macro name or "", text).
std::map<uint32_t, std::pair<std::string, std::string>> RcStringTable() {
    std::map<std::string, uint32_t> defines;
    std::regex def(R"re(#define\s+(\w+)\s+(\d+))re");
    std::string header = ReadText(kLauncher + "resource.h");
    for (std::sregex_iterator it(header.begin(), header.end(), def), end; it != end; ++it)
        defines[(*it)[1]] = static_cast<uint32_t>(std::stoul((*it)[2]));

    std::map<uint32_t, std::pair<std::string, std::string>> table;
    std::string rc = ReadText(kLauncher + "brmkVTPStart.rc");
    size_t begin = rc.find("STRINGTABLE");
    size_t end = rc.find("\nEND", begin);
    std::istringstream lines(rc.substr(begin, end - begin));
    std::regex entry(R"re(^\s*(\w+),\s*"(.*)"\s*$)re");
    std::string line;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, entry)) continue;
        std::string key = m[1], raw = m[2], text;
        for (size_t i = 0; i < raw.size(); ++i) {  // "" and \\ as the resource compiler reads them
            if ((raw[i] == '"' || raw[i] == '\\') && i + 1 < raw.size() && raw[i + 1] == raw[i]) ++i;
            text += raw[i];
        }
        bool numeric = std::isdigit(static_cast<unsigned char>(key[0])) != 0;
        uint32_t id = numeric ? static_cast<uint32_t>(std::stoul(key)) : defines.at(key);
        table[id] = {numeric ? std::string() : key, text};
    }
    return table;
}

size_t CountOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

}  // namespace

TEST_F(LauncherResources, GeneratedFilesAreTheirSources) {
    for (auto [json, lng] : {std::pair{kLang + "brmkVTPStart.ntv.json", kLang + "brmkVTPStart.ntv.lng"},
                             std::pair{kDemo + "brmkVTPStart.DEU.json", kDemo + "brmkVTPStart.DEU.lng"}}) {
        std::string out = Out("lang.lng");
        ASSERT_EQ(RunTool("lng build '" + json + "' -o '" + out + "'"), 0) << json;
        EXPECT_EQ(fw::ReadFileBytes(out), fw::ReadFileBytes(lng)) << lng;
    }
    std::string kll = Out("langs.kll");
    ASSERT_EQ(RunTool("container build --version 3 --revision 18 --compress '" + kLang + "brmkVTPStart.ntv.lng' -o '" +
                      kll + "'"),
              0);
    EXPECT_EQ(fw::ReadFileBytes(kll), fw::ReadFileBytes(kLang + "brmkVTPStart.kll"));
    std::string native = Out("native.lng");
    ASSERT_EQ(RunTool("container extract '" + kLang + "brmkVTPStart.kll' --lang 0 -o '" + native + "'"), 0);
    EXPECT_EQ(fw::ReadFileBytes(native), fw::ReadFileBytes(kLang + "brmkVTPStart.ntv.lng"));
    // No German in the program itself: it comes from the installation's language folder.
    EXPECT_NE(RunTool("container extract '" + kLang + "brmkVTPStart.kll' --lang 1031 -o '" + Out("de.lng") + "'"), 0);
}

TEST_F(LauncherResources, SettingsRecordsAreTheProgramsOwn) {
    for (auto [file, sig] :
         {std::pair{"kexe.bin", langres::SExeSignature}, std::pair{"ldll.bin", langres::SLibSignature}}) {
        langres::TSettingsRecord r;
        r.Signature = sig;
        r.Revision = kRevision;
        r.LangId = 9;
        r.EnglishLangName = "English";
        r.NativeLangName = u"English";
        r.HasCarriedWord = r.HasReservedWord = r.HasBuild = true;
        r.CarriedWord = 6;
        auto bytes = fw::ReadFileBytes(kLang + file);
        EXPECT_EQ(bytes, langres::WriteSettingsRecordData(r)) << file;
        EXPECT_EQ(bytes.size(), 44u) << file;
    }
}

// Every string-table text is in the dictionary under its id, and nothing else is; the German
// file translates every one of them and keeps the format arguments.
TEST_F(LauncherResources, DictionaryCoversTheStringTable) {
    auto table = RcStringTable();
    ASSERT_GE(table.size(), 26u);
    ASSERT_TRUE(table.count(65200) && table.count(65231) && table.count(65217) && table.count(65259));

    langres::TLangResource model;
    langres::TLangFile native(kLang + "brmkVTPStart.ntv.lng");
    native.LoadFromFile(&model, -1);
    EXPECT_EQ(native.Revision, kRevision);
    EXPECT_EQ(native.LangId, 9u);
    EXPECT_TRUE(native.IsNative);
    langres::TLangFile german(kDemo + "brmkVTPStart.DEU.lng");
    EXPECT_EQ(german.Revision, kRevision);
    EXPECT_EQ(german.LangId, 0x0407u);
    EXPECT_FALSE(german.IsNative);
    int de = model.AddLanguage(0, 0x0407);
    german.LoadFromFile(&model, de);

    std::map<uint32_t, bool> seen;
    for (int u = 0; u < model.Units->Count(); ++u) {
        auto* unit = model.Units->Items(u);
        for (int c = 0; c < unit->Constants->Count(); ++c) {
            auto* k = unit->Constants->Items(c);
            SCOPED_TRACE(unit->Name + "." + k->Name);
            auto it = table.find(k->ResId);
            ASSERT_NE(it, table.end()) << "not in the string table: " << k->ResId;
            EXPECT_FALSE(seen[k->ResId]) << "twice in the dictionary";
            seen[k->ResId] = true;
            if (!it->second.first.empty()) {
                EXPECT_EQ(k->Name, it->second.first);
            }
            EXPECT_EQ(Narrow(k->Values->Values(0)->Text), it->second.second);
            const auto* t = k->Values->Values(de);
            EXPECT_GE(t->Revision, 0) << "not translated";
            EXPECT_NE(t->Text, k->Values->Values(0)->Text);
            std::string nat = Narrow(k->Values->Values(0)->Text), ger = Narrow(t->Text);
            for (const char* arg : {"%s", "%d", "$appname1", "$appname2", "\\bin"})
                EXPECT_EQ(CountOf(ger, arg), CountOf(nat, arg)) << arg;
        }
    }
    EXPECT_EQ(seen.size(), table.size()) << "string-table entries missing from the dictionary";
}

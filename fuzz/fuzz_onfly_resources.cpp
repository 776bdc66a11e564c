// The localizer reads two things from module resources: the embedded language container and
// the settings records. Arbitrary bytes stand for both; the language list they register stays
// sorted by English name with unique ids.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "localizer/onfly/LocOnFly.h"
#include "localizer/onfly/LocUtils.h"

using namespace onfly;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static THostModuleSystem* sys = [] {
        auto* s = new THostModuleSystem;
        LocUtilsInstance().SetSystem(s);
        return s;
    }();
    std::vector<uint8_t> bytes(data, data + size);
    TModuleHandle main = sys->MainModule();
    sys->AddRCData(main, "QLX_LOC_LANGS_", bytes);
    sys->AddRCData(main, "QLX_LIBSETTINGS_", bytes);

    TDLLInfoItem item;
    try {
        LocUtilsInstance().ReadModuleInfo(main, true, item);
    } catch (const fw::Exception&) {
    }
    LocUtilsInstance().CurrentModuleInfo();

    TKLocalizerOnFly loc;
    uint32_t wanted = size >= 2 ? static_cast<uint32_t>(data[size - 1] | (data[size - 2] << 8)) : 0;
    for (uint32_t id : {0u, wanted}) {
        fw::TMemoryStream out;
        try {
            loc.ExtractEmbeddedLanguage(main, id, elRegister, &out);
        } catch (const fw::Exception&) {
        }
    }
    TLFInfoList* list = loc.Languages();
    for (int i = 0; i < list->Count(); ++i) {
        for (int j = i + 1; j < list->Count(); ++j) {
            if (list->Items(i)->LangId == list->Items(j)->LangId) std::abort();
        }
        if (i > 0) {
            const std::string& a = list->Items(i - 1)->EnglishLangName;
            const std::string& b = list->Items(i)->EnglishLangName;
            int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
            if (c > 0 || (c == 0 && a.size() > b.size())) std::abort();
        }
    }
    return 0;
}

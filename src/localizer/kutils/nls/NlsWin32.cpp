// National-language backend of the Windows build: the system's own functions.
#include <windows.h>

// The class below uses the API's plain names as method names.
#undef GetLocaleInfo
#undef EnumSystemLocales

#include <algorithm>
#include <climits>

#include "localizer/kutils/nls/NlsBackend.h"

namespace kutils::nls {

namespace {

// EnumSystemLocalesA's callback has no context argument.
thread_local std::vector<std::string>* t_enumTarget = nullptr;

BOOL CALLBACK CollectLocale(LPSTR text) {
    if (t_enumTarget) t_enumTarget->emplace_back(text ? text : "");
    return TRUE;
}

class TNlsWin32 final : public INls {
public:
    int GetLocaleInfo(LCID lcid, uint32_t type, char* buffer, int size) override {
        return ::GetLocaleInfoA(lcid, type, buffer, size);
    }

    std::vector<std::string> EnumSystemLocales() override {
        std::vector<std::string> result;
        t_enumTarget = &result;
        ::EnumSystemLocalesA(CollectLocale, LCID_SUPPORTED);
        t_enumTarget = nullptr;
        return result;
    }

    bool IsValidCodePage(uint32_t codePage) override { return ::IsValidCodePage(codePage) != 0; }

    uint32_t GetACP() override { return ::GetACP(); }

    bool CodePageCharset(uint32_t codePage, uint8_t& charset) override {
        CHARSETINFO csi{};
        if (!::TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<UINT_PTR>(codePage)), &csi, TCI_SRCCODEPAGE))
            return false;
        charset = static_cast<uint8_t>(csi.ciCharset);
        return true;
    }

    bool MultiByteToWide(uint32_t codePage, const std::string& text, std::u16string& out) override {
        out.clear();
        if (text.size() > static_cast<size_t>(INT_MAX)) return false;
        if (text.empty()) return ::IsValidCodePage(codePage) || codePage <= CP_THREAD_ACP;
        int len = static_cast<int>(text.size());
        int n = ::MultiByteToWideChar(codePage, 0, text.data(), len, nullptr, 0);
        if (n <= 0) return false;
        std::wstring buffer(static_cast<size_t>(n), L'\0');
        n = ::MultiByteToWideChar(codePage, 0, text.data(), len, buffer.data(), n);
        if (n <= 0) return false;
        out.assign(buffer.begin(), buffer.begin() + n);
        return true;
    }

    bool WideToMultiByte(uint32_t codePage, const std::u16string& text, std::string& out) override {
        out.clear();
        if (text.size() > static_cast<size_t>(INT_MAX)) return false;
        if (text.empty()) return ::IsValidCodePage(codePage) || codePage <= CP_THREAD_ACP;
        std::wstring source(text.begin(), text.end());
        int len = static_cast<int>(source.size());
        int n = ::WideCharToMultiByte(codePage, 0, source.data(), len, nullptr, 0, nullptr, nullptr);
        if (n <= 0) return false;
        out.assign(static_cast<size_t>(n), '\0');
        n = ::WideCharToMultiByte(codePage, 0, source.data(), len, out.data(), n, nullptr, nullptr);
        if (n <= 0) {
            out.clear();
            return false;
        }
        out.resize(static_cast<size_t>(n));
        return true;
    }
};

}  // namespace

INls& DefaultNls() {
    static TNlsWin32 nls;
    return nls;
}

void AnsiCaseMap(std::string& text, bool upper) {
    // The buffer functions take a DWORD count; map long texts in pieces.
    size_t done = 0;
    while (done < text.size()) {
        DWORD n = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 30));
        if (upper)
            ::CharUpperBuffA(text.data() + done, n);
        else
            ::CharLowerBuffA(text.data() + done, n);
        done += n;
    }
}

}  // namespace kutils::nls

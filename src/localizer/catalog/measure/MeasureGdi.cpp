// Text extents on Windows: the program's own numbers, from GDI with the control's font.
#include <windows.h>

#include <map>
#include <tuple>

#include "TextMeasure.h"

namespace catalog::measure {

namespace {

class TGdiMeasure final : public ITextMeasure {
public:
    TGdiMeasure() : dc_(CreateCompatibleDC(nullptr)) {}
    ~TGdiMeasure() override {
        for (auto& [key, f] : fonts_) DeleteObject(f);
        if (dc_) DeleteDC(dc_);
    }

    TTextSize Extent(const TFontDesc& font, std::u16string_view line) override {
        TTextSize out;
        if (!Select(font)) return out;
        std::wstring w(line.begin(), line.end());
        SIZE s{};
        GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &s);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc_, &tm);
        out.Width = s.cx;
        out.Height = tm.tmHeight;
        return out;
    }

    std::string FaceName(const TFontDesc& font) override {
        if (!Select(font)) return font.Name;
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc_, LF_FACESIZE, face);
        char out[LF_FACESIZE * 3] = {};
        WideCharToMultiByte(CP_UTF8, 0, face, -1, out, sizeof out, nullptr, nullptr);
        return out;
    }

    bool Available() const override { return dc_ != nullptr; }

private:
    bool Select(const TFontDesc& f) {
        if (!dc_) return false;
        auto key = std::make_tuple(f.Name, f.Height, f.Bold, f.Italic, f.Underline, f.StrikeOut, f.Charset);
        auto it = fonts_.find(key);
        if (it == fonts_.end()) {
            LOGFONTW lf{};
            lf.lfHeight = f.Height;
            lf.lfWeight = f.Bold ? FW_BOLD : FW_NORMAL;
            lf.lfItalic = f.Italic;
            lf.lfUnderline = f.Underline;
            lf.lfStrikeOut = f.StrikeOut;
            lf.lfCharSet = f.Charset;
            lf.lfQuality = DEFAULT_QUALITY;
            MultiByteToWideChar(CP_ACP, 0, f.Name.c_str(), -1, lf.lfFaceName, LF_FACESIZE - 1);
            HFONT h = CreateFontIndirectW(&lf);
            if (!h) return false;
            it = fonts_.emplace(key, h).first;
        }
        SelectObject(dc_, it->second);
        return true;
    }

    HDC dc_;
    std::map<std::tuple<std::string, int32_t, bool, bool, bool, bool, uint8_t>, HFONT> fonts_;
};

}  // namespace

ITextMeasure& SystemTextMeasure() {
    static TGdiMeasure m;
    return m;
}

}  // namespace catalog::measure

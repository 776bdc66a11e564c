// Text extents on Linux: FreeType with the font files Wine itself draws with (its own fonts,
// metric-compatible families, an East Asian font for what those lack), sized and advanced the
// way Wine's GDI does (em or cell height in pixels, hinted advances rounded up to whole pixels).
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_WINFONTS_H

#include <sys/stat.h>
#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "TextMeasure.h"

namespace catalog::measure {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Where the fonts are: VTP_FONT_DIRS (colon-separated) first, then Debian's folders.
std::vector<std::string> FontDirs() {
    std::vector<std::string> dirs;
    if (const char* env = std::getenv("VTP_FONT_DIRS")) {
        std::string s = env;
        size_t start = 0;
        while (start <= s.size()) {
            size_t end = s.find(':', start);
            if (end == std::string::npos) end = s.size();
            if (end > start) dirs.push_back(s.substr(start, end - start));
            start = end + 1;
        }
    }
    for (const char* d :
         {"/usr/share/wine/fonts", "/usr/share/fonts/truetype/liberation", "/usr/share/fonts/truetype/liberation2",
          "/usr/share/fonts/truetype/wqy", "/usr/share/fonts/opentype/noto", "/usr/share/fonts/truetype/dejavu"})
        dirs.push_back(d);
    return dirs;
}

// The files of a family, regular / bold / italic / bold italic; "" where the family has none.
struct TFamilyFiles {
    const char* Family;
    const char* Files[4];
};
const TFamilyFiles kFamilies[] = {
    {"Tahoma", {"tahoma.ttf", "tahomabd.ttf", "", ""}},
    {"MS Sans Serif", {"sserife.fon", "", "", ""}},
    {"Small Fonts", {"smalle.fon", "", "", ""}},
    {"Courier", {"coure.fon", "", "", ""}},
    {"System", {"vgasys.fon", "", "", ""}},
    {"Arial",
     {"LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf", "LiberationSans-Italic.ttf",
      "LiberationSans-BoldItalic.ttf"}},
    {"Times New Roman",
     {"LiberationSerif-Regular.ttf", "LiberationSerif-Bold.ttf", "LiberationSerif-Italic.ttf",
      "LiberationSerif-BoldItalic.ttf"}},
    {"Courier New",
     {"LiberationMono-Regular.ttf", "LiberationMono-Bold.ttf", "LiberationMono-Italic.ttf",
      "LiberationMono-BoldItalic.ttf"}},
};
// For characters the chosen face lacks (East Asian scripts above all).
const char* kFallbackFiles[] = {"wqy-microhei.ttc", "NotoSansCJK-Regular.ttc", "DejaVuSans.ttf"};

// The byte of code page 1252 (the Western bitmap fonts' own) for a character; 0 for none.
char32_t Cp1252(char32_t c) {
    static const char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                       0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (c < 0x80 || (c >= 0xA0 && c < 0x100)) return c;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] && kHigh[i] == c) return static_cast<char32_t>(0x80 + i);
    return 0;
}

struct TFace {
    FT_Face Face = nullptr;
    bool Bitmap = false;
    int Ppem = 0;  // the size set last
};

class TFreeTypeMeasure final : public ITextMeasure {
public:
    TFreeTypeMeasure() : dirs_(FontDirs()) {
        if (FT_Init_FreeType(&lib_) != 0) lib_ = nullptr;
    }
    ~TFreeTypeMeasure() override {
        for (auto& [k, f] : faces_)
            if (f.Face) FT_Done_Face(f.Face);
        if (lib_) FT_Done_FreeType(lib_);
    }

    bool Available() const override {
        if (!lib_) return false;
        for (const auto& d : dirs_)
            if (Exists(d + "/tahoma.ttf") || Exists(d + "/LiberationSans-Regular.ttf")) return true;
        return false;
    }

    std::string FaceName(const TFontDesc& font) override { return Resolve(font).Family; }

    TTextSize Extent(const TFontDesc& font, std::u16string_view line) override {
        TTextSize out;
        TResolved r = Resolve(font);
        TFace* main = r.Face;
        if (!main) return out;
        int ppem = 0;
        out.Height = SetSize(*main, font.Height, ppem);
        bool fakeBold = font.Bold && !r.BoldFile;
        for (size_t i = 0; i < line.size(); ++i) {
            char32_t c = line[i];
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < line.size() && line[i + 1] >= 0xDC00 && line[i + 1] < 0xE000)
                c = 0x10000 + ((c - 0xD800) << 10) + (line[++i] - 0xDC00);
            out.Width += Advance(*main, font.Height, c, fakeBold);
        }
        return out;
    }

private:
    struct TResolved {
        TFace* Face = nullptr;
        std::string Family;
        bool BoldFile = false;
    };

    TResolved Resolve(const TFontDesc& font) {
        std::string family = font.Name;
        for (int hop = 0; hop < 3; ++hop) {
            if (const TFamilyFiles* f = Find(family)) {
                int style = (font.Bold ? 1 : 0) + (font.Italic ? 2 : 0);
                for (int s : {style, style & 1, style & 2, 0}) {
                    if (!*f->Files[s]) continue;
                    if (TFace* face = Open(f->Files[s], font.Height)) return {face, f->Family, (s & 1) != 0};
                }
            }
            std::string sub = SubstituteFamily(family);
            if (sub.empty()) break;
            family = sub;
        }
        // Anything else: the system's sans serif face.
        if (family != "Arial") {
            TFontDesc arial = font;
            arial.Name = "Arial";
            return Resolve(arial);
        }
        return {};
    }

    static const TFamilyFiles* Find(const std::string& family) {
        std::string l = Lower(family);
        for (const auto& f : kFamilies)
            if (Lower(f.Family) == l) return &f;
        return nullptr;
    }

    std::string Path(const std::string& file) const {
        for (const auto& d : dirs_)
            if (Exists(d + "/" + file)) return d + "/" + file;
        return "";
    }

    // A bitmap font file holds one face per size: the one GDI would pick for the height.
    TFace* Open(const std::string& file, int32_t height) {
        if (!lib_) return nullptr;
        std::string path = Path(file);
        if (path.empty()) return nullptr;
        bool fon = file.size() > 4 && Lower(file.substr(file.size() - 4)) == ".fon";
        long index = 0;
        if (fon) index = PickStrike(path, height);
        auto key = path + "#" + std::to_string(index);
        auto it = faces_.find(key);
        if (it != faces_.end()) return it->second.Face ? &it->second : nullptr;
        TFace f;
        if (FT_New_Face(lib_, path.c_str(), index, &f.Face) != 0) f.Face = nullptr;
        f.Bitmap = f.Face && !FT_IS_SCALABLE(f.Face);
        // A bitmap font's one character map is by its code page's bytes.
        if (f.Bitmap && !f.Face->charmap && f.Face->num_charmaps > 0) FT_Set_Charmap(f.Face, f.Face->charmaps[0]);
        auto& slot = faces_[key] = f;
        return slot.Face ? &slot : nullptr;
    }

    long PickStrike(const std::string& path, int32_t height) {
        FT_Face probe;
        if (FT_New_Face(lib_, path.c_str(), -1, &probe) != 0) return 0;
        long n = probe->num_faces;
        FT_Done_Face(probe);
        long best = -1, smallest = 0;
        int bestSize = -1, smallestSize = 1 << 30;
        int want = height < 0 ? -height : height;
        for (long i = 0; i < n; ++i) {
            FT_Face f;
            if (FT_New_Face(lib_, path.c_str(), i, &f) != 0) continue;
            FT_WinFNT_HeaderRec h;
            if (FT_Get_WinFNT_Header(f, &h) == 0) {
                int size = height < 0 ? h.pixel_height - h.internal_leading : h.pixel_height;
                if (size <= want && size > bestSize) best = i, bestSize = size;
                if (size < smallestSize) smallest = i, smallestSize = size;
            }
            FT_Done_Face(f);
        }
        return best >= 0 ? best : smallest;
    }

    // Sets the face to the font's pixel size; gives the line height.
    int SetSize(TFace& f, int32_t height, int& ppem) {
        FT_Face face = f.Face;
        if (f.Bitmap) {
            FT_Select_Size(face, 0);
            ppem = face->available_sizes[0].y_ppem >> 6;
            return face->available_sizes[0].height;
        }
        TT_OS2* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        int units = os2 && os2->usWinAscent + os2->usWinDescent ? os2->usWinAscent + os2->usWinDescent
                                                                : face->ascender - face->descender;
        if (height < 0)
            ppem = -height;
        else
            ppem = static_cast<int>((static_cast<long long>(face->units_per_EM) * height + units / 2) / units);
        if (ppem < 1) ppem = 1;
        if (f.Ppem != ppem) {
            FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(ppem));
            f.Ppem = ppem;
        }
        long half = face->units_per_EM / 2;
        long asc = (static_cast<long long>(os2 ? os2->usWinAscent : face->ascender) * ppem + half) / face->units_per_EM;
        long desc =
            (static_cast<long long>(os2 ? os2->usWinDescent : -face->descender) * ppem + half) / face->units_per_EM;
        return static_cast<int>(asc + desc);
    }

    int Advance(TFace& f, int32_t height, char32_t c, bool fakeBold) {
        auto key = std::make_tuple(f.Face, f.Ppem, c, fakeBold);
        auto it = advances_.find(key);
        if (it != advances_.end()) return it->second;
        int adv = 0;
        FT_UInt glyph = f.Bitmap ? FT_Get_Char_Index(f.Face, Cp1252(c)) : FT_Get_Char_Index(f.Face, c);
        TFace* face = &f;
        if (!glyph && c >= 0x80) {
            for (const char* file : kFallbackFiles) {
                TFace* fb = Open(file, height);
                if (!fb) continue;
                FT_UInt g = FT_Get_Char_Index(fb->Face, c);
                if (g) {
                    face = fb, glyph = g;
                    break;
                }
            }
        }
        int ppem = 0;
        if (face != &f) SetSize(*face, height, ppem);
        // GDI advances scalable faces by their hinted outlines, never by embedded bitmaps.
        if (FT_Load_Glyph(face->Face, glyph, face->Bitmap ? FT_LOAD_DEFAULT : FT_LOAD_NO_BITMAP) == 0)
            adv = static_cast<int>((face->Face->glyph->metrics.horiAdvance + 63) >> 6);
        if (fakeBold && adv) adv += 1;
        if (face != &f) SetSize(f, height, ppem);
        advances_.emplace(key, adv);
        return adv;
    }

    FT_Library lib_ = nullptr;
    std::vector<std::string> dirs_;
    std::map<std::string, TFace> faces_;
    std::map<std::tuple<FT_Face, int, char32_t, bool>, int> advances_;
};

}  // namespace

ITextMeasure& SystemTextMeasure() {
    static TFreeTypeMeasure m;
    return m;
}

}  // namespace catalog::measure

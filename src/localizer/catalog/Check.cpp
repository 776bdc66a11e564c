// The checks of a translation against its program.
#include "Check.h"

#include <algorithm>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "framework/SysUtils.h"
#include "localizer/langres/LangRes.h"
#include "localizer/langres/Translatable.h"
#include "localizer/resources/ResProc.h"

namespace catalog {

namespace {

// A tab's text sits between paddings of 6 pixels; a menu bar item's between 8 on each side.
constexpr int kTabPadding = 13;
constexpr int kMenuBarPadding = 16;

std::string U8(const std::u16string& s) {
    return fw::Utf16ToUtf8(s);
}

std::u16string Upper(char16_t c) {
    if (c < 0x80) return std::u16string(1, static_cast<char16_t>(c >= 'a' && c <= 'z' ? c - 32 : c));
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return std::u16string(1, static_cast<char16_t>(c - 32));
    return std::u16string(1, c);
}

// The accelerator letters of a text ("&F" gives F; "&&" is a plain "&").
std::vector<char16_t> Accelerators(const std::u16string& t) {
    std::vector<char16_t> out;
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        if (t[i] != u'&') continue;
        if (t[i + 1] == u'&') {
            ++i;
            continue;
        }
        out.push_back(Upper(t[i + 1])[0]);
        ++i;
    }
    return out;
}

std::vector<std::u16string> Lines(const std::u16string& t) {
    std::vector<std::u16string> out(1);
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == u'\r' || t[i] == u'\n') {
            if (t[i] == u'\r' && i + 1 < t.size() && t[i + 1] == u'\n') ++i;
            out.emplace_back();
        } else {
            out.back() += t[i];
        }
    }
    return out;
}

bool Blank(char16_t c) {
    return c == u' ' || c == u'\t' || c == 0xA0;
}
std::u16string Leading(const std::u16string& t) {
    size_t i = 0;
    while (i < t.size() && Blank(t[i])) ++i;
    return t.substr(0, i);
}
std::u16string Trailing(const std::u16string& t) {
    size_t i = t.size();
    while (i > 0 && Blank(t[i - 1])) --i;
    return t.substr(i);
}
std::u16string Trimmed(const std::u16string& t) {
    size_t a = 0, b = t.size();
    while (a < b && Blank(t[a])) ++a;
    while (b > a && Blank(t[b - 1])) --b;
    return t.substr(a, b - a);
}
bool EndsWith(const std::u16string& t, const std::u16string& end) {
    return t.size() >= end.size() && t.compare(t.size() - end.size(), end.size(), end) == 0;
}
bool Ellipsis(const std::u16string& t) {
    std::u16string s = Trimmed(t);
    return EndsWith(s, u"...") || EndsWith(s, u"\u2026");
}
bool Colon(const std::u16string& t) {
    std::u16string s = Trimmed(t);
    return EndsWith(s, u":") || EndsWith(s, u"\uFF1A");
}
size_t Breaks(const std::u16string& t) {
    return Lines(t).size() - 1;
}

std::u16string Quoted(const std::u16string& t) {
    return u"'" + t + u"'";
}
std::string Q(const std::u16string& t) {
    return U8(Quoted(t));
}

struct TPair {
    size_t Order = 0;  // the item's place in the native dictionary
    std::string Path;
    std::u16string Native, Text;
    bool Translated = false;
    bool List = false;
};

class TChecker {
public:
    TChecker(TCheckResult& r, const TCheckOptions& o) : r_(r), o_(o) {}

    void TextChecks(const TPair& p) {
        if (p.List) {
            auto n = Lines(p.Native), t = Lines(p.Text);
            if (n.size() != t.size()) {
                Add(p, TCheckKind::Blanks, TCheckLevel::Warning,
                    std::to_string(t.size()) + " lines; the native text has " + std::to_string(n.size()));
                return;
            }
            for (size_t i = 0; i < n.size(); ++i) LineChecks(p, n[i], t[i], false);
            return;
        }
        LineChecks(p, p.Native, p.Text, true);
    }

    void LineChecks(const TPair& p, const std::u16string& native, const std::u16string& text, bool breaks) {
        auto na = Accelerators(native), ta = Accelerators(text);
        if (!na.empty() && ta.empty())
            Add(p, TCheckKind::Accelerator, TCheckLevel::Error,
                "no accelerator; the native text " + Q(native) + " has one (&" + U8(std::u16string(1, na[0])) + ")");
        else if (ta.size() > 1)
            Add(p, TCheckKind::Accelerator, TCheckLevel::Error, std::to_string(ta.size()) + " accelerators");

        auto nf = FormatSpecifiers(native), tf = FormatSpecifiers(text);
        if (!SameSpecifiers(nf, tf))
            Add(p, TCheckKind::Format, TCheckLevel::Error,
                "format specifiers " + Join(tf) + "; the native text has " + Join(nf));

        std::vector<std::string> blanks;
        if (breaks && Breaks(native) != Breaks(text))
            blanks.push_back(std::to_string(Breaks(text)) + " line breaks; the native text has " +
                             std::to_string(Breaks(native)));
        if (Leading(native) != Leading(text))
            blanks.push_back("leading blanks " + Q(Leading(text)) + "; the native text has " + Q(Leading(native)));
        if (Trailing(native) != Trailing(text))
            blanks.push_back("trailing blanks " + Q(Trailing(text)) + "; the native text has " + Q(Trailing(native)));
        if (Colon(native) != Colon(text))
            blanks.push_back(Colon(native) ? "no trailing ':'; the native text has one"
                                           : "a trailing ':' the native text lacks");
        if (Ellipsis(native) != Ellipsis(text))
            blanks.push_back(Ellipsis(native) ? "no trailing '...'; the native text has one"
                                              : "a trailing '...' the native text lacks");
        for (const auto& b : blanks) Add(p, TCheckKind::Blanks, TCheckLevel::Warning, b);
    }

    static bool SameSpecifiers(const std::vector<std::u16string>& a, const std::vector<std::u16string>& b) {
        // Specifiers with an index may move; the others keep their order.
        auto split = [](const std::vector<std::u16string>& v, std::vector<std::u16string>& plain,
                        std::multiset<std::u16string>& indexed) {
            for (auto s : v) {
                for (auto& c : s)
                    if (c >= 'A' && c <= 'Z') c = static_cast<char16_t>(c + 32);
                if (s.find(u':') != std::u16string::npos)
                    indexed.insert(s);
                else
                    plain.push_back(s);
            }
        };
        std::vector<std::u16string> pa, pb;
        std::multiset<std::u16string> ia, ib;
        split(a, pa, ia);
        split(b, pb, ib);
        return pa == pb && ia == ib;
    }

    static std::string Join(const std::vector<std::u16string>& v) {
        if (v.empty()) return "none";
        std::string s;
        for (const auto& x : v) s += (s.empty() ? "" : " ") + U8(x);
        return s;
    }

    void Consistency(const std::vector<TPair>& pairs) {
        std::map<std::u16string, std::vector<const TPair*>> byNative;
        for (const auto& p : pairs)
            if (p.Translated) byNative[p.Native].push_back(&p);
        for (auto& [native, list] : byNative) {
            std::map<std::u16string, size_t> count;
            for (const TPair* p : list) ++count[p->Text];
            if (count.size() < 2) continue;
            // The most frequent translation (the first one on a tie) is taken as the rule.
            const TPair* rule = list.front();
            for (const TPair* p : list)
                if (count[p->Text] > count[rule->Text]) rule = p;
            for (const TPair* p : list)
                if (p->Text != rule->Text)
                    Add(*p, TCheckKind::Consistency, TCheckLevel::Warning,
                        Q(native) + " is translated " + Q(rule->Text) + " at " + rule->Path);
        }
    }

    TFinding& Add(const TPair& p, TCheckKind k, TCheckLevel l, const std::string& message) {
        TFinding f;
        f.Item = p.Path;
        f.Check = k;
        f.Level = l;
        f.Text = p.Text;
        f.Native = p.Native;
        f.Message = message;
        r_.Findings.push_back(f);
        order_.push_back(p.Order);
        return r_.Findings.back();
    }

    std::vector<size_t> order_;

private:
    TCheckResult& r_;
    const TCheckOptions& o_;
};

// Greedy word wrap at blanks, as a word-wrapping label breaks its text: the number of lines.
int WrappedLines(measure::ITextMeasure& m, const measure::TFontDesc& font, const std::u16string& text, int width) {
    int lines = 0;
    for (const auto& para : Lines(text)) {
        ++lines;
        std::u16string line;
        size_t i = 0;
        while (i < para.size()) {
            size_t j = para.find(u' ', i);
            if (j == std::u16string::npos) j = para.size();
            std::u16string word = para.substr(i, j - i);
            std::u16string tryLine = line.empty() ? word : line + u" " + word;
            if (!line.empty() && m.Extent(font, tryLine).Width > width) {
                ++lines;
                line = word;
            } else {
                line = tryLine;
            }
            i = j + 1;
        }
    }
    return lines;
}

}  // namespace

const char* CheckKindName(TCheckKind k) {
    switch (k) {
        case TCheckKind::Fit:
            return "fit";
        case TCheckKind::Accelerator:
            return "accelerator";
        case TCheckKind::Format:
            return "format";
        case TCheckKind::Blanks:
            return "blanks";
        case TCheckKind::Consistency:
            return "consistency";
    }
    return "";
}

const char* CheckLevelName(TCheckLevel l) {
    switch (l) {
        case TCheckLevel::Overflow:
            return "overflow";
        case TCheckLevel::Crowded:
            return "crowded";
        case TCheckLevel::Error:
            return "error";
        case TCheckLevel::Warning:
            return "warning";
    }
    return "";
}

bool IsErrorLevel(TCheckLevel l) {
    return l == TCheckLevel::Overflow || l == TCheckLevel::Error;
}

size_t TCheckResult::Count(TCheckLevel l) const {
    return static_cast<size_t>(
        std::count_if(Findings.begin(), Findings.end(), [l](const TFinding& f) { return f.Level == l; }));
}
size_t TCheckResult::Count(TCheckKind k) const {
    return static_cast<size_t>(
        std::count_if(Findings.begin(), Findings.end(), [k](const TFinding& f) { return f.Check == k; }));
}

std::vector<std::u16string> FormatSpecifiers(const std::u16string& text) {
    std::vector<std::u16string> out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'%') continue;
        size_t n = langres::FormatSpecifierLength(text, i);
        if (!n) continue;
        std::u16string specifier = text.substr(i, n);
        char16_t type = static_cast<char16_t>(specifier.back() | 0x20);
        if (specifier != u"%%" && std::u16string(u"dsxfgenmpu").find(type) != std::u16string::npos)
            out.push_back(specifier);
        i += n - 1;
    }
    return out;
}

TCheckResult CheckTranslation(const resources::TResProcessor& program, const TLangFileImage& nativeImage,
                              const TLangFileImage& translationImage, const TCheckOptions& options) {
    TCheckResult r;
    TLangFileImage native = nativeImage, translation = translationImage;
    std::vector<TItemRef> nItems = Items(native), tItems = Items(translation);
    std::map<std::string, const TLFRecord*> byPath;
    std::map<std::pair<int, uint32_t>, const TLFRecord*> byId;
    for (const auto& t : tItems) {
        byPath.emplace(fw::UpperCaseAscii(t.Path()), t.Record);
        if (t.Record->Id) byId.emplace(std::make_pair(static_cast<int>(t.Category), t.Record->Id), t.Record);
    }
    std::vector<TPair> pairs;
    std::map<std::string, size_t> pairOf;  // upper-case path -> index
    for (size_t i = 0; i < nItems.size(); ++i) {
        const TLFRecord& n = *nItems[i].Record;
        if (n.Kind != langres::vkString && n.Kind != langres::vkStringList) continue;
        if (!n.Value.Present) continue;
        const TLFRecord* t = nullptr;
        auto p = byPath.find(fw::UpperCaseAscii(nItems[i].Path()));
        if (p != byPath.end())
            t = p->second;
        else if (n.Id) {
            auto q = byId.find({static_cast<int>(nItems[i].Category), n.Id});
            if (q != byId.end()) t = q->second;
        }
        TPair pair;
        pair.Order = i;
        pair.Path = nItems[i].Path();
        pair.Native = n.Value.Text;
        pair.List = n.Kind == langres::vkStringList;
        pair.Translated = t && t->Value.Present && t->Revision >= 0 && t->Kind == n.Kind;
        pair.Text = pair.Translated ? t->Value.Text : n.Value.Text;
        pairOf.emplace(fw::UpperCaseAscii(pair.Path), pairs.size());
        pairs.push_back(std::move(pair));
    }

    TChecker checker(r, options);
    for (const auto& p : pairs)
        if (p.Translated) {
            ++r.Texts;
            checker.TextChecks(p);
        }
    checker.Consistency(pairs);

    // Fit and accelerator conflicts need the forms.
    r.Forms = ReadFormLayouts(program, native.Header.LangId, r.Notes);
    measure::ITextMeasure& m = options.Measure ? *options.Measure : measure::SystemTextMeasure();
    const bool measuring = m.Available();
    if (!measuring) r.Notes.push_back("texts were not measured: no fonts to measure with on this system");
    for (size_t fi = 0; fi < r.Forms.size(); ++fi) {
        const TFormLayout& form = r.Forms[fi];
        // Accelerator conflicts within one parent or menu level.
        std::map<std::string, std::map<char16_t, std::vector<const TPair*>>> scopes;
        for (const auto& it : form.Items) {
            auto pi = pairOf.find(fw::UpperCaseAscii(it.Path));
            if (pi == pairOf.end() || it.AccelScope.empty()) continue;
            const TPair& p = pairs[pi->second];
            auto a = Accelerators(p.Text);
            if (a.size() == 1) scopes[it.AccelScope][a[0]].push_back(&p);
        }
        for (auto& [scope, letters] : scopes)
            for (auto& [letter, list] : letters)
                for (size_t k = 1; k < list.size(); ++k) {
                    const TPair& first = *list[0];
                    const TPair& p = *list[k];
                    if (!first.Translated && !p.Translated) continue;
                    auto na = Accelerators(p.Native), fa = Accelerators(first.Native);
                    if (na.size() == 1 && fa.size() == 1 && na[0] == fa[0]) continue;  // the program's own
                    TFinding& f = checker.Add(p, TCheckKind::Accelerator, TCheckLevel::Error,
                                              "accelerator &" + U8(std::u16string(1, letter)) + " also marks " +
                                                  Q(first.Text) + " at " + first.Path);
                    f.Form = form.Name;
                }
        if (!measuring) continue;

        // Shared rows: the tabs of one control and the items of the menu bar.
        std::map<int, std::vector<const TItemLayout*>> rows;  // parent box (tabs) or -1 (menu bar)
        for (const auto& it : form.Items) {
            if (it.Kind == TControlKind::TabPage) rows[form.Boxes[static_cast<size_t>(it.Box)].Parent].push_back(&it);
            if (it.Kind == TControlKind::MenuBarItem) rows[-1].push_back(&it);
        }
        auto textOf = [&](const TItemLayout& it, bool nativeText, const TPair** pairOut) -> std::u16string {
            auto pi = pairOf.find(fw::UpperCaseAscii(it.Path));
            if (pi == pairOf.end()) {
                *pairOut = nullptr;
                return form.Boxes[static_cast<size_t>(it.Box >= 0 ? it.Box : 0)].Text;
            }
            *pairOut = &pairs[pi->second];
            return nativeText ? (*pairOut)->Native : (*pairOut)->Text;
        };
        auto width = [&](const TItemLayout& it, const std::u16string& t) {
            int w = 0;
            for (const auto& line : Lines(DrawnText(t, it.ShowAccel))) w = std::max(w, m.Extent(it.Font, line).Width);
            return w;
        };
        auto fitFinding = [&](const TPair& p, const TItemLayout& it, TCheckLevel level, int px, int area,
                              bool nativeToo, const std::string& message) {
            TFinding& f = checker.Add(p, TCheckKind::Fit, level, message);
            f.TextPx = px;
            f.AreaPx = area;
            f.Font = it.Font.Describe();
            std::string face = m.FaceName(it.Font);
            if (!fw::SameTextAscii(face, it.Font.Name)) f.Face = face;
            f.NativeOverflows = nativeToo;
            f.Form = form.Name;
            f.Box = it.Box;
        };
        for (auto& [parent, row] : rows) {
            int area = row.front()->AreaWidth;
            int used = 0, usedNative = 0;
            for (const TItemLayout* it : row) {
                const TPair* p = nullptr;
                std::u16string t = textOf(*it, false, &p);
                std::u16string n = textOf(*it, true, &p);
                int pad = it->Kind == TControlKind::TabPage ? kTabPadding : kMenuBarPadding;
                int w = width(*it, t) + pad;
                used += w;
                usedNative += (p ? width(*it, n) : w - pad) + pad;
                if (!p || !p->Translated) continue;
                ++r.Measured;
                if (area > 0 && used > area)
                    fitFinding(*p, *it, TCheckLevel::Overflow, used, area, usedNative > area,
                               it->Kind == TControlKind::TabPage ? "the tabs need " + std::to_string(used) + " px"
                                                                 : "the menu bar needs a second row");
            }
        }
        for (const auto& it : form.Items) {
            if (it.Kind == TControlKind::TabPage || it.Kind == TControlKind::MenuBarItem ||
                it.Kind == TControlKind::MenuItem)
                continue;
            const TPair* p = nullptr;
            std::u16string text = textOf(it, false, &p);
            if (!p || !p->Translated) continue;
            ++r.Measured;
            int px = width(it, text), npx = width(it, p->Native);
            const TBox& box = form.Boxes[static_cast<size_t>(it.Box)].Box;
            if (it.Kind == TControlKind::Label && it.AutoSize && !it.WordWrap) {
                // A growing label: the room is up to its parent's edge or the next sibling.
                const TControlBox& self = form.Boxes[static_cast<size_t>(it.Box)];
                int lineH = m.Extent(it.Font, u"X").Height * static_cast<int>(Lines(text).size());
                TBox grown{box.Left, box.Top, px, lineH}, was{box.Left, box.Top, npx, lineH};
                const TBox& pb = form.Boxes[static_cast<size_t>(std::max(self.Parent, 0))].Box;
                if (pb.Width > 0 && grown.Right() > pb.Right()) {
                    fitFinding(*p, it, TCheckLevel::Overflow, px, pb.Right() - box.Left, was.Right() > pb.Right(),
                               "runs past its parent");
                    continue;
                }
                for (size_t b = 1; b < form.Boxes.size(); ++b) {
                    const TControlBox& sib = form.Boxes[b];
                    if (static_cast<int>(b) == it.Box || sib.Parent != self.Parent) continue;
                    if (grown.Intersects(sib.Box) && !was.Intersects(sib.Box) && sib.Box.Left >= box.Left) {
                        fitFinding(*p, it, TCheckLevel::Overflow, px, sib.Box.Left - box.Left, false,
                                   "runs into " + (sib.Key.empty() ? sib.ClassName : sib.Key));
                        break;
                    }
                }
                continue;
            }
            if (it.Kind == TControlKind::Label && it.WordWrap) {
                int lineH = m.Extent(it.Font, u"X").Height;
                int h = WrappedLines(m, it.Font, DrawnText(text, it.ShowAccel), it.AreaWidth) * lineH;
                int nh = WrappedLines(m, it.Font, DrawnText(p->Native, it.ShowAccel), it.AreaWidth) * lineH;
                if (it.AreaHeight > 0 && h > it.AreaHeight)
                    fitFinding(*p, it, TCheckLevel::Overflow, h, it.AreaHeight, nh > it.AreaHeight,
                               "its lines need " + std::to_string(h) + " px of height");
                continue;
            }
            // The room exchange files carry as the item's size limit.
            const int area = FixedWidth(it);
            if (area < 0 || (area == 0 && px == 0)) continue;
            if (px > area)
                fitFinding(*p, it, TCheckLevel::Overflow, px, area, npx > area, "");
            else if (px > options.CrowdedShare * area)
                fitFinding(*p, it, TCheckLevel::Crowded, px, area, false, "");
        }
    }
    // In the dictionary's order, text checks before fit for the same item.
    std::vector<size_t> idx(r.Findings.size());
    for (size_t i = 0; i < idx.size(); ++i) idx[i] = i;
    std::stable_sort(idx.begin(), idx.end(), [&](size_t a, size_t b) { return checker.order_[a] < checker.order_[b]; });
    std::vector<TFinding> sorted;
    for (size_t i : idx) sorted.push_back(std::move(r.Findings[i]));
    r.Findings = std::move(sorted);
    return r;
}

std::string FindingLine(const std::string& programName, const TFinding& f) {
    std::string s = programName + ":" + f.Item + ": " + CheckLevelName(f.Level) + ": ";
    if (f.Check == TCheckKind::Fit) {
        s += Q(f.Text) + " " + std::to_string(f.TextPx) + " px in " + std::to_string(f.AreaPx) + " px (" + f.Font;
        if (!f.Face.empty()) s += ", drawn in " + f.Face;
        s += ")";
        if (!f.Message.empty()) s += ": " + f.Message;
        if (f.NativeOverflows) s += "; the native text " + Q(f.Native) + " does not fit either (a fault of the form)";
        return s;
    }
    return s + CheckKindName(f.Check) + ": " + Q(f.Text) + ": " + f.Message;
}

std::string FindingJson(const std::string& programName, const TFinding& f) {
    nlohmann::ordered_json j;
    j["program"] = programName;
    j["item"] = f.Item;
    j["check"] = CheckKindName(f.Check);
    j["level"] = CheckLevelName(f.Level);
    j["text"] = U8(f.Text);
    j["native"] = U8(f.Native);
    j["text_px"] = f.TextPx >= 0 ? nlohmann::ordered_json(f.TextPx) : nlohmann::ordered_json();
    j["area_px"] =
        f.AreaPx >= 0 || f.Check == TCheckKind::Fit ? nlohmann::ordered_json(f.AreaPx) : nlohmann::ordered_json();
    j["font"] = f.Font.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(f.Font);
    if (!f.Face.empty()) j["face"] = f.Face;
    if (f.Check == TCheckKind::Fit) j["native_overflows"] = f.NativeOverflows;
    j["message"] = f.Message;
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string CheckSummary(const TCheckResult& r) {
    auto n = [&](TCheckLevel l) { return std::to_string(r.Count(l)); };
    auto k = [&](TCheckKind c) { return std::string(CheckKindName(c)) + " " + std::to_string(r.Count(c)); };
    return n(TCheckLevel::Overflow) + " overflow, " + n(TCheckLevel::Crowded) + " crowded, " + n(TCheckLevel::Error) +
           " errors, " + n(TCheckLevel::Warning) + " warnings (" + k(TCheckKind::Fit) + ", " +
           k(TCheckKind::Accelerator) + ", " + k(TCheckKind::Format) + ", " + k(TCheckKind::Blanks) + ", " +
           k(TCheckKind::Consistency) + "); " + std::to_string(r.Texts) + " translated texts, " +
           std::to_string(r.Measured) + " measured";
}

}  // namespace catalog

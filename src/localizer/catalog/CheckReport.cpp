// The check's findings as a page: each form drawn as the boxes of its controls.
#include <algorithm>
#include <map>

#include "Check.h"
#include "framework/SysUtils.h"

namespace catalog {

namespace {

std::string Esc(const std::string& s) {
    std::string o;
    for (char c : s) {
        switch (c) {
            case '&':
                o += "&amp;";
                break;
            case '<':
                o += "&lt;";
                break;
            case '>':
                o += "&gt;";
                break;
            case '"':
                o += "&quot;";
                break;
            default:
                o += c;
        }
    }
    return o;
}

std::string Color(TCheckLevel l) {
    return IsErrorLevel(l) ? "#d0021b" : "#e08a00";
}

std::string FormSvg(const TFormLayout& form, const std::vector<const TFinding*>& findings) {
    int w = std::max(form.ClientWidth, 40), h = std::max(form.ClientHeight, 40);
    for (const auto& b : form.Boxes) w = std::max(w, b.Box.Right() + 1), h = std::max(h, b.Box.Bottom() + 1);
    std::string s = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(w + 2) + "\" height=\"" +
                    std::to_string(h + 2) + "\" viewBox=\"-1 -1 " + std::to_string(w + 2) + " " +
                    std::to_string(h + 2) + "\" font-family=\"Tahoma, 'DejaVu Sans', sans-serif\" font-size=\"11\">\n";
    s += "<rect x=\"0\" y=\"0\" width=\"" + std::to_string(w) + "\" height=\"" + std::to_string(h) +
         "\" fill=\"#ece9d8\" stroke=\"#888\"/>\n";
    std::map<int, const TFinding*> marked;
    for (const TFinding* f : findings)
        if (f->Box >= 0 && (!marked.count(f->Box) || IsErrorLevel(f->Level))) marked[f->Box] = f;
    for (size_t i = 1; i < form.Boxes.size(); ++i) {
        const TControlBox& b = form.Boxes[i];
        auto m = marked.find(static_cast<int>(i));
        std::string stroke = m != marked.end() ? Color(m->second->Level) : "#9a9a9a";
        std::string width = m != marked.end() ? "2" : "1";
        s += "<g><title>" + Esc(b.Key + " (" + b.ClassName + ")") + "</title><rect x=\"" + std::to_string(b.Box.Left) +
             "\" y=\"" + std::to_string(b.Box.Top) + "\" width=\"" + std::to_string(std::max(b.Box.Width, 1)) +
             "\" height=\"" + std::to_string(std::max(b.Box.Height, 1)) + "\" fill=\"" +
             (m != marked.end() ? "#fff4f0" : "none") + "\" stroke=\"" + stroke + "\" stroke-width=\"" + width + "\"/>";
        std::u16string text = m != marked.end() ? m->second->Text : b.Text;
        if (!text.empty()) {
            std::string t = fw::Utf16ToUtf8(DrawnText(text));
            s += "<text x=\"" + std::to_string(b.Box.Left + 3) + "\" y=\"" +
                 std::to_string(b.Box.Top + std::min(b.Box.Height, 24) / 2 + 4) + "\" fill=\"" +
                 (m != marked.end() ? stroke : "#333") + "\">" + Esc(t) + "</text>";
        }
        s += "</g>\n";
    }
    s += "</svg>\n";
    return s;
}

}  // namespace

std::string CheckReportHtml(const std::string& programName, const TCheckResult& r) {
    std::string h = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + Esc(programName) +
                    ": translation check</title>\n<style>body{font-family:sans-serif;margin:16px;color:#222}"
                    "table{border-collapse:collapse;margin:8px 0 24px}td,th{border:1px solid #ccc;padding:3px 6px;"
                    "text-align:left;font-size:13px}.error{color:#d0021b}.warning{color:#b06a00}"
                    "h2{font-size:16px;margin-top:24px}svg{display:block;margin:8px 0}</style></head><body>\n";
    h += "<h1>" + Esc(programName) + "</h1>\n<p>" + Esc(CheckSummary(r)) + "</p>\n";
    for (const auto& n : r.Notes) h += "<p class=\"warning\">" + Esc(n) + "</p>\n";
    std::map<std::string, std::vector<const TFinding*>> byForm;
    for (const auto& f : r.Findings) byForm[f.Form].push_back(&f);
    for (const auto& form : r.Forms) {
        auto it = byForm.find(form.Name);
        if (it == byForm.end()) continue;
        h += "<h2>" + Esc(form.Name) + "</h2>\n" + FormSvg(form, it->second);
    }
    h +=
        "<table><tr><th>item</th><th>check</th><th>level</th><th>text</th><th>px</th><th>font</th><th>what</th></tr>\n";
    for (const auto& f : r.Findings) {
        std::string cls = IsErrorLevel(f.Level) ? "error" : "warning";
        h += "<tr class=\"" + cls + "\"><td>" + Esc(f.Item) + "</td><td>" + CheckKindName(f.Check) + "</td><td>" +
             CheckLevelName(f.Level) + "</td><td>" + Esc(fw::Utf16ToUtf8(f.Text)) + "</td><td>" +
             (f.TextPx >= 0 ? std::to_string(f.TextPx) + " / " + std::to_string(f.AreaPx) : "") + "</td><td>" +
             Esc(f.Font + (f.Face.empty() ? "" : " (" + f.Face + ")")) + "</td><td>" + Esc(f.Message) +
             (f.NativeOverflows ? " (the native text does not fit either)" : "") + "</td></tr>\n";
    }
    h += "</table>\n</body></html>\n";
    return h;
}

}  // namespace catalog

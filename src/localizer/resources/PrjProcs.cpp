#include "PrjProcs.h"

#include <algorithm>

#include "localizer/kutils/KLocales.h"
#include "localizer/kutils/KStrings.h"
#include "localizer/langres/Translatable.h"
#include "localizer/resources/ResProc.h"

namespace resources {

using fw::toEOF;
using fw::toFloat;
using fw::toInteger;
using fw::toString;
using fw::toSymbol;
using fw::toWString;

std::string CharsetIdent(uint8_t charset) {
    switch (charset) {
        case 0:
            return "ANSI_CHARSET";
        case 1:
            return "DEFAULT_CHARSET";
        case 2:
            return "SYMBOL_CHARSET";
        case 77:
            return "MAC_CHARSET";
        case 128:
            return "SHIFTJIS_CHARSET";
        case 129:
            return "HANGEUL_CHARSET";
        case 130:
            return "JOHAB_CHARSET";
        case 134:
            return "GB2312_CHARSET";
        case 136:
            return "CHINESEBIG5_CHARSET";
        case 161:
            return "GREEK_CHARSET";
        case 162:
            return "TURKISH_CHARSET";
        case 177:
            return "HEBREW_CHARSET";
        case 178:
            return "ARABIC_CHARSET";
        case 186:
            return "BALTIC_CHARSET";
        case 204:
            return "RUSSIAN_CHARSET";
        case 222:
            return "THAI_CHARSET";
        case 238:
            return "EASTEUROPE_CHARSET";
        case 255:
            return "OEM_CHARSET";
        default:
            return "";
    }
}

std::string WideQuoteString(const std::u16string& text) {
    if (text.empty()) return "''";
    std::string out;
    bool quoted = false;
    for (char16_t c : text) {
        if (c >= 32 && c <= 127 && c != 39) {
            if (!quoted) out += '\'';
            quoted = true;
            out += static_cast<char>(c);
        } else {
            if (quoted) out += '\'';
            quoted = false;
            out += '#';
            out += std::to_string(static_cast<unsigned>(c));
        }
    }
    if (quoted) out += '\'';
    return out;
}

// ---- the forms of a module

void TFormProcessor::ProcessForms(TResProcessor& resProcessor) {
    for (const std::string& name : FormNames) ProcessForm(resProcessor, name);
}

void TFormProcessor::ProcessForm(TResProcessor& resProcessor, const std::string& formName) {
    auto* block = dynamic_cast<TResRCData*>(resProcessor.FindBlock(10));
    if (!block) throw EPrjProcsError("Can't find RCDATA block");
    // Form names of the Unicode era may be in any script (UTF-8).
    TResRCDataItem* item = block->FindByUtf8Name("T" + fw::UpperCaseAscii(formName));
    if (!item) return;
    // Further languages of the form (modules that keep the source's languages): a copy of the
    // form the dictionary describes is translated the same; any other form is not what the
    // dictionary's texts were taken from, so it stays as it is.
    std::vector<TResRCDataItem*> copies;
    for (int i = 0; i < block->Count(); ++i) {
        TResRCDataItem* other = block->Items(i);
        if (other != item && TResRCData::SameName(*other, *item) && other->Data.Bytes() == item->Data.Bytes())
            copies.push_back(other);
    }
    fw::TMemoryStream data;
    item->SaveData(data);
    ProcessStream(data);
    data.SetPosition(0);
    item->LoadData(data);
    for (TResRCDataItem* copy : copies) {
        data.SetPosition(0);
        copy->LoadData(data);
    }
}

void TFormProcessor::ProcessStream(fw::TStream& stream) {
    NextLine = 0;
    SourceLines.clear();
    OutputLines.clear();
    int format = ParseForm(stream);
    CopyLines(static_cast<int>(SourceLines.size()) - 1);

    std::string text;
    size_t total = 0;
    for (const auto& l : OutputLines) total += l.size() + 2;
    text.reserve(total);
    for (const auto& l : OutputLines) {
        text += l;
        text += "\r\n";
    }
    // Converted into a buffer first: a failed conversion leaves the stream as it was.
    fw::TMemoryStream result;
    if (format == fw::ffText) {
        result.WriteString(text);
    } else {
        try {
            fw::TMemoryStream temp(std::vector<uint8_t>(text.begin(), text.end()));
            // Translated texts are written in the wide form; the 8-bit texts left are the
            // untranslated ones, in the code page of the program's own language.
            uint32_t textLang = LangResource && LangResource->NativeLangId ? LangResource->NativeLangId : LangId;
            // For a Unicode-era reader the untranslated 8-bit ones go UTF-8 too; an 8-bit-era one
            // gets the program's own 8-bit strings back as they were, and wide strings only in
            // the kinds it takes.
            const bool utf8 = UTF8Strings || UnicodeReader();
            const bool utf8Wide = !ProgramReader || ProgramReader->Utf8;
            if (format == fw::ffBinary)
                FormTextToBinary(temp, result, utf8, textLang, utf8Wide);
            else
                FormTextToResource(temp, result, utf8, textLang, utf8Wide);
        } catch (const fw::Exception& e) {
            throw EPrjProcsError(fw::Format("Error while processing form \"%s\"\r\n%s", {FormName, e.Message()}));
        }
    }
    stream.SetSize(0);
    stream.SetPosition(0);
    stream.WriteBuffer(result.Memory(), result.Size());
}

// ---- walking the text

int TFormProcessor::ParseForm(fw::TStream& stream) {
    int format = DetectFormFormat(stream);
    fw::TMemoryStream text;
    if (format == fw::ffResource)
        FormResourceToText(stream, text);
    else if (format == fw::ffBinary)
        FormBinaryToText(stream, text);
    else
        text.CopyFrom(stream, 0);
    text_.assign(text.Bytes().begin(), text.Bytes().end());

    InlinePath.clear();
    // Lines end at line feeds, as the tokeniser counts them; a CR before the LF is dropped.
    size_t start = 0;
    while (start < text_.size()) {
        size_t lf = text_.find('\n', start);
        size_t end = lf == std::string::npos ? text_.size() : lf;
        size_t len = end - start;
        if (len > 0 && text_[end - 1] == '\r') --len;
        SourceLines.emplace_back(text_, start, len);
        if (lf == std::string::npos) break;
        start = lf + 1;
    }

    parser_ = std::make_unique<fw::TParser>(text_);
    depth_ = 0;
    if (parser_->Token() != toSymbol) FormError("Wrong DFM Format");
    std::string className;
    bool isInline = false;
    ReadObjectHeader(FormName, className, isInline);
    FormItem = nullptr;
    if (LangResource) {
        int i = LangResource->Forms->IndexOf(FormName);
        if (i >= 0) FormItem = LangResource->Forms->Items(i);
    }
    WalkObject("");
    return format;
}

void TFormProcessor::FormError(const std::string& message) {
    int line = parser_ ? parser_->SourceLine() : 0;
    throw EPrjProcsError(message + fw::Format("\r\nLine#: %s\r\nForm: %s", {fw::IntToStr(line), FormName}));
}

void TFormProcessor::CopyLines(int lastLine) {
    int last = std::min(lastLine, static_cast<int>(SourceLines.size()) - 1);
    for (int i = NextLine; i <= last; ++i) OutputLines.push_back(SourceLines[static_cast<size_t>(i)]);
    // Never back: a line already copied or replaced is not copied again.
    NextLine = std::max(NextLine, lastLine + 1);
}

void TFormProcessor::ReadObjectHeader(std::string& name, std::string& className, bool& isInline) {
    fw::TParser& p = *parser_;
    isInline = p.TokenSymbolIs("inline");
    p.NextToken();
    name = p.TokenString();
    if (isInline) InlinePath = kutils::JoinDotted(InlinePath, name);
    if (p.NextToken() == ':') {
        p.NextToken();
        className = p.TokenString();
        p.NextToken();
    } else {
        className = name;
    }
    if (p.Token() == '[') {
        p.NextToken();
        className += "[" + p.TokenString() + "]";
        if (p.NextToken() != ']') FormError("Wrong DFM Format");
        p.NextToken();
    }
}

void TFormProcessor::WalkObject(const std::string& path) {
    // Objects nest no deeper than the binary reader allows; hand-written text is held to the same.
    if (++depth_ > fw::kMaxFormNesting) FormError("Wrong DFM Format");
    WalkProperties(path);
    inlineSelf_.clear();
    WriteAddedProperties(path);
    fw::TParser& p = *parser_;
    for (int n = 1;; ++n) {
        if (p.TokenSymbolIs("end")) break;
        if (p.Token() == toEOF) FormError("Wrong DFM Format");
        std::string name, className;
        bool isInline = false;
        ReadObjectHeader(name, className, isInline);
        std::string childPath = langres::ChildObjectKey(path, name, className, n);
        if (isInline) inlineSelf_ = childPath;
        WalkObject(childPath);
        if (isInline) {
            size_t dot = InlinePath.rfind('.');
            InlinePath = dot == std::string::npos ? std::string() : InlinePath.substr(0, dot);
        }
    }
    p.NextToken();
    --depth_;
}

void TFormProcessor::WalkProperties(const std::string& path) {
    fw::TParser& p = *parser_;
    while (true) {
        std::string propName = p.TokenComponentIdent();
        if (fw::SameTextAscii(propName, "end") || fw::SameTextAscii(propName, "object") ||
            fw::SameTextAscii(propName, "inline") || fw::SameTextAscii(propName, "inherited"))
            return;
        if (p.NextToken() != '=') FormError("Wrong DFM Format");
        DropProperty = false;
        PropLine = p.SourceLine() - 1;
        char first = 0;
        bool readable = true;
        try {
            first = p.NextToken();
        } catch (const fw::EParserError&) {
            readable = false;  // the value's first token is already broken
            SkipRestOfLine();
        }
        if (readable) {
            if (first == '<')
                WalkCollection(path, propName);
            else
                SkipValue();
        }
        PropEndLine = p.SourceLine() - 1;
        TranslateProperty(path, propName);
    }
}

void TFormProcessor::WalkCollection(const std::string& path, const std::string& propName) {
    fw::TParser& p = *parser_;
    if (++depth_ > fw::kMaxFormNesting) FormError("Wrong DFM Format");
    if (p.NextToken() == '>') {
        p.NextToken();
        --depth_;
        return;
    }
    for (int n = 0;; ++n) {
        if (p.Token() != toSymbol || p.TokenString() != "item") FormError("Wrong DFM Format");
        p.NextToken();
        // An item may carry its order index: "item [3]".
        if (p.Token() == '[') {
            p.NextToken();
            p.NextToken();
            if (p.Token() != ']') FormError("Wrong DFM Format");
            p.NextToken();
        }
        std::string itemPath = kutils::JoinDotted(InlinePath, langres::CollectionItemKey(path, propName, n));
        WalkProperties(itemPath);
        WriteAddedProperties(itemPath);
        if (p.Token() != toSymbol || p.TokenString() != "end") FormError("Wrong DFM Format");
        if (p.NextToken() == '>') break;
    }
    p.NextToken();
    --depth_;
}

void TFormProcessor::SkipValueTokens() {
    fw::TParser& p = *parser_;
    switch (p.Token()) {
        case toSymbol:
            p.TokenComponentIdent();
            p.NextToken();
            break;
        case toString:
        case toWString:
            while (p.NextToken() == '+') {
                p.NextToken();
                if (p.Token() != toWString) p.CheckToken(toString);
            }
            break;
        case toInteger:
            p.TokenInt();
            p.NextToken();
            break;
        case toFloat: {
            long double x;
            if (!fw::TextToExtended(p.TokenFloatText(), x))
                p.Error(fw::Format("'%s' is not a valid floating point value", {p.TokenString()}));
            p.NextToken();
            break;
        }
        case '(': {
            int level = 1;
            while (level > 0) {
                char t = p.NextToken();
                if (t == toEOF) p.Error("Invalid property value");
                if (t == '(') ++level;
                if (t == ')') --level;
            }
            p.NextToken();
            break;
        }
        case '[':
            while (p.NextToken() != ']')
                if (p.Token() == toEOF) p.Error("Invalid property value");
            p.NextToken();
            break;
        case '{':
            p.HexToBinary();
            p.NextToken();
            break;
        default:
            break;  // left in place
    }
}

void TFormProcessor::SkipValue() {
    try {
        SkipValueTokens();
    } catch (const fw::EParserError&) {
        SkipRestOfLine();
    }
}

void TFormProcessor::SkipRestOfLine() {
    // Every token read, even a broken one, moves the tokeniser on, so this ends.
    fw::TParser& p = *parser_;
    DropProperty = true;
    int line = p.SourceLine();
    while (p.Token() != toEOF && p.SourceLine() == line) {
        try {
            p.NextToken();
        } catch (const fw::EParserError&) {
        }
    }
}

// ---- translating

langres::TLResComponentItem* TFormProcessor::FindComponentItem(const std::string& path) const {
    if (!FormItem) return nullptr;
    if (path.empty()) return FormItem->FindComponent(nullptr);
    return FormItem->FindComponent(&path);
}

void TFormProcessor::TranslateProperty(const std::string& path, const std::string& propName) {
    // An inline object's own properties are keyed by its path on the form, as the live
    // translator finds the object, not by that path with its name once more.
    const std::string key =
        !inlineSelf_.empty() && path == inlineSelf_ ? InlinePath : kutils::JoinDotted(InlinePath, path);
    langres::TLResComponentItem* component = FindComponentItem(key);
    if (!component) return;
    if (ReplaceCharset && fw::LowerCaseAscii(propName).find(".charset") != std::string::npos) {
        uint8_t charset = kutils::LocaleCharset(LangResource->LangIds(LangIndex));
        std::string ident = CharsetIdent(charset);
        if (ident.empty()) return;
        CopyLines(PropLine - 1);
        OutputLines.push_back(std::string(10, ' ') + propName + " = " + ident);
        NextLine = PropEndLine;
        return;
    }
    auto* prop = static_cast<langres::TLResPropertyItem*>(component->Properties->ItemByName(propName));
    if (!prop || prop->HasFlags(langres::vfDoNotTranslate)) return;
    if (prop->Kind() == langres::vkString && ValueText(prop).empty()) DropProperty = true;
    CopyLines(PropLine - 1);
    item_ = kutils::JoinDotted(kutils::JoinDotted(FormName, key), propName);
    if (!DropProperty) WritePropertyLines(prop);
    NextLine = PropEndLine;
}

void TFormProcessor::WriteAddedProperties(const std::string& path) {
    CopyLines(parser_->SourceLine() - 2);
    langres::TLResComponentItem* component = FindComponentItem(path);
    if (!component) return;
    for (int i = 0; i < component->Properties->Count(); ++i) {
        auto* prop = component->Properties->Items(i);
        if (!prop->HasFlags(langres::vfAdded)) continue;
        item_ = kutils::JoinDotted(kutils::JoinDotted(FormName, path), prop->Name);
        WritePropertyLines(prop);
    }
}

const std::u16string& TFormProcessor::ValueText(langres::TLResPropertyItem* prop) const {
    langres::TLResValue* value = prop->Values->Values(LangIndex);
    langres::TLResValue* native = prop->NativeValue();
    if (value->Revision >= 0 || value == native) return value->Text;
    // Only while it still holds what following the native text gave it.
    if (value->Text == native->Text ||
        value->Text != langres::LangAnsiToWide(langres::LangWideToAnsi(native->Text, native->LangId), value->LangId))
        return value->Text;
    return native->Text;
}

bool TFormProcessor::UnicodeReader() const {
    return ProgramReader && ProgramReader->Generation == TGeneration::Unicode;
}

std::string TFormProcessor::QuoteText(const std::u16string& text, uint16_t langId, bool wide) {
    std::string ansi;
    if (!wide && langres::LangAnsiHoldsText(text, langId, ansi)) return kutils::QuoteString(ansi, '\'');
    if (ProgramReader && !ProgramReader->Wide) {
        const std::string entry = fw::Format("%s: cannot be written in code page %u for this program's form reader",
                                             {item_, static_cast<unsigned long long>(kutils::LocaleCodePage(langId))});
        if (Unwritable.empty() || Unwritable.back() != entry) Unwritable.push_back(entry);
    }
    return WideQuoteString(text);
}

void TFormProcessor::WritePropertyLines(langres::TLResPropertyItem* prop) {
    int indent = -1;
    if (PropLine >= 0 && PropLine < static_cast<int>(SourceLines.size())) {
        size_t at = SourceLines[static_cast<size_t>(PropLine)].find(prop->Name);
        indent = at == std::string::npos ? -1 : static_cast<int>(at);
    }
    std::string blanks(indent > 0 ? static_cast<size_t>(indent) : 0, ' ');
    langres::TLResValue* value = prop->Values->Values(LangIndex);
    // Escaped wide text reads the same on every system; 8-bit text only in its code page. A text
    // the program stored wide stays wide where its reader takes that.
    const bool wide = UTF8Strings || UnicodeReader();
    const bool wideKept = prop->HasFlags(langres::vfWide) && (!ProgramReader || ProgramReader->Wide);
    switch (prop->Kind()) {
        case langres::vkInteger:
        case langres::vkIdent:
            OutputLines.push_back(blanks + prop->Name + " = " + value->GetAnsiText());
            break;
        case langres::vkString:
            OutputLines.push_back(blanks + prop->Name + " = " +
                                  QuoteText(ValueText(prop), value->LangId, wide || wideKept));
            break;
        case langres::vkStringList: {
            OutputLines.push_back(blanks + prop->Name + " = (");
            // Each line on its own: those the code page holds stay 8-bit.
            const std::u16string& t = ValueText(prop);
            size_t start = 0;
            for (size_t i = 0; i < t.size(); ++i) {
                if (t[i] != u'\r' && t[i] != u'\n') continue;
                OutputLines.push_back(blanks + "  " + QuoteText(t.substr(start, i - start), value->LangId, wide));
                if (t[i] == u'\r' && i + 1 < t.size() && t[i + 1] == u'\n') ++i;
                start = i + 1;
            }
            if (start < t.size())
                OutputLines.push_back(blanks + "  " + QuoteText(t.substr(start), value->LangId, wide));
            OutputLines.back() += ")";
            break;
        }
        default:
            break;
    }
}

}  // namespace resources

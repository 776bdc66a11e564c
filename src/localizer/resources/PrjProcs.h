// Translation of form resources: each form is turned into its text form, the lines of every
// property the language model translates are replaced by freshly written ones, and the text is
// converted back to the encoding the form came in.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/FormParser.h"
#include "framework/SysUtils.h"
#include "localizer/langres/LangRes.h"
#include "localizer/resources/FormConvert.h"
#include "localizer/resources/Generation.h"

namespace resources {

class TResProcessor;

using fw::Exception;
FW_DECLARE_EXCEPTION(EPrjProcsError, Exception);

// The identifier of a font character set in form text ("RUSSIAN_CHARSET"); empty when the
// character set has none.
std::string CharsetIdent(uint8_t charset);
// A UTF-16 text in form-text syntax: runs of 32..127 (apostrophe aside) quoted, every other
// character as "#" + code; "''" when empty.
std::string WideQuoteString(const std::u16string& text);

class TFormProcessor {
public:
    TFormProcessor() = default;
    TFormProcessor(const TFormProcessor&) = delete;
    TFormProcessor& operator=(const TFormProcessor&) = delete;

    langres::TLangResource* LangResource = nullptr;  // not owned
    std::vector<std::string> FormNames;
    int LangIndex = 0;
    uint32_t LangId = 0;
    bool UTF8Strings = false;
    bool ReplaceCharset = true;
    // The form reader of a program built with the framework's own tools (ProgramFormReader);
    // empty for our own programs, where a translated text stays 8-bit where the language's code
    // page holds it exactly and goes wide where it does not.
    // - Unicode era: 8-bit strings for plain ASCII only; every other text, translated or not, is
    //   written as a UTF-8 or wide string (that reader reads 8-bit strings in the code page of
    //   the system it runs on).
    // - 8-bit era: a text the language's code page holds is written 8-bit in that code page; one
    //   it does not hold is written wide where the reader takes wide strings (UTF-8 only where it
    //   takes those) and otherwise named in Unwritable. The program's own 8-bit strings stay.
    std::optional<TFormReaderKinds> ProgramReader;
    // "Form.Component.Property: cannot be written in code page N for this program's form
    // reader", one per item, in the order met; the caller refuses the module when any is there.
    std::vector<std::string> Unwritable;

    // ProcessForm for each name of FormNames, in order.
    void ProcessForms(TResProcessor& resProcessor);
    // Translates the RCDATA item "T" + the form name (upper case) in place; a form without an
    // item is skipped. EPrjProcsError "Can't find RCDATA block" without RCDATA.
    void ProcessForm(TResProcessor& resProcessor, const std::string& formName);
    // Translates one form stream (resource, binary or text form) in place, keeping its encoding.
    void ProcessStream(fw::TStream& stream);

    // Working state of the form being translated.
    std::vector<std::string> SourceLines;
    std::vector<std::string> OutputLines;
    int NextLine = 0;
    int PropLine = 0;
    int PropEndLine = 0;
    bool DropProperty = false;
    std::string FormName;
    langres::TLResFormItem* FormItem = nullptr;
    std::string InlinePath;

protected:
    int ParseForm(fw::TStream& stream);
    void ReadObjectHeader(std::string& name, std::string& className, bool& isInline);
    void WalkObject(const std::string& path);
    void WalkProperties(const std::string& path);
    void WalkCollection(const std::string& path, const std::string& propName);
    void SkipValue();
    void TranslateProperty(const std::string& path, const std::string& propName);
    void WriteAddedProperties(const std::string& path);
    void WritePropertyLines(langres::TLResPropertyItem* prop);
    // The text a property is written with: its value for LangIndex, or the native text itself
    // while the value is untranslated (an untranslated value holds the native text as read in
    // its own code page, which may not be the text).
    const std::u16string& ValueText(langres::TLResPropertyItem* prop) const;
    // One string in form-text syntax: 8-bit in the language's code page where that holds it
    // exactly (and `wide` does not ask for the wide form), else escaped wide; a text the reader
    // cannot take that way is added to Unwritable under the current item.
    std::string QuoteText(const std::u16string& text, uint16_t langId, bool wide);
    void CopyLines(int lastLine);
    bool UnicodeReader() const;
    [[noreturn]] void FormError(const std::string& message);

private:
    void SkipValueTokens();
    void SkipRestOfLine();  // after a broken value: DropProperty, and on to the next line
    langres::TLResComponentItem* FindComponentItem(const std::string& path) const;

    std::string text_;
    std::unique_ptr<fw::TParser> parser_;
    int depth_ = 0;
    // While the properties of an inline object itself are walked: its path (its own name).
    std::string inlineSelf_;
    // The item whose lines WritePropertyLines writes (Form.Component.Property).
    std::string item_;
};

}  // namespace resources

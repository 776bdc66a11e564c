// The run-time localizer's translation of live forms: re-applies the texts of the model's
// current language to the open forms, frames and data modules through the published
// properties of the component model.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "framework/Components.h"
#include "localizer/langres/LangRes.h"

namespace onfly {

using fw::Exception;
FW_DECLARE_EXCEPTION(ELocOnFlyError, Exception);

// Resolves one segment of an indexed path through an object that is not a collection:
// sender, property name, index; result stays none when the host does not know the object.
using TGetIndexedObjectEvent =
    std::function<void(fw::TObject* sender, const std::string& propName, int index, fw::TObject*& result)>;

class TKLocalizerOnFly {
public:
    TKLocalizerOnFly();
    ~TKLocalizerOnFly();
    TKLocalizerOnFly(const TKLocalizerOnFly&) = delete;
    TKLocalizerOnFly& operator=(const TKLocalizerOnFly&) = delete;

    langres::TLangResource* LangResource() const { return langResource_.get(); }
    // Set font charsets from the current language where an entry set nothing.
    bool AdjustCharset = true;
    // Language of the resources now in use.
    uint32_t CurrentLangId = 0;
    TGetIndexedObjectEvent OnGetIndexedObject;

    // Every open form of the screen, in the screen's order; then every open data module.
    void TranslateForms(langres::TLangResource* res);
    void TranslateDataModules(langres::TLangResource* res);
    // The entries of the component's ancestor classes (nearest first), then its own class's.
    void TranslateComponent(langres::TLangResource* res, fw::TComponent* component);
    void TranslateFormEntry(langres::TLangResource* res, fw::TComponent* component, langres::TLResFormItem* entry);
    // prefix: the property path below the target that the entry's component path went on into.
    void ApplyEntryProperties(langres::TLResComponentItem* entry, fw::TObject* target, const std::string* prefix);
    void ApplyIndexedEntry(fw::TComponent* owner, langres::TLResComponentItem* entry, const std::string& name);
    // Whether a published property was found for the first segment of path.
    bool SetTranslatedProperty(fw::TObject* target, const std::string& path, langres::TLResValue* value);
    bool SetSpecialProperty(fw::TObject* target, const std::string& path, langres::TLResValue* value);

    static void SetFontCharset(fw::TObject* target, int32_t charset);
    static fw::TComponent* FindComponentDeep(fw::TComponent* owner, const std::string& name);
    static fw::TComponent* FindComponentByPath(fw::TComponent* owner, const std::string& path, std::string& rest);
    static bool ClassChainHasName(const fw::TObject* target, std::initializer_list<const char*> names);

private:
    fw::TObject* IndexedObject(fw::TObject* sender, const std::string& propName, int index);
    std::unique_ptr<langres::TLangResource> langResource_;
};

}  // namespace onfly

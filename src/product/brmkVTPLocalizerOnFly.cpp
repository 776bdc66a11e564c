#include "localizer/onfly/LocOnFly.h"
#include "product/brmkVTPLocalizer.h"

namespace product {

namespace {

class TOnFlyAccess : public TLocalizerAccess {
public:
    explicit TOnFlyAccess(onfly::TKLocalizerOnFly& l) : l_(l) {}
    void SetShowErrors(bool value) override { l_.ShowErrors = value; }
    void SetDeleteOldDLLs(bool value) override { l_.DeleteOldDLLs = value; }
    void SetTranslateLibraries(bool value) override { l_.TranslateLibraries = value; }
    void SetAppFileName(const std::string& fileName) override { l_.SetAppFileName(fileName); }
    std::string LangFolder() override { return l_.LangFolder(); }
    void SetLangFolder(const std::string& folder) override { l_.SetLangFolder(folder); }
    std::string DLLFolder() override { return l_.DLLFolder(); }
    void SetDLLFolder(const std::string& folder) override { l_.SetDLLFolder(folder); }
    void Init(const std::string& langFolder) override { l_.Init(langFolder); }
    void SwitchToLangCode(const std::string& code) override { l_.SwitchToLangCode(code); }

private:
    onfly::TKLocalizerOnFly& l_;
};

}  // namespace

std::unique_ptr<TLocalizerAccess> OnFlyAccess(onfly::TKLocalizerOnFly& localizer) {
    return std::make_unique<TOnFlyAccess>(localizer);
}

}  // namespace product

#include "FormWalk.h"

#include "localizer/kutils/KStrings.h"
#include "localizer/langres/Translatable.h"

namespace resources {

std::string TFormKeyWalker::Walk() {
    r_.ReadSignature();
    std::string className, name;
    if (Header(className, name)) inline_ = kutils::JoinDotted(inline_, name);
    Body("");
    return langres::FormEntryName(className);
}

bool TFormKeyWalker::Header(std::string& className, std::string& name) {
    uint8_t flags = 0;
    int64_t position = -1;
    r_.ReadPrefix(flags, position);
    className = r_.ReadStr();
    Name(className);
    name = r_.ReadStr();
    Name(name);
    return (flags & fw::ffInline) != 0;
}

void TFormKeyWalker::Body(const std::string& path) {
    r_.EnterNesting();
    Properties(path);
    for (int n = 1; !r_.EndOfList(); ++n) {
        std::string className, name;
        const bool isInline = Header(className, name);
        const std::string saved = inline_, savedSelf = inlineSelf_;
        const std::string key = langres::ChildObjectKey(path, name, className, n);
        if (isInline) {
            inline_ = kutils::JoinDotted(inline_, name);
            inlineSelf_ = key;
        }
        Child(ComponentKey(key), className);
        Body(key);
        inline_ = saved;
        inlineSelf_ = savedSelf;
    }
    r_.ReadListEnd();
    r_.LeaveNesting();
}

void TFormKeyWalker::Properties(const std::string& path) {
    while (!r_.EndOfList()) {
        const std::string prop = r_.ReadStr();
        if (r_.NextValue() == fw::vaCollection)
            Collection(path, prop);
        else
            Property(path, prop);
    }
    r_.ReadListEnd();
}

void TFormKeyWalker::Collection(const std::string& path, const std::string& prop) {
    r_.ReadValue();
    r_.EnterNesting();
    for (int n = 0; !r_.EndOfList(); ++n) {
        const fw::TValueType t = r_.NextValue();
        if (t == fw::vaInt8 || t == fw::vaInt16 || t == fw::vaInt32 || t == fw::vaInt64) r_.ReadInteger();
        if (r_.ReadValue() != fw::vaList) r_.Fail("collection item expected");
        Properties(kutils::JoinDotted(inline_, langres::CollectionItemKey(path, prop, n)));
    }
    r_.ReadListEnd();
    r_.LeaveNesting();
}

std::string TFormKeyWalker::ComponentKey(const std::string& path) const {
    return !inlineSelf_.empty() && path == inlineSelf_ ? inline_ : kutils::JoinDotted(inline_, path);
}

}  // namespace resources

#include "localizer/onfly/OnFlyPlatform.h"

namespace onfly::platform {

namespace {

size_t LastDelimiter(const std::string& name) {
    return name.find_last_of("\\/:");
}

}  // namespace

std::string ExtractFilePath(const std::string& name) {
    size_t p = LastDelimiter(name);
    return p == std::string::npos ? std::string() : name.substr(0, p + 1);
}

std::string ExtractFileName(const std::string& name) {
    size_t p = LastDelimiter(name);
    return p == std::string::npos ? name : name.substr(p + 1);
}

std::string ChangeFileExt(const std::string& name, const std::string& ext) {
    size_t start = LastDelimiter(name);
    start = start == std::string::npos ? 0 : start + 1;
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot < start) return name + ext;
    return name.substr(0, dot) + ext;
}

}  // namespace onfly::platform

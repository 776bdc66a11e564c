#include "product/NVVantraOSVersion.h"

namespace product {

TVantraOSVersion::TVantraOSVersion(IOSVersionSource& source) {
    Detect(source);
}

void TVantraOSVersion::Detect(IOSVersionSource& source) {
    TOSVersionRecord rec;
    if (source.GetVersionExtended(rec)) {
        server_ = rec.ProductType == 2 || rec.ProductType == 3;  // domain controller, server
        workstation_ = !server_;
    } else {
        rec = TOSVersionRecord{};
        if (!source.GetVersionBasic(rec))
            throw EVantraOSVersionError(
                "VantraOSVersion: The call to the API function GetVersion() failed, so the running OS could not be "
                "determined - unable to continue!");
        server_ = false;
        workstation_ = true;
    }
    platformId_ = rec.PlatformId;
    major_ = rec.MajorVersion;
    minor_ = rec.MinorVersion;
    if (platformId_ == 1) {
        osNumber_ = minor_ == 0 ? osWin95 : minor_ == 90 ? osWinME : osWin98;
    } else if (platformId_ == 2) {
        if (major_ < 5)
            osNumber_ = osWinNT4;
        else if (major_ == 5)
            osNumber_ = minor_ == 0 ? osWin2000 : minor_ == 1 ? osWinXP : osWin2003;
        else
            osNumber_ = osWinVista;
    } else {
        throw EVantraOSVersionError(
            "VantraOSVersion: Not supported (unknown) OS Version detected - unable to continue!");
    }
    osNumberText_ = std::to_string(osNumber_);
    switch (source.QueryWow64()) {
        case IOSVersionSource::Wow64::Absent:
            wow64_ = false;
            break;
        case IOSVersionSource::Wow64::Failed:
            throw EVantraOSVersionError(
                "The proc address of function IsWow64() in kernel32 was found, but calling resulted in an error!");
        case IOSVersionSource::Wow64::No:
            wow64_ = false;
            break;
        case IOSVersionSource::Wow64::Yes:
            wow64_ = true;
            break;
    }
}

bool TVantraOSVersion::OSVersionCompatibleWithRunningOS(const std::string& mask) const {
    if (mask.empty()) return true;
    size_t pos = static_cast<size_t>(osNumber_);  // 1-based
    return pos >= 1 && pos <= mask.size() && mask[pos - 1] == '1';
}

}  // namespace product

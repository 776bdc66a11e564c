// Classification of the running Windows system into the product's eight system numbers.
#pragma once

#include <cstdint>
#include <string>

#include "framework/SysUtils.h"

namespace product {

class EVantraOSVersionError : public fw::Exception {
public:
    using fw::Exception::Exception;
    const char* ClassName() const noexcept override { return "EVantraOSVersionError"; }
};

// The fields of the system's version record that the classification uses.
struct TOSVersionRecord {
    uint32_t PlatformId = 0;
    uint32_t MajorVersion = 0;
    uint32_t MinorVersion = 0;
    uint8_t ProductType = 0;  // extended record only
};

// Where the version record comes from: the system, or a test.
class IOSVersionSource {
public:
    virtual ~IOSVersionSource() = default;
    virtual bool GetVersionExtended(TOSVersionRecord& rec) = 0;
    virtual bool GetVersionBasic(TOSVersionRecord& rec) = 0;
    enum class Wow64 { Absent, Failed, No, Yes };
    virtual Wow64 QueryWow64() = 0;
};

enum : int {
    osWin95 = 1,
    osWinNT4 = 2,
    osWin98 = 3,
    osWin2000 = 4,
    osWinME = 5,
    osWinXP = 6,
    osWin2003 = 7,
    osWinVista = 8,
};

class TVantraOSVersion {
public:
#ifdef _WIN32
    TVantraOSVersion();  // the running system
#endif
    explicit TVantraOSVersion(IOSVersionSource& source);

    int OSNumber() const {
        return osNumber_;
    }
    const std::string& OSNumberText() const {
        return osNumberText_;
    }
    bool IsServer() const {
        return server_;
    }
    bool IsWorkstation() const {
        return workstation_;
    }
    bool IsWow64() const {
        return wow64_;
    }
    uint32_t PlatformId() const {
        return platformId_;
    }
    uint32_t MajorVersion() const {
        return major_;
    }
    uint32_t MinorVersion() const {
        return minor_;
    }
    bool IsWin9x() const {
        return osNumber_ == osWin95 || osNumber_ == osWin98 || osNumber_ == osWinME;
    }
    // Mask: one character per system number; "" admits every system.
    bool OSVersionCompatibleWithRunningOS(const std::string& mask) const;

private:
    void Detect(IOSVersionSource& source);

    int osNumber_ = 0;
    std::string osNumberText_;
    bool server_ = false;
    bool workstation_ = true;
    bool wow64_ = false;
    uint32_t platformId_ = 0;
    uint32_t major_ = 0;
    uint32_t minor_ = 0;
};

}  // namespace product

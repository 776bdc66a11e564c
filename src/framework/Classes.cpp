#include "Classes.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fw {

int64_t TStream::Size() {
    int64_t pos = Seek(0, TSeekOrigin::soCurrent);
    int64_t end = Seek(0, TSeekOrigin::soEnd);
    Seek(pos, TSeekOrigin::soBeginning);
    return end;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    int64_t result = count;
    uint8_t buf[65536];
    while (count > 0) {
        int64_t n = count < static_cast<int64_t>(sizeof buf) ? count : static_cast<int64_t>(sizeof buf);
        source.ReadBuffer(buf, n);
        WriteBuffer(buf, n);
        count -= n;
    }
    return result;
}

uint8_t TStream::ReadU8() {
    uint8_t b;
    ReadBuffer(&b, 1);
    return b;
}

uint16_t TStream::ReadU16() {
    uint8_t b[2];
    ReadBuffer(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t TStream::ReadU32() {
    uint8_t b[4];
    ReadBuffer(b, 4);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
           (static_cast<uint32_t>(b[3]) << 24);
}

void TStream::WriteU16(uint16_t v) {
    uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    WriteBuffer(b, 2);
}

void TStream::WriteU32(uint32_t v) {
    uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                    static_cast<uint8_t>(v >> 24)};
    WriteBuffer(b, 4);
}

// ---- TMemoryStream

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    int64_t size = static_cast<int64_t>(data_.size());
    if (count <= 0 || pos_ >= size) return 0;
    int64_t n = size - pos_ < count ? size - pos_ : count;
    std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    int64_t end = pos_ + count;
    if (end > static_cast<int64_t>(data_.size())) data_.resize(static_cast<size_t>(end));
    std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
    pos_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    switch (origin) {
        case TSeekOrigin::soBeginning:
            pos_ = offset;
            break;
        case TSeekOrigin::soCurrent:
            pos_ += offset;
            break;
        case TSeekOrigin::soEnd:
            pos_ = static_cast<int64_t>(data_.size()) + offset;
            break;
    }
    if (pos_ < 0) pos_ = 0;
    return pos_;
}

void TMemoryStream::SetSize(int64_t newSize) {
    if (newSize < 0) newSize = 0;
    data_.resize(static_cast<size_t>(newSize));
    if (pos_ > newSize) pos_ = newSize;
}

void TMemoryStream::Clear() {
    data_.clear();
    pos_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& s) {
    s.SetPosition(0);
    int64_t n = s.Size();
    SetSize(n);
    s.ReadBuffer(data_.data(), n);
    pos_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream f(fileName, fmOpenRead);
    LoadFromStream(f);
}

void TMemoryStream::SaveToStream(TStream& s) {
    s.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
}

// ---- TBytesStream

int64_t TBytesStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || pos_ >= size_) return 0;
    int64_t n = size_ - pos_ < count ? size_ - pos_ : count;
    std::memcpy(buffer, data_ + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
}

int64_t TBytesStream::Write(const void*, int64_t) {
    throw EWriteError("Stream write error");
}

int64_t TBytesStream::Seek(int64_t offset, TSeekOrigin origin) {
    switch (origin) {
        case TSeekOrigin::soBeginning:
            pos_ = offset;
            break;
        case TSeekOrigin::soCurrent:
            pos_ += offset;
            break;
        case TSeekOrigin::soEnd:
            pos_ = size_ + offset;
            break;
    }
    if (pos_ < 0) pos_ = 0;
    return pos_;
}

void TBytesStream::SetSize(int64_t) {
    throw EStreamError("Stream is read-only");
}

// ---- TFileStream

namespace {

std::string SystemErrorText(int err) {
#ifdef _WIN32
    char buf[512];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(), 0,
                             buf, sizeof buf, nullptr);
    while (n > 0 && (buf[n - 1] == '\r' || buf[n - 1] == '\n' || buf[n - 1] == ' ')) --n;
    if (n > 0) return std::string(buf, n);
#endif
    return std::strerror(err);
}

}  // namespace

TFileStream::TFileStream(const std::string& fileName, unsigned mode) : fileName_(fileName) {
    const char* m = "rb";
    if (mode == fmCreate)
        m = "w+b";
    else if ((mode & 3) == fmOpenWrite || (mode & 3) == fmOpenReadWrite)
        m = "r+b";
    errno = 0;
    f_ = std::fopen(fileName.c_str(), m);
    if (!f_) {
        std::string reason = SystemErrorText(errno);
        if (mode == fmCreate) throw EFCreateError("Cannot create file \"" + fileName + "\". " + reason);
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
    }
}

TFileStream::~TFileStream() {
    if (f_) std::fclose(f_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    if (count <= 0) return 0;
    // Switching from writing to reading needs a seek in between. Not fflush: the Windows C
    // runtime's fflush on an input stream drops the buffered bytes and moves the position on.
    std::fseek(f_, 0, SEEK_CUR);
    return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), f_));
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    std::fseek(f_, 0, SEEK_CUR);
    return static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), f_));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET : origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
#ifdef _WIN32
    if (_fseeki64(f_, offset, whence) != 0) throw EStreamError("Stream seek error");
    return _ftelli64(f_);
#else
    if (fseeko(f_, offset, whence) != 0) throw EStreamError("Stream seek error");
    return ftello(f_);
#endif
}

void TFileStream::SetSize(int64_t newSize) {
    std::fflush(f_);
#ifdef _WIN32
    if (_chsize_s(_fileno(f_), newSize) != 0) throw EStreamError("Stream size error");
#else
    if (ftruncate(fileno(f_), newSize) != 0) throw EStreamError("Stream size error");
#endif
    if (Position() > newSize) SetPosition(newSize);
}

std::vector<uint8_t> ReadFileBytes(const std::string& fileName) {
    TFileStream f(fileName, fmOpenRead);
    int64_t n = f.Size();
    std::vector<uint8_t> data(static_cast<size_t>(n));
    f.ReadBuffer(data.data(), n);
    return data;
}

void WriteFileAtomically(const std::string& fileName, const void* data, size_t size) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string target = fileName;
    // A link stays a link: the file it names is what gets replaced.
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec) target = resolved.string();
    }
    // Devices, pipes and the like (or a link that leads nowhere one can rename to) cannot be
    // replaced by renaming; they are written in place.
    const fs::file_status st = fs::status(target, ec);
    // Every byte must have reached the file, the buffered ones included, before it counts.
    auto write = [&](const std::string& name) {
        errno = 0;
        // As TFileStream creates: read-write, which also opens a pipe without waiting for a reader.
        std::FILE* f = std::fopen(name.c_str(), "w+b");
        if (!f) throw EFCreateError("Cannot create file \"" + fileName + "\". " + SystemErrorText(errno));
        bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
        ok = std::fflush(f) == 0 && ok && !std::ferror(f);
        int err = errno;
        if (std::fclose(f) != 0 && ok) {
            ok = false;
            err = errno;
        }
        if (!ok) throw EWriteError("Cannot write file \"" + fileName + "\". " + SystemErrorText(err ? err : EIO));
    };
    if (fs::is_symlink(fs::symlink_status(target, ec)) || (fs::exists(st) && !fs::is_regular_file(st))) {
        write(target);
        return;
    }
    std::string tmp = target + ".tmp~";
    try {
        write(tmp);
        fs::rename(tmp, target, ec);
        if (ec) throw EFCreateError("Cannot create file \"" + fileName + "\". " + ec.message());
    } catch (...) {
        std::remove(tmp.c_str());
        throw;
    }
}

}  // namespace fw

#include "LFProc.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "localizer/kutils/kcompress.h"

#ifdef _WIN32
#include <share.h>
#endif

namespace langres {

namespace {

// The longest possible header: fixed fields plus two names of 65535 units each.
constexpr size_t MaxHeaderSize = 2 + 2 + 4 + 4 + 2 + 2 + (2 + 65535) + (2 + 2 * 65535) + 2 + 2 + 4 + 4 + 4;
// Of a compressed file only this much is decompressed to read the header.
constexpr size_t CompressedHeadSize = 1024;
// A block cut inside a token ends in up to this many undefined bytes.
constexpr size_t CutTokenTail = 127;

// A language file open for reading; while it is open nobody else may write it (on Windows: no
// write sharing), so a file being rewritten is never read half-way.
class TLangFileStream : public fw::TStream {
public:
    explicit TLangFileStream(const std::string& fileName) {
        errno = 0;
#ifdef _WIN32
        f_ = _fsopen(fileName.c_str(), "rb", _SH_DENYWR);
#else
        f_ = std::fopen(fileName.c_str(), "rb");
#endif
        if (!f_) {
            std::string reason = std::strerror(errno ? errno : EACCES);
            throw fw::EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
        }
    }
    ~TLangFileStream() override {
        std::fclose(f_);
    }
    TLangFileStream(const TLangFileStream&) = delete;
    TLangFileStream& operator=(const TLangFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override {
        return count <= 0 ? 0 : static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), f_));
    }
    int64_t Write(const void*, int64_t) override {
        throw fw::EWriteError("Stream write error");
    }
    int64_t Seek(int64_t offset, fw::TSeekOrigin origin) override {
        int whence = origin == fw::TSeekOrigin::soBeginning ? SEEK_SET
                     : origin == fw::TSeekOrigin::soCurrent ? SEEK_CUR
                                                            : SEEK_END;
#ifdef _WIN32
        if (_fseeki64(f_, offset, whence) != 0) throw fw::EStreamError("Stream seek error");
        return _ftelli64(f_);
#else
        if (fseeko(f_, offset, whence) != 0) throw fw::EStreamError("Stream seek error");
        return ftello(f_);
#endif
    }
    void SetSize(int64_t) override {
        throw fw::EStreamError("Stream is read-only");
    }

private:
    std::FILE* f_ = nullptr;
};

std::vector<uint8_t> ReadStreamPart(fw::TStream& s, int64_t from, int64_t count) {
    s.SetPosition(from);
    std::vector<uint8_t> buf(static_cast<size_t>(count));
    if (count) s.ReadBuffer(buf.data(), count);
    return buf;
}

}  // namespace

TLangFile::TLangFile() = default;

TLangFile::TLangFile(const std::string& fileName) : FileName(fileName) {
    std::error_code ec;
    if (fileName.empty() || !std::filesystem::is_regular_file(std::filesystem::path(fileName), ec)) return;
    ReadHeaderOfFile();
}

template <class F>
auto TLangFile::Named(F f) -> decltype(f()) {
    try {
        return f();
    } catch (fw::EReadError& e) {
        e.SetMessage((FileName.empty() ? std::string("Language file: ") : "Language file \"" + FileName + "\": ") +
                     e.Message());
        throw;
    } catch (kutils::EKCompressError& e) {
        e.SetMessage((FileName.empty() ? std::string("Language file: ") : "Language file \"" + FileName + "\": ") +
                     e.Message());
        throw;
    }
}

void TLangFile::ReadHeaderOfFile() {
    TLangFileStream f(FileName);
    const int64_t size = f.Size();
    Named([&] {
        std::vector<uint8_t> magic = ReadStreamPart(f, 0, std::min<int64_t>(size, 5));
        if (!IsCompressedImage(magic.data(), magic.size())) {
            std::vector<uint8_t> head = ReadStreamPart(f, 0, std::min<int64_t>(size, MaxHeaderSize));
            ReadHeaderFrom(head.data(), head.size(), false);
            return;
        }
        // Only the beginning of a compressed file is decompressed for the header. When the header
        // runs into the part that a cut token may have left undefined (or past it), the whole
        // file is decompressed instead.
        const int64_t headSize = std::min<int64_t>(size, CompressedHeadSize);
        std::vector<uint8_t> head = ReadStreamPart(f, 0, headSize);
        if (headSize < size) {
            std::vector<uint8_t> plain;
            bool partialOk = false;
            TLFHeader h;
            try {
                plain = DecompressImage(head.data(), head.size());
                fw::TByteReader r(plain);
                ReadLFHeader(r, h);
                partialOk = r.Pos() + CutTokenTail <= plain.size();
            } catch (const fw::EReadError&) {
            } catch (const kutils::EKCompressError&) {
            }
            if (partialOk) {
                StoreHeader(h);
                return;
            }
            head = ReadStreamPart(f, 0, size);
        }
        std::vector<uint8_t> plain = DecompressImage(head.data(), head.size());
        fw::TByteReader r(plain);
        TLFHeader h;
        ReadLFHeader(r, h);
        StoreHeader(h);
    });
}

TLFHeader TLangFile::Header() const {
    TLFHeader h;
    h.Version = Version;
    h.Revision = Revision;
    h.Build = Build;
    h.LangId = static_cast<uint16_t>(LangId);
    h.Word = Word;
    h.EnglishLangName = EnglishLangName;
    h.NativeLangName = NativeLangName;
    h.IsNative = IsNative ? 1 : 0;
    h.Options = Options;
    h.LastConstantId = LastConstantId;
    h.LastPropertyId = LastPropertyId;
    h.LastExternalId = LastExternalId;
    return h;
}

void TLangFile::StoreHeader(const TLFHeader& h) {
    Version = h.Version;
    Revision = h.Revision;
    Build = h.Build;
    LangId = h.LangId;
    Word = h.Word;
    EnglishLangName = h.EnglishLangName;
    NativeLangName = h.NativeLangName;
    IsNative = h.IsNative != 0;
    Options = h.Options;
    LastConstantId = h.LastConstantId;
    LastPropertyId = h.LastPropertyId;
    LastExternalId = h.LastExternalId;
}

size_t TLangFile::ReadHeaderFrom(const uint8_t* data, size_t size, bool keep) {
    return Named([&]() -> size_t {
        std::vector<uint8_t> plain;
        if (IsCompressedImage(data, size)) {
            plain = DecompressImage(data, size);
            data = plain.data();
            size = plain.size();
        }
        fw::TByteReader r(data, size);
        TLFHeader h;
        ReadLFHeader(r, h);
        if (!keep) StoreHeader(h);
        return r.Pos();
    });
}

int64_t TLangFile::ReadHeader(fw::TStream& stream, bool keep) {
    const int64_t size = stream.Size();
    std::vector<uint8_t> magic = ReadStreamPart(stream, 0, std::min<int64_t>(size, 5));
    // A plain header is never longer than MaxHeaderSize; a compressed image is read whole.
    const bool compressed = IsCompressedImage(magic.data(), magic.size());
    int64_t want = compressed ? size : std::min<int64_t>(size, MaxHeaderSize);
    std::vector<uint8_t> bytes = ReadStreamPart(stream, 0, want);
    size_t pos = ReadHeaderFrom(bytes.data(), bytes.size(), keep);
    // A plain stream is left just after the header; a block's positions are not the image's.
    if (!compressed) stream.SetPosition(static_cast<int64_t>(pos));
    return static_cast<int64_t>(pos);
}

int TLangFile::PrepareLoad(TLangResource* model, int index) {
    if (!model) throw ELFProcError("Invalid LangResources");
    if (index < 0) {
        model->Forms->Clear();
        model->Units->Clear();
        model->ExtGroups->Clear();
        return 0;
    }
    if (index >= model->LanguageCount()) throw ELFProcError("Invalid index");
    return index;
}

void TLangFile::LoadFromStream(fw::TStream& stream, TLangResource* model, int index) {
    PrepareLoad(model, index);
    if (auto* mem = dynamic_cast<fw::TMemoryStream*>(&stream)) {
        LoadImage(mem->Bytes().data(), mem->Bytes().size(), model, false, index);
        return;
    }
    std::vector<uint8_t> bytes = ReadStreamPart(stream, 0, stream.Size());
    LoadImage(bytes.data(), bytes.size(), model, false, index);
}

void TLangFile::LoadFromFile(TLangResource* model, int index) {
    // The arguments are checked first; the model is cleared only once the file could be read.
    if (!model) throw ELFProcError("Invalid LangResources");
    if (index >= model->LanguageCount()) throw ELFProcError("Invalid index");
    // The buffer is filled by the read at once: it is not cleared first.
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
    {
        TLangFileStream f(FileName);
        size = static_cast<size_t>(f.Size());
        bytes.reset(new uint8_t[size ? size : 1]);
        f.SetPosition(0);
        if (size) f.ReadBuffer(bytes.get(), static_cast<int64_t>(size));
    }
    PrepareLoad(model, index);
    LoadImage(bytes.get(), size, model, true, index);
}

void TLangFile::LoadImage(const uint8_t* data, size_t size, TLangResource* model, bool keep, int index) {
    Named([&] {
        if (IsCompressedImage(data, size)) {
            std::vector<uint8_t> plain = DecompressImage(data, size);
            LoadPlain(plain.data(), plain.size(), model, keep, index);
        } else {
            LoadPlain(data, size, model, keep, index);
        }
    });
}

namespace {

void ClearStaleConfirmation(const TLResItem* item, TLResValue* value) {
    if (item->NativeValue()->Revision > value->Revision && value->HasFlags(vfConfirmed))
        value->SetFlags(vfConfirmed, false);
}

// IndexOfId, trying first the entry after the previous match: translations list their items in
// the same order as the native file, so that entry is usually the one. It is taken only when its
// id is unique there, so the answer is always the one the search would give.
template <class FlatList>
int FindById(const FlatList& flat, uint32_t id, int& hint) {
    const int n = flat.Count();
    const int h = hint + 1;
    if (flat.Sorted && h >= 0 && h < n && flat.List[static_cast<size_t>(h)]->Id == id &&
        (h == 0 || flat.List[static_cast<size_t>(h - 1)]->Id != id) &&
        (h + 1 == n || flat.List[static_cast<size_t>(h + 1)]->Id != id)) {
        hint = h;
        return h;
    }
    int i = flat.IndexOfId(id);
    if (i >= 0) hint = i;
    return i;
}

// Room in a list for the records a count announces, but never more than the bytes left can hold:
// a damaged count must not reserve memory the file cannot fill.
void MakeRoom(TKObjectList* list, uint16_t count, const fw::TByteReader& r, size_t minRecord) {
    size_t n = std::min<size_t>(count, r.Left() / minRecord);
    if (list && static_cast<int>(n) > list->Count()) list->SetCapacity(list->Count() + static_cast<int>(n));
}

template <class FlatList, class Collect>
void NumberUnnumbered(bool anyUnnumbered, FlatList& flat, Collect collect, uint32_t& lastId) {
    if (!anyUnnumbered) return;  // nothing to number: spare collecting and sorting every item
    flat.Clear();
    collect(flat);
    for (auto* item : flat.List)
        if (item->Id == 0) item->Id = ++lastId;
}

}  // namespace

void TLangFile::LoadPlain(const uint8_t* data, size_t size, TLangResource* model, bool keep, int index) {
    const bool native = index < 0;
    TLinearPropertyList props;
    TLinearConstantList consts;
    TLinearExternalList exts;
    model->Forms->CollectProperties(props, true);
    model->Units->CollectConstants(consts, true);
    model->ExtGroups->CollectExternals(exts, true);

    int constHint = -1, propHint = -1, extHint = -1;
    fw::TByteReader r(data, size);
    TLFHeader header;
    ReadLFHeader(r, header);
    if (!keep) StoreHeader(header);
    // The body is laid out by the version of the image being read, also when the object keeps
    // the header it read earlier.
    const uint16_t version = header.Version;
    const uint16_t langId = static_cast<uint16_t>(LangId);
    const int32_t fileRevision = static_cast<int32_t>(Revision);

    if (native) model->SetNativeLangId(langId);

    auto finishValue = [&](const TLResItem* item, TLResValue* value, const TLFRecord& rec, int32_t revision) {
        value->SetStamp(rec.Stamp);
        value->SetRevision(revision);
        value->Flags = rec.Flags;
        value->SetLangId(langId);
        ClearStaleConfirmation(item, value);
    };

    // Units and their constants.
    uint32_t maxId = 0;
    bool unnumbered = false;
    const uint16_t unitCount = r.U16();
    for (uint16_t u = 0; u < unitCount; ++u) {
        std::string name = ReadS8(r, version);
        uint16_t flags = version >= 2 ? r.U16() : 0;
        TLResUnitItem* unit = nullptr;
        if (native) {
            unit = model->Units->Ensure(name);
            unit->Flags = flags;
        }
        const uint16_t count = r.U16();
        if (native) MakeRoom(unit->Constants, count, r, 20);
        for (uint16_t c = 0; c < count; ++c) {
            TLFRecord rec;
            ReadConstantRecord(r, version, rec);
            maxId = std::max(maxId, rec.Id);
            unnumbered |= rec.Id == 0;
            TLResItem* item;
            TLResValue* value;
            if (native) {
                item = unit->Constants->EnsureConstant(rec.Id, rec.Name, rec.ResId);
                value = item->NativeValue();
                value->SetText(std::move(rec.Value.Text));
            } else {
                int i = FindById(consts, rec.Id, constHint);
                if (i < 0) continue;
                item = consts.List[static_cast<size_t>(i)];
                value = item->Values->Values(index);
                if (rec.Revision >= 0) value->SetText(std::move(rec.Value.Text));
            }
            finishValue(item, value, rec, rec.Revision < 0 && native ? fileRevision : rec.Revision);
        }
    }
    if (maxId > LastConstantId) LastConstantId = maxId;
    if (native)
        NumberUnnumbered(
            unnumbered, consts, [&](TLinearConstantList& f) { model->Units->CollectConstants(f, true); },
            LastConstantId);

    // Forms, their own properties and their components' properties.
    maxId = 0;
    unnumbered = false;
    auto readProperty = [&](TLResComponentItem* owner) {
        TLFRecord rec;
        ReadPropertyHead(r, version, rec);
        maxId = std::max(maxId, rec.Id);
        unnumbered |= rec.Id == 0;
        const uint8_t kind = static_cast<uint8_t>(rec.Kind);
        TLResPropertyItem* item;
        TLResValue* value;
        if (native) {
            item = owner->Properties->EnsureProperty(rec.Id, rec.Name, static_cast<TLResValueKind>(kind));
            value = item->NativeValue();
        } else {
            int i = FindById(props, rec.Id, propHint);
            if (i < 0 || props.List[static_cast<size_t>(i)]->Kind() != kind) {
                // Not ours: pass over exactly the value of the record's kind, the revision and the stamp.
                ReadPropertyValue(r, version, kind, rec.Value);
                ReadRecordTail(r, rec);
                return;
            }
            item = props.List[static_cast<size_t>(i)];
            value = item->Values->Values(index);
        }
        // The value is stored in the encoding of the record's kind. An untranslated value
        // (negative revision) of a translation keeps the text it has.
        ReadPropertyValue(r, version, kind, rec.Value);
        ReadRecordTail(r, rec);
        int32_t revision = rec.Revision;
        if (rec.Value.Present && (native || revision >= 0)) value->SetText(std::move(rec.Value.Text));
        if (revision < 0 && native) revision = fileRevision;
        finishValue(item, value, rec, revision);
    };

    const uint16_t formCount = r.U16();
    for (uint16_t f = 0; f < formCount; ++f) {
        std::string name = ReadS8(r, version);
        uint16_t flags = version >= 2 ? r.U16() : 0;
        TLResFormItem* form = nullptr;
        if (native) {
            form = model->Forms->Ensure(name);
            form->Flags = flags;
        }
        const uint16_t own = r.U16();
        if (native) MakeRoom(form->Properties, own, r, 20);
        for (uint16_t p = 0; p < own; ++p) readProperty(form);
        const uint16_t comps = r.U16();
        for (uint16_t c = 0; c < comps; ++c) {
            std::string compName = ReadS8(r, version);
            if (version >= 2) r.U16();  // component flags are not kept
            TLResComponentItem* comp = native ? form->Components->Ensure(compName) : nullptr;
            const uint16_t n = r.U16();
            if (native) MakeRoom(comp->Properties, n, r, 20);
            for (uint16_t p = 0; p < n; ++p) readProperty(comp);
        }
    }
    if (maxId > LastPropertyId) LastPropertyId = maxId;
    if (native)
        NumberUnnumbered(
            unnumbered, props, [&](TLinearPropertyList& fl) { model->Forms->CollectProperties(fl, true); },
            LastPropertyId);

    // External groups.
    unnumbered = false;
    if (version == 7) {
        maxId = 0;
        const uint16_t groupCount = r.U16();
        for (uint16_t g = 0; g < groupCount; ++g) {
            std::string name = ReadS8(r, version);
            TLResExtGroupItem* group = native ? model->ExtGroups->Ensure(name) : nullptr;
            r.U16();  // group flags are not kept
            const uint16_t count = r.U16();
            if (native) MakeRoom(group->Externals, count, r, 20);
            for (uint16_t e = 0; e < count; ++e) {
                TLFRecord rec;
                ReadExternalRecord(r, version, rec);
                maxId = std::max(maxId, rec.Id);
                unnumbered |= rec.Id == 0;
                TLResItem* item;
                TLResValue* value;
                if (native) {
                    item = group->Externals->EnsureExternal(rec.Id, rec.Name);
                    value = item->NativeValue();
                    value->SetText(std::move(rec.Value.Text));
                } else {
                    int i = FindById(exts, rec.Id, extHint);
                    if (i < 0) continue;
                    item = exts.List[static_cast<size_t>(i)];
                    value = item->Values->Values(index);
                    if (rec.Revision >= 0) value->SetText(std::move(rec.Value.Text));
                }
                // A negative revision of an external stays as it is, also in the native file.
                finishValue(item, value, rec, rec.Revision);
            }
        }
        if (maxId > LastExternalId) LastExternalId = maxId;
    }
    if (native)
        NumberUnnumbered(
            unnumbered, exts, [&](TLinearExternalList& fl) { model->ExtGroups->CollectExternals(fl, true); },
            LastExternalId);
}

}  // namespace langres

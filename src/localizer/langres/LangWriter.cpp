#include "LangWriter.h"

#include <cstring>

#include "localizer/kutils/kcompress.h"

namespace langres {

namespace {

class TWriter {
public:
    explicit TWriter(uint16_t version) : v_(version) {}
    std::vector<uint8_t> Out;

    void U16(uint16_t x) {
        Out.push_back(static_cast<uint8_t>(x));
        Out.push_back(static_cast<uint8_t>(x >> 8));
    }
    void U32(uint32_t x) {
        for (int i = 0; i < 4; ++i) Out.push_back(static_cast<uint8_t>(x >> (8 * i)));
    }
    void U64(uint64_t x) {
        U32(static_cast<uint32_t>(x));
        U32(static_cast<uint32_t>(x >> 32));
    }
    void Count(size_t n, const char* what) {
        if (n > 0xFFFF)
            throw ELFProcError(fw::Format("Too many %s for a language file (%u, at most 65535)",
                                          {what, static_cast<unsigned long long>(n)}));
        U16(static_cast<uint16_t>(n));
    }
    void Counter(size_t n) {
        if (n > LangFileMaxCounter) throw ELFProcError("A string is too long for a language file");
        WriteCounter(Out, static_cast<uint32_t>(n), v_);
    }
    void S8(const std::string& s) {
        Counter(s.size());
        Out.insert(Out.end(), s.begin(), s.end());
    }
    void S16(const std::u16string& s) {
        Counter(s.size());
        for (char16_t c : s) U16(c);
    }
    void Flags(uint16_t f) {
        if (v_ >= 2) U16(f);
    }
    void Tail(const TLFRecord& r) {
        U32(static_cast<uint32_t>(r.Revision));
        U64(r.Stamp);
    }
    void Property(const TLFRecord& r) {
        S8(r.Name);
        Flags(r.Flags);
        U32(r.Id);
        U32(r.Kind);
        const uint8_t kind = static_cast<uint8_t>(r.Kind);
        if (KindHasStoredValue(kind, v_)) {
            if (kind == 0) {
                uint64_t bits;
                std::memcpy(&bits, &r.Value.Float, sizeof bits);
                U64(bits);
            } else if (kind == 1) {
                U32(static_cast<uint32_t>(r.Value.Int));
            } else {
                S16(r.Value.Text);
            }
        }
        Tail(r);
    }
    template <class P>
    void Properties(const std::vector<TLFRecord>& list, P&& owner) {
        Named(owner, [&] { Count(list.size(), "properties"); });
        for (const auto& p : list) Named([&] { return owner() + "." + p.Name; }, [&] { Property(p); });
    }
    // A text that does not fit is refused with the path of the item it belongs to.
    // The path is made only then: writing stays free of it.
    template <class P, class F>
    static void Named(P&& path, F&& write) {
        try {
            write();
        } catch (const ELFProcError& e) {
            throw ELFProcError(path() + ": " + e.Message());
        }
    }

private:
    uint16_t v_;
};

}  // namespace

std::vector<uint8_t> WriteLangFile(const TLangFileImage& image, uint16_t version, bool compress) {
    if (version < 1 || version > LangFileMaxVersion)
        throw ELFProcError(fw::Format("Language files of version %d can not be written", {static_cast<int>(version)}));
    TWriter w(version);
    WriteLFHeader(w.Out, image.Header, version);
    w.Count(image.Units.size(), "units");
    for (const auto& u : image.Units) {
        TWriter::Named([&] { return u.Name; },
                       [&] {
                           w.S8(u.Name);
                           w.Flags(u.Flags);
                           w.Count(u.Constants.size(), "constants");
                       });
        for (const auto& c : u.Constants) {
            TWriter::Named([&] { return u.Name + "." + c.Name; },
                           [&] {
                               w.S8(c.Name);
                               w.Flags(c.Flags);
                               w.U16(c.ResId);
                               w.U32(c.Id);
                               w.S16(c.Value.Text);
                               w.Tail(c);
                           });
        }
    }
    w.Count(image.Forms.size(), "forms");
    for (const auto& f : image.Forms) {
        TWriter::Named([&] { return f.Name; },
                       [&] {
                           w.S8(f.Name);
                           w.Flags(f.Flags);
                       });
        w.Properties(f.Properties, [&] { return f.Name; });
        TWriter::Named([&] { return f.Name; }, [&] { w.Count(f.Components.size(), "components"); });
        for (const auto& c : f.Components) {
            auto path = [&] { return f.Name + "." + c.Name; };
            TWriter::Named(path, [&] {
                w.S8(c.Name);
                w.Flags(c.Flags);
            });
            w.Properties(c.Properties, path);
        }
    }
    if (version == 7) {
        w.Count(image.Groups.size(), "external groups");
        for (const auto& g : image.Groups) {
            TWriter::Named([&] { return g.Name; },
                           [&] {
                               w.S8(g.Name);
                               w.U16(g.Flags);
                               w.Count(g.Externals.size(), "externals");
                           });
            for (const auto& e : g.Externals) {
                TWriter::Named([&] { return g.Name + "." + e.Name; },
                               [&] {
                                   w.S8(e.Name);
                                   w.U16(e.Flags);
                                   w.U32(e.Id);
                                   w.S16(e.Value.Text);
                                   w.Tail(e);
                               });
            }
        }
    }
    w.Out.insert(w.Out.end(), image.Trailing.begin(), image.Trailing.end());
    if (!compress) return std::move(w.Out);
    return kutils::LzkCompress(w.Out);
}

namespace {

TLFRecord RecordOf(const TLResItem* item, int langIndex) {
    const TLResValue* v = item->Values->Values(langIndex);
    TLFRecord r;
    r.Name = item->Name;
    r.Flags = v->Flags;
    r.Id = item->Id;
    r.Kind = item->Values->Kind;
    r.Value.Present = true;
    r.Value.Text = v->Text;
    r.Revision = v->Revision;
    r.Stamp = v->Stamp;
    if (r.Kind == vkFloat) {
        double d = 0;
        TextToFloat(v->GetAnsiText(), d);
        r.Value.Float = d;
    } else if (r.Kind == vkInteger) {
        r.Value.Int = v->AsInteger();
    }
    return r;
}

std::vector<TLFRecord> PropertiesOf(const TLResPropertyList* list, int langIndex) {
    std::vector<TLFRecord> out;
    for (int i = 0; i < list->Count(); ++i) out.push_back(RecordOf(list->Items(i), langIndex));
    return out;
}

}  // namespace

TLangFileImage ImageFromModel(const TLangResource& model, int langIndex, const TLFHeader& header) {
    if (langIndex < 0 || langIndex >= model.LanguageCount())
        throw ELFProcError(fw::Format("The dictionary has no language %d", {langIndex}));
    TLangFileImage img;
    img.Header = header;
    for (int u = 0; u < model.Units->Count(); ++u) {
        const TLResUnitItem* unit = model.Units->Items(u);
        TLFUnit fu{unit->Name, unit->Flags, {}};
        for (int c = 0; c < unit->Constants->Count(); ++c) {
            const TLResConstantItem* item = unit->Constants->Items(c);
            if (item->ResId > 0xFFFF)
                throw ELFProcError(
                    fw::Format("Constant %s has the resource id %u, beyond 65535", {item->GetPath('.'), item->ResId}));
            TLFRecord r = RecordOf(item, langIndex);
            r.ResId = static_cast<uint16_t>(item->ResId);
            fu.Constants.push_back(std::move(r));
        }
        img.Units.push_back(std::move(fu));
    }
    for (int f = 0; f < model.Forms->Count(); ++f) {
        const TLResFormItem* form = model.Forms->Items(f);
        TLFForm ff{form->Name, form->Flags, PropertiesOf(form->Properties, langIndex), {}};
        for (int c = 0; c < form->Components->Count(); ++c) {
            const TLResComponentItem* comp = form->Components->Items(c);
            ff.Components.push_back(TLFComponent{comp->Name, comp->Flags, PropertiesOf(comp->Properties, langIndex)});
        }
        img.Forms.push_back(std::move(ff));
    }
    for (int g = 0; g < model.ExtGroups->Count(); ++g) {
        const TLResExtGroupItem* group = model.ExtGroups->Items(g);
        TLFGroup fg{group->Name, 0, {}};
        for (int e = 0; e < group->Externals->Count(); ++e)
            fg.Externals.push_back(RecordOf(group->Externals->Items(e), langIndex));
        img.Groups.push_back(std::move(fg));
    }
    return img;
}

}  // namespace langres

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "Command.h"
#include "framework/Classes.h"

namespace vtploc {

std::vector<Registrar>& Registrars() {
    static std::vector<Registrar> r;
    return r;
}

CommandGroup::CommandGroup(Registrar r) {
    Registrars().push_back(r);
}

void WriteOutput(const std::string& fileName, const std::vector<uint8_t>& data) {
    fw::WriteFileAtomically(fileName, data.data(), data.size());
}

std::vector<uint8_t> ReadInput(const std::string& fileName) {
    return fw::ReadFileBytes(fileName);
}

CLI::App* Group(CLI::App& app, const std::string& name, const std::string& description) {
    try {
        CLI::App* g = app.get_subcommand(name);
        g->description(description);
        return g;
    } catch (const CLI::OptionNotFound&) {
        CLI::App* g = app.add_subcommand(name, description);
        g->require_subcommand(1);
        return g;
    }
}

std::optional<uint32_t> SourceDateEpoch() {
    const char* v = std::getenv("SOURCE_DATE_EPOCH");
    if (!v || !*v) return std::nullopt;
    char* end = nullptr;
    unsigned long long seconds = std::strtoull(v, &end, 10);
    if (*end != '\0' || *v == '-' || seconds > 0xFFFFFFFFull)
        throw UsageError(std::string("SOURCE_DATE_EPOCH must be a number of seconds from 0 to 4294967295, not \"") + v +
                         "\"");
    return static_cast<uint32_t>(seconds);
}

}  // namespace vtploc

int main(int argc, char** argv) {
    CLI::App app{"vtploc: language files, LZK blocks, PE resources and form streams of the localizer"};
    app.require_subcommand(1);
    for (auto r : vtploc::Registrars()) r(app);
    // One exit status for every failure, as gettext's tools have: 1 for a bad command line, bad
    // input or a failed check.
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "vtploc: %s\n", e.what());
        return 1;
    } catch (const vtploc::InputError& e) {
        std::fprintf(stderr, "vtploc: %s\n", e.what());
        return 1;
    } catch (const vtploc::UsageError& e) {
        std::fprintf(stderr, "vtploc: %s\n", e.what());
        return 1;
    } catch (const fw::Exception& e) {
        std::fprintf(stderr, "vtploc: %s\n", e.Message().c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vtploc: %s\n", e.what());
        return 1;
    }
    return 0;
}

// Command groups of vtploc register themselves here (one *_cmd.cpp per group).
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vtploc {

using Registrar = void (*)(CLI::App& app);

struct CommandGroup {
    explicit CommandGroup(Registrar r);
};

std::vector<Registrar>& Registrars();

// A failure the user caused or can mend: one line "vtploc: <message>", exit status 1.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A missing, cut or damaged input (translator-facing commands): one line naming the file and
// what is wrong, exit status 1, nothing written.
struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The command group of that name, made on first use (several files add commands to "lng").
CLI::App* Group(CLI::App& app, const std::string& name, const std::string& description);

// Writes the whole output under a temporary name and renames it: nothing half-written is left.
void WriteOutput(const std::string& fileName, const std::vector<uint8_t>& data);
std::vector<uint8_t> ReadInput(const std::string& fileName);

// SOURCE_DATE_EPOCH, when set, replaces the clock in the headers of modules this tool writes,
// so builds can be reproduced byte for byte. UsageError when it is not a 32-bit number.
std::optional<uint32_t> SourceDateEpoch();

}  // namespace vtploc

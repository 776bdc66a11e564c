// Checks of a translated resource module against its program, as `vtploc module verify` reports
// them: whether the program would take the module, and what it lacks.
#pragma once

#include <string>
#include <vector>

namespace resources {

struct TModuleCheck {
    // The report, one line each, in order; the last one says "accepted" or "complete" when it is.
    std::vector<std::string> Lines;
    bool Accepted = false;
    // Why not, when not accepted (one line, naming the module).
    std::string Verdict;
};

// A program with settings records (our own): whether it would load the module (revision) and
// which strings and forms the module lacks. A program without them (built with the framework's
// own tools): whether the module is complete (every string in every language, every form, every
// other resource byte for byte with its name and language) and whether every form reads, also
// with the program's own form reader (ProgramFormReader: a value of a kind it does not take is
// named with its form and item). Errors of reading either file propagate.
TModuleCheck CheckModule(const std::string& programFile, const std::string& moduleFile);

// What a module written for a program without settings records holds.
struct TModuleContents {
    int Strings = 0;  // texts, in every language
    int Forms = 0;
    int Other = 0;  // other resources (RCDATA other than forms and the settings record included)
};
TModuleContents CountModule(const std::string& moduleFile);

}  // namespace resources

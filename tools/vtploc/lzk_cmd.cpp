// vtploc lzk compress|decompress IN OUT: LZK blocks as the language files and the embedded
// language container store them.
#include <string>
#include <vector>

#include "Command.h"
#include "framework/Classes.h"
#include "localizer/kutils/kcompress.h"

namespace vtploc {
namespace {

struct LzkArgs {
    std::string in, out;
};

void Compress(const LzkArgs& a) {
    std::vector<uint8_t> data = ReadInput(a.in);
    WriteOutput(a.out, kutils::LzkCompress(data));
}

void Decompress(const LzkArgs& a) {
    std::vector<uint8_t> block = ReadInput(a.in);
    fw::TBytesStream probe(block.data(), static_cast<int64_t>(block.size()));
    if (!kutils::IsCompressedStream(probe))
        throw UsageError("\"" + a.in + "\" is not an LZK block (it does not start with \"LZK00\")");
    WriteOutput(a.out, kutils::LzkDecompress(block));
}

void Register(CLI::App& app) {
    CLI::App* lzk = app.add_subcommand("lzk", "Compress or restore LZK blocks");
    lzk->require_subcommand(1);
    auto args = std::make_shared<LzkArgs>();
    auto add = [&](const char* name, const char* help, void (*run)(const LzkArgs&)) {
        CLI::App* c = lzk->add_subcommand(name, help);
        c->add_option("IN", args->in, "input file")->required();
        c->add_option("OUT", args->out, "output file")->required();
        c->callback([args, run] { run(*args); });
    };
    add("compress", "Compress IN into an LZK block OUT", Compress);
    add("decompress", "Restore the data of the LZK block IN into OUT", Decompress);
}

CommandGroup registered(Register);

}  // namespace
}  // namespace vtploc

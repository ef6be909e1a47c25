// convert's options and its batch, which watch shares: a file saved while
// watching is converted as convert converts it, with the same options.
#pragma once

#include "cli/kgfconv_jobs.h"
#include "cli/kgfconv_quality_flags.h"
#include "cli/kgfconv_tree.h"
#include "convert/batch_plan.h"
#include "convert/convert.h"

#include <functional>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
} // namespace CLI

struct convert_options {
    std::string to;
    std::string from = "auto";
    std::string output_dir;
    bool output_dir_given = false;
    int levels = -1; // -1: the stored setting
    int bpp = -1;
    int mipmaps = -1;
    std::string suffix;
    bool suffix_given = false;
    // Quality choices: 1 on, 0 off, -1 the stored setting.
    int dither = -1;
    int srgb_mips = -1;
    int alpha_mips = -1;
    bool yes = false;
    bool quiet = false;
    int jobs = 0; // 0: one per core
    bool recursive = false;
    std::vector<std::string> files;
};

// The options whose presence, not only their value, counts.
struct convert_flags {
    CLI::Option* output_dir = nullptr;
    CLI::Option* suffix = nullptr;
    CLI::Option* all_levels = nullptr;
    CLI::Option* first_level = nullptr;
    quality_flags quality{};
};

// Adds convert's options (not its files) to the command; recursive_help is
// what -r says there.
convert_flags add_convert_options(CLI::App& command, convert_options& options,
                                  const char* recursive_help);

// Takes what the flags say into the options, once the line is accepted.
void read_convert_flags(const convert_flags& flags, convert_options& options);

file_type type_named(const std::string& type);

// The stored settings with the options given on the command line.
conversion_options batch_options(const convert_options& options);

// The output folder in its 256-byte text, ending in a separator; false after
// naming it when it is too long.
bool output_folder_text(const convert_options& options, char (&folder)[path_bytes]);

// Says that convert writes no animation: the "Sorry" message and where
// animations are written.
void refuse_kaf_output();

// -j's default.
int default_jobs();

// One file's conversion as the batch does it, with the journal given.
using convert_step = std::function<job_outcome(output_journal* journal)>;

// What a batch's caller adds around each file (on a worker thread), and
// what it does as each file is finished in turn.
struct convert_batch_hooks {
    std::function<job_outcome(int index, output_journal* journal, const convert_step& step)> around;
    job_done done;
};

// The plan of converting the items to the type to.
batch_plan plan_items(const convert_list& list, file_type to);

// Carries out a plan as convert does, on threads, and returns the number
// of files that failed. Every input of the run must be in inputs beforehand.
int convert_items(const batch_plan& plan, const conversion_options& options, run_inputs& inputs,
                  int threads, const convert_batch_hooks& hooks);

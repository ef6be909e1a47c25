// kgf_speed: how long kgfconv takes over a batch, as a user runs it, next to
// cp of the same files. Builds smooth, photo-like TGA files (and KGF files
// from them) in a temporary folder, runs cp, kgfconv and ImageMagick when
// installed in alternation, and prints the medians as a Markdown table with
// the machine they came from. No figure is judged here but against the goals
// printed beside it.
#include "speed_frame.h"
#include "speed_inputs.h"
#include "speed_machine.h"
#include "speed_process.h"
#include "speed_rounds.h"
#include "speed_setup.h"
#include "speed_stats.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char usage[] =
    "usage: kgf_speed [--runs N] [--files N] [--side N] [--big-side N] [KGFCONV]\n"
    "  KGFCONV      the kgfconv to measure (default: the one built beside this program)\n"
    "  --runs N     timed runs of each program, alternating (default 9; publish 7 or more)\n"
    "  --files N    pictures in the batch (default 200)\n"
    "  --side N     their width and height, 16 to 4096 (default 256)\n"
    "  --big-side N the single large picture's width and height, 16 to 8192 (default 4096)\n";

struct speed_options {
    int runs = 9;
    int files = 200;
    int side = 256;
    int big_side = 4096;
    std::string kgfconv;
};

std::vector<std::string> joined(std::vector<std::string> head,
                                const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

command copy_command(const std::vector<std::string>& inputs, const std::string& output) {
    command c;
    c.name = "cp";
    c.processes.push_back(joined({"cp"}, inputs));
    c.processes.back().push_back(output);
    c.outputs = static_cast<int>(inputs.size());
    return c;
}

// kgfconv with the given options, at its default -j and with -j 1 when asked.
std::vector<command> kgfconv_commands(const std::string& kgfconv,
                                      const std::vector<std::string>& options,
                                      const std::vector<std::string>& inputs,
                                      const std::string& output, int outputs, bool with_one_job) {
    std::vector<std::string> head = joined({kgfconv, "convert"}, options);
    head.insert(head.end(), {"--quiet", "-o", output});
    std::vector<command> commands;
    commands.push_back({"kgfconv", {joined(head, inputs)}, outputs});
    if (with_one_job) {
        head.insert(head.end(), {"-j", "1"});
        commands.push_back({"kgfconv -j 1", {joined(head, inputs)}, outputs});
    }
    return commands;
}

// ImageMagick's TGA to 24-bit TGA over the batch: mogrify in one process, or
// convert once per file. Nothing when neither is installed.
bool imagemagick_command(const std::vector<std::string>& inputs, const std::string& output,
                         command& c) {
    const char* mogrify = "/usr/bin/mogrify-im6.q16";
    const char* convert = "/usr/bin/convert-im6.q16";
    c.outputs = static_cast<int>(inputs.size());
    if (access(mogrify, X_OK) == 0) {
        c.name = "ImageMagick mogrify";
        c.processes.push_back(joined({mogrify, "-path", output, "-alpha", "off"}, inputs));
        return true;
    }
    if (access(convert, X_OK) != 0)
        return false;
    c.name = "ImageMagick convert";
    for (const std::string& input : inputs)
        c.processes.push_back(
            {convert, input, "-alpha", "off", output + "/" + fs::path(input).filename().string()});
    return true;
}

bool make_inputs(const speed_options& options, const bench_folders& folders,
                 std::vector<std::string>& tga_files, std::vector<std::string>& kgf_files,
                 std::string& big_file) {
    std::error_code error;
    for (const char* name : {"tga", "kgf", "big", "config"})
        fs::create_directory(folders.root + "/" + name, error);
    std::fprintf(stderr, "making %d pictures of %d x %d and one of %d x %d\n", options.files,
                 options.side, options.side, options.big_side, options.big_side);
    for (int i = 0; i < options.files; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "photo%03d", i + 1);
        const std::string tga = folders.root + "/tga/" + name + ".tga";
        if (!write_photo_tga(tga,
                             make_photo(options.side, options.side, static_cast<uint32_t>(i)))) {
            std::fprintf(stderr, "kgf_speed: cannot write %s\n", tga.c_str());
            return false;
        }
        tga_files.push_back(tga);
        kgf_files.push_back(folders.root + "/kgf/" + name + ".kgf");
    }
    big_file = folders.root + "/big/big.tga";
    if (!write_photo_tga(big_file, make_photo(options.big_side, options.big_side, 9999))) {
        std::fprintf(stderr, "kgf_speed: cannot write %s\n", big_file.c_str());
        return false;
    }
    // The KGF inputs come from kgfconv itself, outside any timing.
    const std::vector<std::string> make_kgf =
        joined({options.kgfconv, "convert", "--to", "kgf", "--levels", "5", "--quiet", "-o",
                folders.root + "/kgf"},
               tga_files);
    const process_run run = run_process(make_kgf, folders.log);
    if (!run.started || run.exit_status != 0 ||
        files_in(folders.root + "/kgf") != static_cast<size_t>(options.files)) {
        std::fprintf(stderr, "kgf_speed: %s did not make the KGF inputs:\n",
                     options.kgfconv.c_str());
        show_log(folders.log);
        return false;
    }
    return true;
}

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

void print_rows(const work& w, const std::vector<figures>& measured) {
    const double copy = median(measured[0].milliseconds);
    for (size_t i = 0; i < w.programs.size(); ++i) {
        const figures& f = measured[i + 1];
        const double ms = median(f.milliseconds);
        const double ratio = copy > 0 ? ms / copy : 0;
        const double peak_mib = f.peak_kib / 1024.0;
        std::string goal;
        if (w.goal_to_first && i == 1) {
            const double first = median(measured[1].milliseconds);
            const double to_first = first > 0 ? ms / first : 0;
            goal = format("%.2f", to_first) + " × " + w.programs[0].name +
                   format(", ≤ %.1f", w.goal_ratio) +
                   (to_first <= w.goal_ratio ? ": met" : ": missed");
        } else if (i == 0 && !w.goal_to_first) {
            const bool met =
                ratio <= w.goal_ratio && (w.goal_peak_mib == 0 || peak_mib <= w.goal_peak_mib);
            goal = format("≤ %.1f", w.goal_ratio);
            if (w.goal_peak_mib > 0)
                goal += format(", ≤ %.0f MiB", w.goal_peak_mib);
            goal += met ? ": met" : ": missed";
        }
        std::printf("| %s | %s | %.1f | %.1f | %.2f | %s | %.1f |\n", i == 0 ? w.title.c_str() : "",
                    w.programs[i].name.c_str(), ms, copy, ratio, goal.c_str(), peak_mib);
    }
}

} // namespace

int main(int argc, char** argv) {
    speed_options options;
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (!read_bench_options(argc, argv,
                            {{"--runs", &options.runs, 1, 99},
                             {"--files", &options.files, 1, 999},
                             {"--side", &options.side, 16, 4096},
                             {"--big-side", &options.big_side, 16, 8192}},
                            options.kgfconv)) {
        std::fputs(usage, stderr);
        return 2;
    }
    if (options.kgfconv.empty())
        options.kgfconv = default_kgfconv();
    if (options.kgfconv.find('/') != std::string::npos && access(options.kgfconv.c_str(), X_OK)) {
        std::fprintf(stderr, "kgf_speed: no kgfconv at %s (build the native preset, or name one)\n",
                     options.kgfconv.c_str());
        return 2;
    }
    catch_stop_signals();
    scratch_folder scratch;
    if (!make_scratch_folder(scratch, "kgf-speed")) {
        std::fprintf(stderr, "kgf_speed: cannot make a temporary folder\n");
        return 1;
    }
    const bench_folders folders = {scratch.path, scratch.path + "/out", scratch.path + "/err.txt"};
    // The user's stored settings stay out of it: every run sees none.
    set_child_environment({"XDG_CONFIG_HOME=" + scratch.path + "/config"});

    std::vector<std::string> tga_files;
    std::vector<std::string> kgf_files;
    std::string big_file;
    if (!make_inputs(options, folders, tga_files, kgf_files, big_file))
        return 1;

    const machine_facts machine = describe_machine(scratch.path);
    const std::string load_before = load_average();
    const std::string kgfconv = options.kgfconv;
    const std::string& out = folders.output;
    const int n = options.files;
    const std::string batch = std::to_string(n) + " files " + std::to_string(options.side) + " × " +
                              std::to_string(options.side);

    std::vector<work> works(4);
    works[0].title = "TGA → TGA 24 bits, " + batch;
    works[0].goal_ratio = 1.5;
    works[0].copy = copy_command(tga_files, out);
    works[0].programs =
        kgfconv_commands(kgfconv, {"--to", "tga", "--bpp", "24"}, tga_files, out, n, true);
    command imagemagick;
    if (imagemagick_command(tga_files, out, imagemagick))
        works[0].programs.push_back(imagemagick);

    works[1].title = "TGA → KGF 5 levels, " + batch;
    works[1].goal_ratio = 2.5;
    works[1].copy = copy_command(tga_files, out);
    works[1].programs =
        kgfconv_commands(kgfconv, {"--to", "kgf", "--levels", "5"}, tga_files, out, n, true);

    works[2].title = "KGF → TGA all levels 32 bits, " + batch;
    works[2].goal_ratio = 2;
    works[2].copy = copy_command(kgf_files, out);
    works[2].programs =
        kgfconv_commands(kgfconv, {"--to", "tga", "--all-levels", "--bpp", "32", "--suffix", "_MM"},
                         kgf_files, out, 5 * n, true);

    works[3].title = "TGA → KGF 5 levels, one file " + std::to_string(options.big_side) + " × " +
                     std::to_string(options.big_side);
    works[3].goal_ratio = 4;
    works[3].goal_peak_mib = 110;
    works[3].copy = copy_command({big_file}, out);
    works[3].programs =
        kgfconv_commands(kgfconv, {"--to", "kgf", "--levels", "5"}, {big_file}, out, 1, false);

    // The quality options against the plain conversion, both on one core.
    works.push_back({});
    works[4].title = "TGA → KGF 5 levels --best, " + batch;
    works[4].goal_ratio = 2;
    works[4].goal_to_first = true;
    works[4].copy = copy_command(tga_files, out);
    works[4].programs = {kgfconv_commands(kgfconv, {"--to", "kgf", "--levels", "5", "-j", "1"},
                                          tga_files, out, n, false)[0],
                         kgfconv_commands(kgfconv,
                                          {"--to", "kgf", "--levels", "5", "--best", "-j", "1"},
                                          tga_files, out, n, false)[0]};
    works[4].programs[0].name = "kgfconv -j 1";
    works[4].programs[1].name = "kgfconv --best -j 1";

    std::vector<std::vector<figures>> measured(works.size());
    for (size_t i = 0; i < works.size(); ++i)
        if (!measure(works[i], options.runs, folders, measured[i])) {
            if (stop_requested())
                std::fprintf(stderr, "\nkgf_speed: stopped\n");
            return stop_requested() ? 130 : 1;
        }

    std::fprintf(stderr, "timing the preview's frame decoding\n");
    const frame_timing frame = time_frame_decode(128, 5);
    if (!frame.ok) {
        std::fprintf(stderr, "kgf_speed: %s\n", frame.failure.c_str());
        return 1;
    }

    std::printf("Machine: %ld cores (nproc), %s, %s of memory\n", machine.cores,
                machine.cpu.c_str(), machine.memory.c_str());
    std::printf("Temporary folder: %s\n", machine.file_system.c_str());
    std::printf("Date: %s; load average (1 minute) %s before, %s after\n", machine.date.c_str(),
                load_before.c_str(), load_average().c_str());
    std::printf("Medians of %d runs of each program after one untimed run, cp and the programs "
                "in turn; each run writes into a fresh, empty folder\n\n",
                options.runs);
    std::printf("| work | program | ms | cp ms | × cp | goal | peak MiB |\n");
    std::printf("|---|---|--:|--:|--:|---|--:|\n");
    for (size_t i = 0; i < works.size(); ++i)
        print_rows(works[i], measured[i]);
    std::printf("\nPreview: locate_kaf_frame and decode_kaf_frame of a %d × %d KAF frame "
                "(%d levels), %.1f µs per frame (median of %d batches of %d)\n",
                frame.side, frame.side, frame.levels, frame.microseconds, frame.batches,
                frame.frames_per_batch);
    return 0;
}

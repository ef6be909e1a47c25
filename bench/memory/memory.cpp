// kgf_memory: the peak memory of kgfconv over one batch at several -j, as
// ratios to its peak at -j 1 measured in the same run. The batch is one
// large picture followed by many smaller ones, converted to 32-bit TGA: the
// large one is slow to finish, so the workers behind it run ahead and hold
// their outputs until its turn. No figure is judged here but against the
// goal printed beside it.
#include "../speed/speed_inputs.h"
#include "../speed/speed_process.h"
#include "../speed/speed_setup.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char usage[] =
    "usage: kgf_memory [--files N] [--side N] [--big-side N] [KGFCONV]\n"
    "  KGFCONV      the kgfconv to measure (default: the one built beside this program)\n"
    "  --files N    smaller pictures in the batch (default 40)\n"
    "  --side N     their width and height, 16 to 4096 (default 2048)\n"
    "  --big-side N the first, large picture's width and height, 16 to 8192 (default 4096)\n";

struct memory_options {
    int files = 40;
    int side = 2048;
    int big_side = 4096;
    std::string kgfconv;
};

// The -j measured; the goal is for the last.
constexpr int job_counts[] = {1, 2, 8};
constexpr double goal_ratio = 5.0;

// The batch in the order given: the large picture first.
bool write_inputs(const memory_options& options, const std::string& folder,
                  std::vector<std::string>& inputs) {
    const std::string big = folder + "/a-big.tga";
    if (!write_photo_tga(big, make_photo(options.big_side, options.big_side, 1)))
        return false;
    inputs.push_back(big);
    for (int i = 0; i < options.files; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/p%03d.tga", i + 1);
        const std::string path = folder + name;
        if (!write_photo_tga(path, make_photo(options.side, options.side, 2 + i)))
            return false;
        inputs.push_back(path);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    memory_options options;
    if (!read_bench_options(argc, argv,
                            {{"--files", &options.files, 1, 999},
                             {"--side", &options.side, 16, 4096},
                             {"--big-side", &options.big_side, 16, 8192}},
                            options.kgfconv)) {
        std::fputs(usage, stderr);
        return 2;
    }
    if (options.kgfconv.empty())
        options.kgfconv = default_kgfconv();
    catch_stop_signals();
    scratch_folder scratch;
    if (!make_scratch_folder(scratch, "kgf-memory")) {
        std::fprintf(stderr, "kgf_memory: no temporary folder\n");
        return 1;
    }
    set_child_environment({"XDG_CONFIG_HOME=" + scratch.path + "/config"});
    std::vector<std::string> inputs;
    if (!write_inputs(options, scratch.path, inputs)) {
        std::fprintf(stderr, "kgf_memory: the pictures could not be written\n");
        return 1;
    }

    std::printf("Batch: one %d x %d picture, then %d of %d x %d, to 32-bit TGA\n\n",
                options.big_side, options.big_side, options.files, options.side, options.side);
    std::printf("| -j | peak MiB | ratio to -j 1 |\n|---:|---:|---:|\n");
    long baseline = 0;
    double last_ratio = 0;
    for (const int jobs : job_counts) {
        const std::string output = scratch.path + "/out";
        std::vector<std::string> arguments = {
            options.kgfconv,      "convert", "--to", "tga", "--bpp", "32", "--quiet", "-j",
            std::to_string(jobs), "-o",      output};
        arguments.insert(arguments.end(), inputs.begin(), inputs.end());
        const process_run run = run_process(arguments, scratch.path + "/log.txt");
        if (stop_requested())
            return 1;
        if (!run.started || run.exit_status != 0) {
            std::fprintf(stderr, "kgf_memory: kgfconv -j %d failed\n", jobs);
            if (FILE* log = std::fopen((scratch.path + "/log.txt").c_str(), "r")) {
                char line[512];
                while (std::fgets(line, sizeof line, log) != nullptr)
                    std::fputs(line, stderr);
                std::fclose(log);
            }
            return 1;
        }
        if (baseline == 0)
            baseline = run.peak_kib > 0 ? run.peak_kib : 1;
        last_ratio = static_cast<double>(run.peak_kib) / static_cast<double>(baseline);
        std::printf("| %d | %.1f | %.2f |\n", jobs, static_cast<double>(run.peak_kib) / 1024.0,
                    last_ratio);
        std::error_code error;
        fs::remove_all(output, error);
    }
    std::printf("\nGoal: the peak at -j %d at most %.0f times the peak at -j 1 (%s).\n",
                job_counts[sizeof job_counts / sizeof job_counts[0] - 1], goal_ratio,
                last_ratio <= goal_ratio ? "met" : "not met");
    return 0;
}

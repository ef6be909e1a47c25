// Properties of a batch's plan: each job is decided from the inputs before
// it alone, so a list's plan is its jobs planned one by one in order; and a
// plan carried out on real files never writes over another input of the run
// nor writes one file twice. Expectations are written out here from the
// names, never taken from the code under test.
#include "convert/batch_plan.h"
#include "convert/convert.h"
#include "support/core_support.h"
#include "support/file_support.h"
#include "support/sample_files.h"

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const folders[] = {"in", "out", "in/deep"};
const char* const names[] = {"a", "b"};
const char* const endings[] = {".tga", ".kgf", ".png", ".kaf", ".bmp"};
const file_type ending_types[] = {file_type::tga, file_type::kgf, file_type::png, file_type::kaf,
                                  file_type::none};
const std::string too_long = "out/" + std::string(260, 'x');

struct listed {
    int folder, name, ending, output, state;
};

void showValue(const listed& l, std::ostream& out) {
    out << folders[l.folder] << "/" << names[l.name] << endings[l.ending] << " to "
        << (l.output < 3 ? folders[l.output] : "a folder too long") << ", state " << l.state;
}

rc::Gen<listed> listed_inputs() {
    return rc::gen::construct<listed>(
        rc::gen::inRange(0, 3), rc::gen::inRange(0, 2), rc::gen::inRange(0, 5),
        rc::gen::inRange(0, 4), // the three folders, or one too long
        rc::gen::weightedElement<int>({{12, 0}, {1, 1}, {1, 2}, {1, 3}}));
}

batch_input input_of(const listed& l) {
    batch_input input;
    input.path = std::string(folders[l.folder]) + "/" + names[l.name] + endings[l.ending];
    input.type = ending_types[l.ending];
    input.output_dir = l.output < 3 ? folders[l.output] : too_long;
    input.state = static_cast<input_state>(l.state);
    return input;
}

bool same_job(const batch_job& a, const batch_job& b) {
    return a.input == b.input && a.action == b.action && a.from == b.from && a.to == b.to &&
           a.folder == b.folder && a.verdict == b.verdict && a.after_earlier == b.after_earlier;
}

} // namespace

RC_GTEST_PROP(BatchPlan, EachJobIsDecidedByTheInputsBeforeIt, ()) {
    scratch_folder scratch; // the names are never made: only compared
    current_folder_change inside(scratch.path);
    const size_t count = *rc::gen::inRange<size_t>(1, 12);
    const auto list = *rc::gen::container<std::vector<listed>>(count, listed_inputs());
    const file_type to = *rc::gen::element(file_type::kgf, file_type::tga, file_type::png);
    std::vector<batch_input> inputs;
    for (const listed& l : list)
        inputs.push_back(input_of(l));
    const batch_plan whole = plan_batch(inputs, to);
    RC_ASSERT(whole.jobs.size() == inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::vector<batch_input> before(inputs.begin(), inputs.begin() + long(i) + 1);
        const batch_plan in_turn = plan_batch(before, to);
        RC_ASSERT(same_job(in_turn.jobs[i], whole.jobs[i]));
        RC_ASSERT(std::equal(in_turn.output_folders.begin(), in_turn.output_folders.end(),
                             whole.output_folders.begin()));

        const listed& l = list[i];
        const batch_job& job = whole.jobs[i];
        // A file waits when an earlier job's output folder is its own.
        bool written_before = false;
        for (size_t j = 0; j < i; ++j)
            written_before = written_before || (list[j].output < 3 && list[j].output == l.folder);
        RC_ASSERT(job.after_earlier == written_before);
        // What happens to it: the front end's finding first, then the pair,
        // then the folder.
        const job_verdict by_state[] = {job_verdict::convert, job_verdict::is_folder,
                                        job_verdict::missing, job_verdict::unreadable};
        const bool convertible = ending_types[l.ending] != file_type::none;
        job_verdict expected = by_state[l.state];
        if (expected == job_verdict::convert && !convertible)
            expected = job_verdict::no_conversion;
        else if (expected == job_verdict::convert && l.output == 3)
            expected = job_verdict::folder_too_long;
        RC_ASSERT(job.verdict == expected);
        RC_ASSERT(job.folder.empty() == (l.output == 3));
        if (convertible) {
            const conversion_pair pair = pair_of(job.action);
            RC_ASSERT(pair.from == ending_types[l.ending]);
            RC_ASSERT(pair.to == to);
        }
    }
}

namespace {

// What a folder tree holds: each file's bytes and the time it was written.
using tree_state = std::map<std::string, std::pair<std::vector<uint8_t>, fs::file_time_type>>;

tree_state state_of(const std::string& root) {
    tree_state state;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            state[entry.path().lexically_relative(root).generic_string()] = {
                read_file_bytes(entry.path().string()), entry.last_write_time()};
    return state;
}

// The files a job made or changed.
std::vector<std::string> changed(const tree_state& before, const tree_state& after) {
    std::vector<std::string> out;
    for (const auto& [name, content] : after) {
        const auto was = before.find(name);
        if (was == before.end() || was->second != content)
            out.push_back(name);
    }
    return out;
}

// Real inputs whose outputs meet: a.tga, a.kgf and a.png beside each
// other, the same names in the output folder, and an animation whose
// frames are named a and b.
void write_inputs(const scratch_folder& scratch) {
    fs::create_directories(scratch.file("in"));
    fs::create_directories(scratch.file("out"));
    const image_buffer picture = pattern_image(4, 4, 32, 1);
    const image_buffer frame = pattern_image(4, 4, 16, 2);
    write_tga_file(scratch.file("in/a.tga"), picture);
    write_tga_file(scratch.file("out/a.tga"), picture);
    write_tga_file(scratch.file("in/b.tga"), picture);
    write_kgf_file(scratch.file("in/a.kgf"), "a.kgf", frame, 3);
    write_kgf_file(scratch.file("out/b.kgf"), "b.kgf", frame, 1);
    write_file_bytes(scratch.file("in/f.kaf"),
                     kaf_file({kaf_frame("a", frame, 4), kaf_frame("b", frame, 4)}));
}

const char* const real_inputs[] = {"in/a.tga", "out/a.tga", "in/b.tga",
                                   "in/a.kgf", "out/b.kgf", "in/f.kaf"};
const file_type real_types[] = {file_type::tga, file_type::tga, file_type::tga,
                                file_type::kgf, file_type::kgf, file_type::kaf};

} // namespace

RC_GTEST_PROP(BatchPlan, CarriedOutItNeverWritesOverAnInputNorOneFileTwice, ()) {
    scratch_folder scratch;
    current_folder_change inside(scratch.path);
    write_inputs(scratch);
    const size_t count = *rc::gen::inRange<size_t>(1, 8);
    const auto picks = *rc::gen::container<std::vector<std::pair<int, int>>>(
        count, rc::gen::pair(rc::gen::inRange(0, 6), rc::gen::inRange(0, 2)));
    const file_type to = *rc::gen::element(file_type::kgf, file_type::tga, file_type::png);
    conversion_options options;
    options.kgf_levels_read = *rc::gen::element(kgf_levels::first_only, kgf_levels::from_file);
    options.long_names = long_name_answer::write;

    std::vector<batch_input> inputs;
    for (const auto& [file, folder] : picks) {
        batch_input input;
        input.path = real_inputs[file];
        input.type = real_types[file];
        input.output_dir = folder == 0 ? "in" : "out";
        inputs.push_back(input);
    }
    const batch_plan plan = plan_batch(inputs, to);
    run_inputs run;
    add_plan_inputs(run, plan);

    std::map<std::string, size_t> written_by; // file -> the job that wrote it
    tree_state before = state_of(scratch.path);
    for (size_t i = 0; i < plan.jobs.size(); ++i) {
        const batch_job& job = plan.jobs[i];
        RC_ASSERT(job.verdict == job_verdict::convert);
        recording_sink found;
        conversion_request request;
        request.from = job.from;
        request.to = job.to;
        request.input = job.input.c_str();
        request.folder = job.folder;
        request.options = options;
        request.inputs = &run;
        request.sink = found.sink();
        convert_file(request);
        const tree_state after = state_of(scratch.path);
        for (const std::string& name : changed(before, after)) {
            // An input of the run changes only when it is converted to its
            // own type in place.
            for (const char* input : real_inputs) {
                const bool picked = std::any_of(inputs.begin(), inputs.end(),
                                                [&](auto& in) { return in.path == input; });
                if (picked && name == input)
                    RC_ASSERT(job.input == input && job.from == job.to);
            }
            const auto [earlier, first] = written_by.emplace(name, i);
            RC_ASSERT(first);
        }
        before = after;
    }
}

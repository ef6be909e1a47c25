#include "convert/batch_plan.h"

#include "convert/output_names.h"
#include "formats/limits.h"
#include "platform/files.h"

#include <filesystem>
#include <map>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// A folder as the system tells it from others, looked up once each: a tree
// has many files a folder.
class folder_identities {
  public:
    const fs::path& of(const fs::path& folder) {
        auto found = known_.find(folder);
        if (found == known_.end())
            found = known_.emplace(folder, look_up(folder)).first;
        return found->second;
    }

  private:
    static fs::path look_up(const fs::path& folder) {
        std::error_code error;
        fs::path absolute = fs::absolute(folder.empty() ? fs::path(".") : folder, error);
        if (error)
            return folder;
        // "out/" and "out" are one folder, whether it is there yet or not.
        if (!absolute.has_filename() && absolute.has_relative_path())
            absolute = absolute.parent_path();
        fs::path canonical = fs::weakly_canonical(absolute, error);
        return error ? absolute.lexically_normal() : canonical;
    }
    std::map<fs::path, fs::path> known_;
};

job_verdict verdict_of(const batch_input& input, batch_action action, const std::string& folder) {
    switch (input.state) {
    case input_state::folder:
        return job_verdict::is_folder;
    case input_state::unreadable:
        return job_verdict::unreadable;
    case input_state::missing:
        return job_verdict::missing;
    case input_state::file:
        break;
    }
    if (pair_of(action).from == file_type::none)
        return job_verdict::no_conversion;
    if (folder.empty())
        return job_verdict::folder_too_long;
    return job_verdict::convert;
}

} // namespace

batch_plan plan_batch(const std::vector<batch_input>& inputs, file_type to) {
    batch_plan plan;
    plan.jobs.reserve(inputs.size());
    folder_identities identities;
    std::set<fs::path> earlier_output_folders;
    std::set<std::string> folders_named;
    for (const batch_input& input : inputs) {
        batch_job job;
        job.input = input.path;
        job.reason = input.reason;
        job.output_dir = input.output_dir;
        job.action = action_of(input.type, to);
        job.from = input.type;
        job.to = to;
        const std::string folder = folder_with_separator(input.output_dir);
        if (folder.size() + 1 <= static_cast<size_t>(path_bytes))
            job.folder = folder;
        job.verdict = verdict_of(input, job.action, job.folder);
        job.after_earlier =
            earlier_output_folders.count(identities.of(text_path(input.path).parent_path())) != 0;
        if (!job.folder.empty()) {
            earlier_output_folders.insert(identities.of(text_path(job.folder)));
            if (folders_named.insert(job.folder).second)
                plan.output_folders.push_back(job.folder);
        }
        plan.jobs.push_back(std::move(job));
    }
    return plan;
}

int jobs_with_a_type(const batch_plan& plan) {
    int count = 0;
    for (const batch_job& job : plan.jobs)
        if (job.verdict != job_verdict::no_conversion)
            ++count;
    return count;
}

void add_plan_inputs(run_inputs& run, const batch_plan& plan) {
    for (const batch_job& job : plan.jobs)
        if (job.verdict != job_verdict::is_folder)
            add_run_input(run, job.input);
}

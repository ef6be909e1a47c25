#include "routines/batch.h"

#include "convert/batch_plan.h"
#include "convert/convert.h"
#include "formats/output_file.h"
#include "platform/message.h"
#include "routines/conversion.h"
#include "routines/messages.h"
#include "settings/settings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

char format_descriptions[format_count][description_bytes] = {};
char input_type_text[description_bytes] = {};
char output_type_text[description_bytes] = {};
bool cancel_requested = false;

namespace {

enum { kaf_type = 0, kgf_type = 1, tga_type = 2, png_type = 3 };

void set_text(char* field, const char* text) {
    std::snprintf(field, description_bytes, "%s", text);
}

format_texts process_descriptions() {
    return {format_descriptions[kaf_type], format_descriptions[kgf_type],
            format_descriptions[tga_type], format_descriptions[png_type]};
}

// In the dialog a file shows at most one message: the first failure, such as
// the first output that cannot be created, and not one more for each mip
// level or frame that follows. Questions are always asked.
thread_local message_handler handler_around_file = nullptr;
thread_local bool file_message_shown = false;

int first_message_of_file(const char* text, const char* caption, unsigned style) {
    const bool question = (style & message_yes_no) != 0;
    if (!question) {
        if (file_message_shown)
            return answer_ok;
        file_message_shown = true;
    }
    set_message_handler(handler_around_file);
    const int answer = show_message(text, caption, style);
    set_message_handler(first_message_of_file);
    return answer;
}

struct one_message_per_file {
    one_message_per_file() {
        handler_around_file = current_message_handler();
        file_message_shown = false;
        set_message_handler(first_message_of_file);
    }
    ~one_message_per_file() { set_message_handler(handler_around_file); }
    one_message_per_file(const one_message_per_file&) = delete;
    one_message_per_file& operator=(const one_message_per_file&) = delete;
};

} // namespace

void init_format_descriptions() {
    set_text(format_descriptions[kaf_type], "Kalvora Animation File (*.kaf)");
    set_text(format_descriptions[kgf_type], "Kalvora Graphics File (*.kgf)");
    set_text(format_descriptions[tga_type], "Truevision Targa (*.tga)");
    set_text(format_descriptions[png_type], "Portable Network Graphics (*.png)");
}

int count_selection_names(const char* buffer, size_t size, size_t name_offset) {
    if (buffer == nullptr || name_offset >= size)
        return 0;
    int count = 1;
    for (size_t i = name_offset; i + 1 < size; ++i) {
        if (buffer[i] != '\0')
            continue;
        if (buffer[i + 1] == '\0')
            break;
        ++count;
    }
    return count;
}

bool selection_fits(const char* buffer, size_t size, size_t name_offset) {
    if (buffer == nullptr || name_offset >= size)
        return false;
    for (size_t i = name_offset; i + 1 < size; ++i)
        if (buffer[i] == '\0' && buffer[i + 1] == '\0')
            return true;
    return false;
}

void decide_input_type(int filter_index, const char* first_name) {
    const std::string_view text = input_type_for(process_descriptions(), filter_index, first_name);
    std::snprintf(input_type_text, description_bytes, "%.*s", static_cast<int>(text.size()),
                  text.data());
}

batch_action choose_action() {
    return action_for(process_descriptions(), output_type_text, input_type_text);
}

void show_action_message(batch_action action) {
    if (action == batch_action::sorry)
        show_message("Sorry, but you cannot create KAFs (animations) with this version.", "Sorry",
                     message_ok);
    else if (action == batch_action::unsupported)
        show_error("Unsupported conversion");
}

namespace {

const char* files_word(int count) {
    return count == 1 ? "file" : "files";
}

// The selected names up to the closing terminators, each of the type from;
// a name the buffer cuts off unterminated is never handed on.
std::vector<batch_input> selection_inputs(const char* buffer, size_t size, size_t name_offset,
                                          const char* folder, file_type from) {
    std::vector<batch_input> inputs;
    for (size_t at = name_offset; at < size && buffer[at] != '\0';) {
        const size_t length = strnlen(buffer + at, size - at);
        if (length == size - at)
            break;
        batch_input input;
        input.path.assign(buffer + at, length);
        input.type = from;
        input.output_dir = folder;
        inputs.push_back(std::move(input));
        at += length + 1;
    }
    return inputs;
}

// Converts one planned file with its action's routine; its name in the
// buffer changes in place as the batch shows it.
int run_job(batch_action action, const batch_job& job, char* folder, char* name) {
    switch (job.verdict) {
    case job_verdict::convert:
        if (const conversion_routine routine = routine_of(action))
            return routine(folder, name);
        return convert_in_batch(job.from, job.to, folder, name);
    case job_verdict::folder_too_long:
        report_status(kgf_status::path_too_long, folder);
        return 0;
    default:
        return 0; // the selection holds files of the action's type only
    }
}

} // namespace

batch_outcome convert_selection(batch_action action, char* buffer, size_t size, size_t name_offset,
                                int count, char* folder, batch_progress progress, void* context) {
    batch_outcome outcome;
    outcome.count = count;
    // A folder no file can go to is said once, not once for every file.
    const kgf_failure made = prepare_output_folder(folder);
    if (made.status != kgf_status::ok) {
        report_status(made.status, folder, made.system_error);
        outcome.folder_failed = true;
        return outcome;
    }
    // What a killed earlier batch left half-written goes first.
    remove_stale_temporaries(folder);
    // Every selected file is known and planned before the first output is
    // written: an output folder that is the selection's own never loses one
    // unread.
    const conversion_pair pair = pair_of(action);
    const batch_plan plan =
        plan_batch(selection_inputs(buffer, size, name_offset, folder, pair.from), pair.to);
    run_inputs inputs;
    add_plan_inputs(inputs, plan);
    const batch_context_scope in_batch({&inputs, &outcome.levels_left_out, &outcome.levels_note});
    size_t position = name_offset;
    for (int done = 0; done < count && static_cast<size_t>(done) < plan.jobs.size(); ++done) {
        if (cancel_requested) {
            outcome.cancelled = true;
            break;
        }
        char* name = buffer + position;
        const size_t length = plan.jobs[static_cast<size_t>(done)].input.size();
        const std::string selected(name, length);
        int ok = 0;
        {
            one_message_per_file quiet_after_first;
            ok = run_job(action, plan.jobs[static_cast<size_t>(done)], folder, name);
        }
        if (ok) {
            ++outcome.converted;
        } else {
            ++outcome.failed;
            if (outcome.failed_names.size() < failed_names_kept)
                outcome.failed_names.push_back(selected);
        }
        if (progress != nullptr)
            progress(context, done + 1, count, name, ok);
        position += length + 1;
        // A file that failed because the folder went ends the batch there.
        if (!ok) {
            const kgf_failure still = prepare_output_folder(folder);
            if (still.status != kgf_status::ok) {
                report_status(still.status, folder, still.system_error);
                outcome.folder_failed = true;
                break;
            }
        }
    }
    return outcome;
}

std::string batch_status_text(const batch_outcome& outcome) {
    const int left = outcome.count - outcome.converted - outcome.failed;
    if (outcome.failed == 0 && !outcome.cancelled && outcome.levels_left_out.empty())
        return std::string(); // a clean batch, or one the folder's message ended at once
    char line[160];
    std::snprintf(line, sizeof line, "%d of %d %s converted.", outcome.converted, outcome.count,
                  files_word(outcome.count));
    std::string text = line;
    if (outcome.failed > 0) {
        std::snprintf(line, sizeof line, "\n%d failed: ", outcome.failed);
        text += line;
        for (size_t i = 0; i < outcome.failed_names.size(); ++i)
            text += (i > 0 ? ", " : "") + outcome.failed_names[i];
        const int more = outcome.failed - static_cast<int>(outcome.failed_names.size());
        if (more > 0) {
            std::snprintf(line, sizeof line, " and %d more", more);
            text += line;
        }
    }
    if (!outcome.levels_left_out.empty()) {
        // The note's own text, once, for the first; the rest by name.
        text += '\n';
        text += status_message(outcome.levels_note, outcome.levels_left_out[0].c_str());
        const size_t shown = std::min(outcome.levels_left_out.size(), failed_names_kept);
        for (size_t i = 1; i < shown; ++i) {
            text += i > 1 ? ", " : "\nAlso ";
            text += outcome.levels_left_out[i];
        }
        if (outcome.levels_left_out.size() > shown) {
            std::snprintf(line, sizeof line, " and %d more",
                          static_cast<int>(outcome.levels_left_out.size() - shown));
            text += line;
        }
    }
    if (outcome.cancelled || outcome.folder_failed) {
        std::snprintf(line, sizeof line, "\n%s: %d %s not converted.",
                      outcome.folder_failed ? "The output folder failed" : "Cancelled", left,
                      files_word(left));
        text += line;
    }
    return text;
}

void show_batch_status(const batch_outcome& outcome) {
    const std::string text = batch_status_text(outcome);
    if (!text.empty())
        show_message(text.c_str(), "Status", message_ok);
}

#include "routines/conversion.h"

#include "convert/batch_decisions.h"
#include "platform/files.h"
#include "routines/messages.h"
#include "settings/conversion_settings.h"
#include "settings/settings.h"

#include <cstring>
#include <string>

namespace {

// Appends the platform's separator to a 256-byte folder text when missing.
// Returns 0 (text unchanged) when it would not fit.
int ensure_trailing_separator(char* folder) {
    const size_t length = strnlen(folder, path_bytes);
    if (length >= static_cast<size_t>(path_bytes))
        return 0;
    if (length > 0 && is_path_separator(folder[length - 1]))
        return 1;
    if (length + 2 > static_cast<size_t>(path_bytes))
        return 0;
    folder[length] = path_separator;
    folder[length + 1] = '\0';
    return 1;
}

batch_context current_batch;

// A note on levels left out goes to the batch's list; everything else is
// shown as a message at once.
void keep_or_show(void* context, const kgf_failure& finding) {
    if (is_levels_note(finding.status) && current_batch.levels_left_out != nullptr &&
        !finding.subject.empty()) {
        current_batch.levels_left_out->push_back(finding.subject);
        if (current_batch.levels_note != nullptr)
            *current_batch.levels_note = finding.status;
        return;
    }
    show_failure(finding, static_cast<const char*>(context));
}

// The request the dialog program's routines make: the stored settings, the
// name opened from the current folder, outputs written at once.
conversion_request routine_request(file_type from, file_type to, const char* folder,
                                   const char* name) {
    conversion_request request;
    request.inputs = current_batch.inputs;
    request.from = from;
    request.to = to;
    request.input = name;
    request.folder = folder;
    request.options = options_from_settings(settings);
    request.sink = message_box_sink(name);
    request.sink.warning = keep_or_show;
    return request;
}

// The folder ends in its separator, or the failure is reported.
bool folder_ends_in_separator(char* folder) {
    if (ensure_trailing_separator(folder))
        return true;
    report_status(kgf_status::path_too_long, folder);
    return false;
}

} // namespace

batch_context_scope::batch_context_scope(const batch_context& context) : outer_(current_batch) {
    current_batch = context;
}

batch_context_scope::~batch_context_scope() {
    current_batch = outer_;
}

// Runs a routine's conversion; the name changes in place as the batch
// shows it, when the new name fits.
int convert_in_batch(file_type from, file_type to, char* folder, char* name) {
    if (!folder_ends_in_separator(folder))
        return 0;
    conversion_request request = routine_request(from, to, folder, name);
    // In a batch (its inputs given) a name typed into the file dialog need
    // not be there: it fails by name.
    request.report_cannot_open = current_batch.inputs != nullptr;
    const conversion_result result = convert_file(request);
    show_failures(result, name);
    if (result.shown_name.size() == std::strlen(name))
        std::memcpy(name, result.shown_name.c_str(), result.shown_name.size());
    return result.status == kgf_status::ok ? 1 : 0;
}

namespace {

int run_routine(batch_action action, char* folder, char* name) {
    const conversion_pair pair = pair_of(action);
    return convert_in_batch(pair.from, pair.to, folder, name);
}

} // namespace

int convert_kgf_to_tga(char* folder, char* name) {
    return run_routine(batch_action::kgf_to_tga, folder, name);
}

int convert_tga_to_kgf(char* folder, char* name) {
    return run_routine(batch_action::tga_to_kgf, folder, name);
}

int convert_tga_to_tga(char* folder, char* name) {
    return run_routine(batch_action::tga_to_tga, folder, name);
}

int convert_kgf_to_kgf(char* folder, char* name) {
    return run_routine(batch_action::kgf_to_kgf, folder, name);
}

int convert_kaf_to_tga(char* folder, char* name) {
    return run_routine(batch_action::kaf_to_tga, folder, name);
}

int convert_kaf_to_kgf(char* folder, char* name) {
    return run_routine(batch_action::kaf_to_kgf, folder, name);
}

conversion_routine routine_of(batch_action action) {
    switch (action) {
    case batch_action::kgf_to_tga:
        return convert_kgf_to_tga;
    case batch_action::tga_to_kgf:
        return convert_tga_to_kgf;
    case batch_action::kaf_to_kgf:
        return convert_kaf_to_kgf;
    case batch_action::kaf_to_tga:
        return convert_kaf_to_tga;
    case batch_action::tga_to_tga:
        return convert_tga_to_tga;
    case batch_action::kgf_to_kgf:
        return convert_kgf_to_kgf;
    default:
        return nullptr;
    }
}

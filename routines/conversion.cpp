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

// The request the dialog program's routines make: the stored settings, the name
// opened from the current folder, outputs written at once.
conversion_request routine_request(file_type from, file_type to, const char* folder,
                                   const char* name, run_inputs* inputs = nullptr) {
    conversion_request request;
    request.inputs = inputs;
    request.from = from;
    request.to = to;
    request.input = name;
    request.folder = folder;
    request.options = options_from_settings(settings);
    request.sink = message_box_sink(name);
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

// Runs a routine's conversion; the name changes in place as the batch
// shows it, when the new name fits.
int convert_in_batch(file_type from, file_type to, char* folder, char* name, run_inputs* inputs) {
    if (!folder_ends_in_separator(folder))
        return 0;
    conversion_request request = routine_request(from, to, folder, name, inputs);
    // In a batch (its inputs given) a name typed into the file dialog need
    // not be there: it fails by name.
    request.report_cannot_open = inputs != nullptr;
    const conversion_result result = convert_file(request);
    if (result.shown_name.size() == std::strlen(name))
        std::memcpy(name, result.shown_name.c_str(), result.shown_name.size());
    return result.status == kgf_status::ok ? 1 : 0;
}

namespace {

// A routine outside a batch: nothing of a run to protect.
int run_routine(batch_action action, char* folder, char* name) {
    const conversion_pair pair = pair_of(action);
    return convert_in_batch(pair.from, pair.to, folder, name, nullptr);
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

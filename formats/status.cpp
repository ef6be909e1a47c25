#include "formats/status.h"

#include "formats/limits.h"
#include "formats/name_endings.h"
#include "formats/report.h"

#include "platform/files.h"

#include <cassert>
#include <cstdio>
#include <string>

namespace {

struct status_entry {
    kgf_status status;
    const char* text;
};

// One row per status, in the order of the enumeration.
constexpr status_entry status_table[] = {
    {kgf_status::ok, ""},
    {kgf_status::cannot_open, "Cannot open %s"},
    {kgf_status::not_a_file, "%s: Not a regular file!"},
    {kgf_status::missing_data, "File is missing some data; do not use"},
    {kgf_status::io_error, "File I/O error"},
    {kgf_status::bad_image_size, "%s: Bad image size!"},
    {kgf_status::unsupported_tga_type, "%s: Unsupported TGA type!"},
    {kgf_status::bad_colour_index, "%s: Bad colour map index!"},
    {kgf_status::bad_run_length, "%s: Bad run-length data!"},
    {kgf_status::no_memory, "Not enough memory to hold the image."},
    {kgf_status::bad_filler, "%s: Bad filler!"},
    {kgf_status::bad_field_value, "%s: Bad field value!"},
    {kgf_status::bad_frame_name, "Bad frame name: %s"},
    {kgf_status::path_too_long, "Path is too long: %s"},
    {kgf_status::cannot_create, "Cannot create %s"},
    {kgf_status::cannot_write, "Cannot write %s"},
    {kgf_status::bad_frame_size, "%s: A frame is 1 to 128 pixels wide and high"},
    {kgf_status::frame_name_too_long,
     "%s: The frame's name exceeds 35 characters, and will not be readable by Corvane 3"},
    {kgf_status::frame_name_taken, "%s: Another frame has the same name"},
    {kgf_status::bad_frame_count, "%s: An animation holds 1 to 255 frames"},
    {kgf_status::conversion_terminated, "Conversion terminated."},
    {kgf_status::unsupported_conversion, "Unsupported conversion"},
    {kgf_status::replaces_input, "Cannot replace %s: it is an input of this run"},
    {kgf_status::same_output, "%s: an earlier frame has the same output name; not written"},
    {kgf_status::frame_name_cut, "Frame name longer than 35 characters: %s"},
    {kgf_status::no_frames, "%s: No frames; nothing written"},
    {kgf_status::bad_output_name, "Not a file name inside the output folder: %s"},
    {kgf_status::earlier_output, "Cannot replace %s: an earlier file of this run wrote it"},
    {kgf_status::empty_levels, "%s: no pixels at this size; left out of the TGA output"},
    {kgf_status::frame_size_differs, "%s; the frames of an animation are all one size"},
    {kgf_status::transparency_dropped,
     "%s: a 24-bit file has no transparency, so the original frame's transparent pixels are "
     "packed opaque (split with --bpp 32 to keep them)"},
    {kgf_status::frame_missing_data, "Frame %s is missing some data; do not use"},
    {kgf_status::not_png, "%s: Not a PNG file!"},
    {kgf_status::png_cut_short, "%s: The PNG file is cut short!"},
    {kgf_status::bad_png_checksum, "%s: Bad PNG checksum!"},
    {kgf_status::bad_png_data, "%s: Bad PNG data!"},
    {kgf_status::unsupported_png, "%s: Unsupported PNG type!"},
    {kgf_status::image_too_large, "%s: Image too large!"},
    {kgf_status::cannot_make_folder, "Cannot create the output folder %s"},
    {kgf_status::cannot_write_folder, "Cannot write into the output folder %s"},
    {kgf_status::folder_not_made, "Cannot make the folder %s"},
    {kgf_status::empty_png_levels, "%s: no pixels at this size; left out of the PNG output"},
};

constexpr bool table_in_order() {
    size_t index = 0;
    for (const status_entry& entry : status_table)
        if (static_cast<size_t>(entry.status) != index++)
            return false;
    return index == static_cast<size_t>(kgf_status::empty_png_levels) + 1;
}
static_assert(table_in_order(), "one row per status, in order");

} // namespace

const char* status_text(kgf_status status) {
    const size_t index = static_cast<size_t>(status);
    if (index >= sizeof status_table / sizeof status_table[0])
        return "";
    return status_table[index].text;
}

bool is_levels_note(kgf_status status) {
    return status == kgf_status::empty_levels || status == kgf_status::empty_png_levels;
}

bool is_warning(kgf_status status) {
    return status == kgf_status::bad_filler || status == kgf_status::bad_field_value ||
           is_levels_note(status) || status == kgf_status::transparency_dropped;
}

const char* status_caption(kgf_status status) {
    return status == kgf_status::conversion_terminated || is_levels_note(status) ? "Status"
                                                                                 : "Error";
}

std::string status_message(kgf_status status, const char* subject, int system_error) {
    std::string text = status_text(status);
    const size_t at = text.find("%s");
    if (at == std::string::npos)
        return text;
    // Names come from files and arguments: a control character in one is
    // shown, never sent to a terminal or a box as it stands.
    text = text.substr(0, at) + (subject != nullptr ? printable_name(subject) : "") +
           text.substr(at + 2);
    // A file the system would not open or write: its words for why.
    if (system_error != 0)
        text += ": " + system_error_text(static_cast<unsigned long>(system_error));
    return text;
}

kgf_status failure_list::add(kgf_failure failure) {
    const kgf_status added = failure.status;
    if (added == kgf_status::ok)
        return added;
    if (status == kgf_status::ok)
        status = added;
    failures.push_back(std::move(failure));
    return added;
}

kgf_status failure_list::add_told(kgf_status told) {
    if (status == kgf_status::ok)
        status = told;
    return told;
}

void failure_list::add_all(const failure_list& other) {
    if (status == kgf_status::ok)
        status = other.status;
    failures.insert(failures.end(), other.failures.begin(), other.failures.end());
}

std::string failure_message(const kgf_failure& failure) {
    return status_message(failure.status, failure.subject.c_str(), failure.system_error);
}

void warn(const report_sink& sink, kgf_status warning, const char* subject) {
    // A failure is a result: it comes back to the caller, never this way.
    assert(is_warning(warning));
    if (is_warning(warning) && sink.warning != nullptr)
        sink.warning(sink.context, kgf_failure{warning, subject != nullptr ? subject : ""});
}

bool accept_long_name(const report_sink& sink, const char* question) {
    return sink.accept_long_name != nullptr && sink.accept_long_name(sink.context, question);
}

void tell_long_name_answer(const report_sink& sink, const char* question, bool written) {
    if (sink.long_name_answered != nullptr)
        sink.long_name_answered(sink.context, question, written);
}

bool kgf_name_accepted(const std::string& name, long_name_answer answer, const report_sink& sink) {
    if (name.size() + 1 <= static_cast<size_t>(game_name_bytes))
        return true;
    char question[128];
    std::snprintf(question, sizeof question,
                  "Filename exceeds %d characters, and will not readable by Corvane 3. Are you "
                  "sure you want to continue?",
                  game_name_bytes);
    switch (answer) {
    case long_name_answer::ask:
        return accept_long_name(sink, question);
    case long_name_answer::write:
        tell_long_name_answer(sink, question, true);
        return true;
    case long_name_answer::refuse:
        break;
    }
    tell_long_name_answer(sink, question, false);
    return false;
}

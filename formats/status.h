// Every failure the readers, writers and conversions report, named once,
// and the one table of the texts the user sees for them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum class kgf_status : uint8_t {
    ok,
    cannot_open,          // the file is not there or may not be read
    not_a_file,           // a folder, a device, a pipe: never opened for reading
    missing_data,         // the file ends before its sizes say it should
    io_error,             // the platform failed a read
    bad_image_size,       // negative sides, or a block past 32 bits
    unsupported_tga_type, // an image type or depth the reader does not take
    bad_colour_index,     // a colour-map index outside the map
    bad_run_length,       // run-length packets that end early or overrun the picture
    no_memory,            // a block that cannot be had
    bad_filler,           // a warning: the KGF header's filler is not zero
    bad_field_value,      // a warning: the KGF header's format field is wrong
    bad_frame_name,       // a frame name that would leave the output folder
    path_too_long,        // a path that does not fit its 256 bytes
    cannot_create,        // an output file that cannot be created
    cannot_write,         // an output file that could not be written whole
    bad_frame_size,       // a frame to pack that is not 1 to 128 pixels a side
    frame_name_too_long,  // a frame name the game cannot read
    frame_name_taken,     // two frames to pack that would have one name
    bad_frame_count,      // an animation of no frames or of more than 255
    conversion_terminated,
    unsupported_conversion,
    replaces_input,       // an output that would replace another input of the run
    same_output,          // an output named as an earlier output of the same input
    frame_name_cut,       // a stored frame name that does not fit its 36-byte slot
    no_frames,            // an animation that holds no frame: nothing to write
    bad_output_name,      // an output name that would leave the output folder
    earlier_output,       // an output an earlier file of the run already wrote
    empty_levels,         // a note: levels of no pixel, left out of the TGA output
    frame_size_differs,   // a frame to pack that is not the first frame's size
    transparency_dropped, // a warning: an edited 24-bit frame whose original had transparency
    frame_missing_data,   // an animation frame whose record or runs the file cuts short
    not_png,              // a PNG input without the PNG signature
    png_cut_short,        // a PNG that ends inside a chunk or before its end chunk
    bad_png_checksum,     // a PNG chunk whose checksum does not match its bytes
    bad_png_data,         // a PNG chunk or image data that breaks the format's rules
    unsupported_png,      // a PNG method or chunk the reader does not take
    image_too_large,      // a picture past the readers' or a writer's limit

    // A batch's output folder:
    cannot_make_folder,  // it cannot be made
    cannot_write_folder, // no file can be written into it
    folder_not_made,     // an output's folder, or a parent of it, that cannot be made

    empty_png_levels, // a note: levels of no pixel, left out of the PNG output
};

// A failure as the call that met it returns it: what went wrong, what it
// concerns (a file, a frame name or an output's path; empty when the text
// names none) and, when the system refused a file operation, the system's
// reason (errno, or the Windows error code; 0 for none). ok is no failure.
struct kgf_failure {
    kgf_status status = kgf_status::ok;
    std::string subject;
    int system_error = 0;

    kgf_failure() = default;
    explicit kgf_failure(kgf_status status, std::string subject = {}, int system_error = 0)
        : status(status), subject(std::move(subject)), system_error(system_error) {}
};

// The failures an operation of many steps met, each to be shown, in the
// order met, and the status it ends with: the first failure's, ok for none.
struct failure_list {
    kgf_status status = kgf_status::ok;
    std::vector<kgf_failure> failures;

    // Keeps a failure (nothing for ok); the first sets the status. Returns
    // the failure's status.
    kgf_status add(kgf_failure failure);
    // Fails with a status that has nothing to show: the user was already
    // told, as by a name-length question answered No.
    kgf_status add_told(kgf_status told);
    // Keeps every failure of another list, after these.
    void add_all(const failure_list& other);
};

// The text of a status, as shown; "%s" stands for the file it concerns.
const char* status_text(kgf_status status);

// Whether the status is the note on levels of no pixel left out of a TGA or
// PNG output.
bool is_levels_note(kgf_status status);

// Whether the status is a warning or a note: the file is read and written
// all the same.
bool is_warning(kgf_status status);

// The caption it is shown under: "Error", or "Status" for the end of a
// failed split and for the note on levels left out.
const char* status_caption(kgf_status status);

// The status's text with subject put in for "%s" (nothing for a null one),
// followed by the system's words for system_error when it is not 0.
std::string status_message(kgf_status status, const char* subject, int system_error = 0);

// The failure's text, as status_message gives it.
std::string failure_message(const kgf_failure& failure);

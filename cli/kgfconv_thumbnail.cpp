// kgfconv thumbnail: one PNG thumbnail of a texture or an animation, as a
// file manager's thumbnailer asks for it.
#include "cli/kgfconv_commands.h"
#include "cli/kgfconv_output.h"
#include "convert/file_type.h"
#include "convert/thumbnail.h"
#include "formats/byte_reader.h"
#include "formats/output_file.h"
#include "formats/png.h"
#include "platform/files.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace {

const char thumbnail_help[] =
    "Writes OUTPUT.png: the first mip level of a KGF, or the first frame of a KAF, fitted\n"
    "into SIZE x SIZE pixels with its aspect kept and reduced with a box filter; a\n"
    "smaller picture keeps its size (the file manager enlarges it if it wants).\n"
    "Transparency is kept as alpha. The input's type comes from its ending (kgf or kaf,\n"
    "any case), or, for another ending, from its first bytes. The output must end in\n"
    ".png, or be an empty file already there (a file manager's temporary name).\n"
    "\n"
    "File managers run it through /usr/share/thumbnailers/kgfconv.thumbnailer:\n"
    "  kgfconv thumbnail -s %s %i %o\n"
    "\n"
    "Exit status: 0 written; 1 the input could not be read or the output not written,\n"
    "and nothing is written; 2 a usage error.\n";

struct thumbnail_command {
    int size = default_thumbnail;
    std::string input;
    std::string output;
};

bool ends_in_png(const std::string& name) {
    if (name.size() < 4)
        return false;
    std::string ending = name.substr(name.size() - 4);
    for (char& c : ending)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ending == ".png";
}

// An empty regular file, such as the temporary file a file manager makes
// for the thumbnailer to fill: nothing is lost by replacing it.
bool is_empty_file(const std::string& name) {
    std::error_code error;
    const std::filesystem::path path = text_path(name);
    return std::filesystem::is_regular_file(path, error) &&
           std::filesystem::file_size(path, error) == 0 && !error;
}

// The type of the input: its ending, else its first bytes.
file_type input_type(const std::string& input, byte_reader& reader) {
    const file_type by_ending = type_from_ending(input.c_str(), ending_case::any);
    if (by_ending != file_type::none)
        return by_ending;
    uint8_t head[3] = {};
    const size_t got = read_bytes(reader, head, sizeof head);
    // Reading starts over at the first byte.
    if (reader.file != nullptr && !seek_input_file(*reader.file, 0))
        reader.failed = true;
    reader.position = 0;
    return thumbnail_type_from_content(head, got);
}

int run_thumbnail(const thumbnail_command& command) {
    if (!ends_in_png(command.output) && !is_empty_file(command.output)) {
        print_to(stderr,
                 "kgfconv: %s: the output must end in .png (or be an empty file already there)\n",
                 command.output.c_str());
        return exit_usage;
    }
    begin_file_messages(command.input, nullptr);
    image_buffer thumbnail;
    input_file opened;
    const kgf_failure opening = open_reader_file(command.input.c_str(), opened);
    kgf_status status = opening.status;
    if (status == kgf_status::ok) {
        byte_reader reader = file_reader(opened);
        const file_type type = input_type(command.input, reader);
        if (type == file_type::kgf || type == file_type::kaf)
            status = make_thumbnail(reader, type, command.size, thumbnail);
        else
            status = kgf_status::unsupported_conversion;
        close_input_file(opened);
    }
    if (status == kgf_status::unsupported_conversion)
        file_message("Unsupported file type; thumbnails are made of KGF and KAF files");
    else if (opening.status != kgf_status::ok)
        file_status(opening);
    else
        file_status(status, command.input.c_str());
    end_file_messages();
    if (status != kgf_status::ok)
        return exit_failed;

    std::vector<uint8_t> png;
    kgf_failure made{encode_png(png, thumbnail, 0), command.output};
    if (made.status == kgf_status::ok)
        made = write_output_file(command.output.c_str(), png.data(), png.size());
    if (made.status != kgf_status::ok) {
        print_file_message(command.output, failure_message(made));
        return exit_failed;
    }
    return exit_ok;
}

} // namespace

void setup_thumbnail(CLI::App& app, int& status) {
    auto command = std::make_shared<thumbnail_command>();
    CLI::App* thumbnail = app.add_subcommand(
        "thumbnail", "Write a PNG thumbnail of a KGF (its first level) or a KAF (its first frame)");
    thumbnail
        ->add_option("-s,--size", command->size,
                     "The largest side in pixels (" + std::to_string(smallest_thumbnail) + " to " +
                         std::to_string(largest_thumbnail) + "; " +
                         std::to_string(default_thumbnail) + " when not given)")
        ->check(CLI::Range(smallest_thumbnail, largest_thumbnail));
    thumbnail->add_option("INPUT", command->input, "The KGF or KAF file")->required();
    thumbnail->add_option("OUTPUT", command->output, "The PNG file to write")->required();
    thumbnail->footer(thumbnail_help);
    thumbnail->callback([command, &status] {
        install_console_messages();
        status = run_thumbnail(*command);
    });
}

// kgfconv: the batch converter for scripts and machines without a display.
#include "cli/kgfconv_commands.h"
#include "cli/kgfconv_completion.h"
#include "cli/kgfconv_console.h"
#include "cli/kgfconv_output.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char exit_statuses[] =
    "Exit status:\n"
    "  0  every file was converted (or described; settings shown or saved; the "
    "animation packed; the thumbnail written; watch ended by Ctrl+C)\n"
    "  1  a file failed, each failure named on standard error (with -r too); or the "
    "settings could not be saved; or pack refused a frame and wrote nothing; or a folder "
    "watch watched disappeared\n"
    "  2  a usage error, a setting refused, KAF output asked for, or nothing to convert: "
    "no file named (or found below a folder with -r) of a type that converts";

const char* const command_names = "info, convert, pack, watch, settings and thumbnail";

// Usage errors take one line naming the program, then where help is.
int usage_error(const CLI::App& app, const CLI::Error& error) {
    std::string text = error.what();
    std::string help = "kgfconv --help";
    for (const CLI::App* command : app.get_subcommands())
        help = "kgfconv " + command->get_name() + " --help";
    if (app.get_subcommands().empty()) {
        // A first word that is no command is the likeliest slip of all.
        const std::vector<std::string> left = app.remaining();
        if (!left.empty() && left.front().compare(0, 1, "-") != 0)
            text = left.front() + ": unknown command; the commands are " + command_names;
        else if (left.empty() && dynamic_cast<const CLI::RequiredError*>(&error) != nullptr)
            text = std::string("a command is required; the commands are ") + command_names;
    }
    // CLI11 puts the option's long name before a check's text; -j's names itself.
    const std::string jobs_prefix = "--jobs: -j ";
    if (text.compare(0, jobs_prefix.size(), jobs_prefix) == 0)
        text.erase(0, jobs_prefix.size() - 3);
    print_to(stderr, "kgfconv: %s\nRun '%s' for more information.\n", text.c_str(), help.c_str());
    return exit_usage;
}

} // namespace

int main(int argc, char** argv) {
    use_program_code_page_in_console();
    if (explained_when_started_alone(argc))
        return exit_usage;
    CLI::App app{
        "kgfconv: converts Corvane 3 textures (KGF), animations (KAF) and TGA and PNG images"};
    app.set_version_flag("--version", std::string("kgfconv (KGF Tool) ") + KGF_VERSION);
    app.require_subcommand(1);
    app.footer(exit_statuses);
    // The build writes the bash completion with this; the help does not show it.
    // A completion longer than the stream's buffer fails while it is
    // written: the reason is kept for the status below.
    int completion_error = 0;
    app.add_flag_callback("--bash-completion",
                          [&app, &completion_error] {
                              errno = 0;
                              if (std::fputs(bash_completion(app).c_str(), stdout) < 0)
                                  completion_error = errno;
                              throw CLI::Success();
                          })
        ->group("");

    // The command given runs once the whole line is accepted, and sets this.
    int status = exit_ok;
    setup_info(app, status);
    setup_convert(app, status);
    setup_pack(app, status);
    setup_watch(app, status);
    setup_settings(app, status);
    setup_thumbnail(app, status);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help, --version, --bash-completion: what they print must arrive
        // whole, or the status says it did not.
        if (error.get_exit_code() == 0) {
            // std::cout is synchronised with stdout; a flush of its own
            // (--version's) leaves its reason in errno.
            errno = 0;
            const int printed = app.exit(error);
            return finish_standard_output(printed, errno != 0 ? errno : completion_error);
        }
        return usage_error(app, error);
    }
    return status;
}

// kgfconv's commands. Each adds itself, its options and its run to the
// program's CLI::App; the command given runs once the whole command line is
// accepted and stores its exit status.
#pragma once

namespace CLI {
class App;
}

// Exit statuses.
constexpr int exit_ok = 0;
constexpr int exit_failed = 1;
constexpr int exit_usage = 2;

// Describes files: type, resolution, depth, mip levels and frames.
void setup_info(CLI::App& app, int& status);
// Converts files into the output folder.
void setup_convert(CLI::App& app, int& status);
// Writes one animation of frames.
void setup_pack(CLI::App& app, int& status);
// Writes a PNG thumbnail of a KGF or KAF, for file managers.
void setup_thumbnail(CLI::App& app, int& status);
// Keeps the output folder in step with folders of sources until stopped.
void setup_watch(CLI::App& app, int& status);
// Prints the stored settings, or checks and saves new values.
void setup_settings(CLI::App& app, int& status);

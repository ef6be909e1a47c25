// The bash completion script of kgfconv, made from its commands and options.
#pragma once

#include <string>

namespace CLI {
class App;
}

// The script: completes the commands, each command's options, the values an
// option or setting accepts, and file names.
std::string bash_completion(const CLI::App& app);

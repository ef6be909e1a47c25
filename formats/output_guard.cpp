#include "formats/output_guard.h"

#include "platform/files.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Windows compares names without regard to case (ASCII letters here).
std::string in_system_case(std::string text) {
#ifdef _WIN32
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c == '/')
            c = '\\';
    }
#endif
    return text;
}

// The file a link leads to, or nothing when the path is no link or leads
// nowhere.
std::string resolved_identity(const std::string& path) {
    std::error_code error;
    const fs::path given = text_path(path);
    if (!fs::is_symlink(fs::symlink_status(given, error)))
        return std::string();
    const fs::path target = fs::canonical(given, error);
    return error ? std::string() : in_system_case(path_text(target));
}

// Whether an earlier file of the run wrote the output.
bool taken_by_earlier_file(run_inputs& inputs, const std::string& identity) {
    std::lock_guard<std::mutex> hold(inputs.lock);
    return inputs.outputs.count(identity) != 0;
}

// The checks that depend on the files before this one, made when they are
// all done. Outputs are recorded for the run as they are written, in the
// order of the files, so the first file given that writes an output keeps
// it whichever file runs first, and the messages are those of -j 1.
kgf_status claim_in_turn(output_guard& guard, const std::string& identity) {
    if (guard.written.count(identity) != 0)
        return kgf_status::same_output;
    if (guard.inputs != nullptr && taken_by_earlier_file(*guard.inputs, identity))
        return kgf_status::earlier_output;
    guard.written.insert(identity);
    return kgf_status::ok;
}

} // namespace

bool is_plain_file_name(const char* name) {
    if (name[0] == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
        return false;
    return std::strpbrk(name, "/\\:") == nullptr;
}

std::string path_identity(const std::string& path) {
    std::error_code error;
    fs::path absolute = fs::absolute(text_path(path), error);
    if (error)
        absolute = text_path(path);
    absolute = absolute.lexically_normal();
    const fs::path name = absolute.filename();
    fs::path folder = fs::weakly_canonical(absolute.parent_path(), error);
    if (error)
        folder = absolute.parent_path();
    return in_system_case(path_text(folder / name));
}

void add_run_input(run_inputs& inputs, const std::string& path) {
    inputs.identities.insert(path_identity(path));
    const std::string target = resolved_identity(path);
    if (!target.empty())
        inputs.identities.insert(target);
}

output_guard guard_for_input(run_inputs* inputs, const std::string& input, bool same_type) {
    output_guard guard;
    guard.inputs = inputs;
    if (same_type) {
        guard.own_input.insert(path_identity(input));
        const std::string target = resolved_identity(input);
        if (!target.empty())
            guard.own_input.insert(target);
    }
    return guard;
}

kgf_status claim_output(output_guard& guard, const std::string& path) {
    const std::string identity = path_identity(path);
    if (guard.inputs != nullptr && guard.inputs->identities.count(identity) != 0 &&
        guard.own_input.count(identity) == 0)
        return kgf_status::replaces_input;
    if (guard.held)
        return kgf_status::ok;
    return claim_in_turn(guard, identity);
}

kgf_status claim_held_output(output_guard& guard, const std::string& path) {
    return claim_in_turn(guard, path_identity(path));
}

void record_run_output(run_inputs* inputs, const std::string& path) {
    if (inputs == nullptr)
        return;
    const std::string identity = path_identity(path);
    std::lock_guard<std::mutex> hold(inputs->lock);
    inputs->outputs.insert(identity);
}

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

// Whether an earlier file of the run claimed the output; records it when
// record is set and none did.
bool taken_by_earlier_file(run_inputs& inputs, const std::string& identity, bool record) {
    std::lock_guard<std::mutex> hold(inputs.lock);
    if (inputs.outputs.count(identity) != 0)
        return true;
    if (record)
        inputs.outputs.insert(identity);
    return false;
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
    if (guard.written.count(identity) != 0)
        return kgf_status::same_output;
    // Outputs held back are checked here against the files already done and
    // recorded when they are written, so the first file given keeps its
    // output whichever file runs first.
    if (guard.inputs != nullptr && taken_by_earlier_file(*guard.inputs, identity, !guard.held))
        return kgf_status::earlier_output;
    guard.written.insert(identity);
    return kgf_status::ok;
}

kgf_status claim_run_output(run_inputs& inputs, const std::string& path) {
    return taken_by_earlier_file(inputs, path_identity(path), true) ? kgf_status::earlier_output
                                                                    : kgf_status::ok;
}

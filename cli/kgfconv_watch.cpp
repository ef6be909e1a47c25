// kgfconv watch: keeps the output folder in step with source folders. What
// is out of date is converted first; then every file saved is converted
// once it has been quiet for the settle time, as convert converts it, and
// the frames of a split are packed again like their original.
#include "cli/kgfconv_commands.h"
#include "cli/kgfconv_convert.h"
#include "cli/kgfconv_output.h"
#include "cli/kgfconv_pack.h"
#include "cli/kgfconv_watch_files.h"
#include "convert/output_names.h"
#include "platform/files.h"
#include "platform/folder_watch.h"
#include "settings/settings.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;
using watch_clock = std::chrono::steady_clock;

namespace {

struct watch_options {
    convert_options convert;
    int settle_ms = 200;
    std::vector<std::string> likes;
};

struct split_original {
    std::string path;
    std::string identity;
    kaf_original original;
    std::string output; // the output folder joined with the original's name
};

// A file whose conversion failed, held until it has stayed as it was for a
// while: a file still being written fails to read and is tried again, and
// only a failure that stays is named.
struct held_failure {
    output_journal journal;
    file_stamp seen;
    watch_clock::time_point named_at;
};

struct watcher {
    watch_options options;
    file_type to = file_type::none;
    file_type forced = file_type::none;
    conversion_options batch;
    std::string base_folder; // with its separator
    int threads = 1;
    watch_clock::duration settle{};
    folder_watch* watch = nullptr;
    std::vector<std::string> roots;
    std::vector<split_original> originals;

    std::map<std::string, watch_clock::time_point> pending;       // file: quiet from then on
    std::map<std::string, watch_clock::time_point> pending_packs; // folder of a split
    std::map<std::string, size_t> split_of;                       // folder: its original
    std::map<std::string, held_failure> failures;
    // What was last converted of each input, and each output as written:
    // a file seen again as it was needs nothing, so an output never
    // triggers its own conversion.
    std::map<std::string, file_stamp> converted;
    // The input that wrote each output: no other input replaces it.
    std::map<std::string, std::string> owners;
    run_inputs inputs;
    int status = exit_ok;
};

std::string clock_time() {
    const std::time_t now = std::time(nullptr);
    char text[16] = "??:??:??";
    if (const std::tm* local = std::localtime(&now))
        std::strftime(text, sizeof text, "%H:%M:%S", local);
    return text;
}

// The line of a finished conversion: convert's, with the time for the count.
void print_done(const std::string& subject) {
    print_line("[" + clock_time() + "] " + subject);
}

bool lies_under(const std::string& path, const std::string& folder) {
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            is_path_separator(path[folder.size()]));
}

std::string parent_of(const std::string& path) {
    return path_text(text_path(path).parent_path());
}

std::string name_of(const std::string& path) {
    return path_text(text_path(path).filename());
}

// The folder given that holds the file.
const std::string* root_of(const watcher& w, const std::string& path) {
    for (const std::string& root : w.roots)
        if (lies_under(path, root))
            return &root;
    return nullptr;
}

// The original whose frame the file is, or none.
const split_original* original_of_frame(const watcher& w, const std::string& path) {
    const std::string name = name_of(path);
    for (const split_original& original : w.originals)
        if (is_frame_of(name, original.original))
            return &original;
    return nullptr;
}

bool is_original(const watcher& w, const std::string& identity) {
    for (const split_original& original : w.originals)
        if (original.identity == identity)
            return true;
    return false;
}

// A file told as saved: converted, or its split packed, once quiet.
void schedule(watcher& w, const std::string& path) {
    const std::string name = name_of(path);
    if (is_editors_file(name))
        return;
    const auto when = watch_clock::now() + w.settle;
    w.failures.erase(path);
    if (const split_original* original = original_of_frame(w, path)) {
        const std::string folder = parent_of(path);
        w.split_of[folder] = static_cast<size_t>(original - w.originals.data());
        w.pending_packs[folder] = when;
        return;
    }
    if (w.forced == file_type::none &&
        type_from_ending(name.c_str(), ending_case::any) == file_type::none)
        return;
    w.pending[path] = when;
}

// Every file of a folder and the folders below it, as saved.
void schedule_folder(watcher& w, const std::string& folder) {
    std::error_code error;
    const fs::path output = fs::weakly_canonical(text_path(w.base_folder), error);
    for (fs::recursive_directory_iterator it(text_path(folder), error), end; !error && it != end;
         it.increment(error)) {
        std::error_code own_error;
        if (it->is_directory(own_error) && fs::equivalent(it->path(), output, own_error)) {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file(own_error))
            schedule(w, path_text(it->path()));
    }
}

// An input is gone: what was waiting for it, and the outputs it held.
void forget(watcher& w, const std::string& path) {
    for (auto it = w.pending.begin(); it != w.pending.end();)
        it = lies_under(it->first, path) ? w.pending.erase(it) : std::next(it);
    for (auto it = w.failures.begin(); it != w.failures.end();)
        it = lies_under(it->first, path) ? w.failures.erase(it) : std::next(it);
    const std::string identity = path_identity(path);
    for (auto it = w.owners.begin(); it != w.owners.end();)
        it = lies_under(it->second, identity) ? w.owners.erase(it) : std::next(it);
    for (auto it = w.inputs.identities.begin(); it != w.inputs.identities.end();)
        it = lies_under(*it, identity) ? w.inputs.identities.erase(it) : std::next(it);
}

// The outputs that inputs other than those converting wrote are theirs:
// taken for the run, so that no output of the files converting replaces one.
void hold_others_outputs(watcher& w, const std::set<std::string>& converting) {
    w.inputs.outputs.clear();
    for (const auto& [output, owner] : w.owners)
        if (converting.count(owner) == 0)
            w.inputs.outputs.insert(output);
}

// Writes what a file's conversion held and records its outputs as its own.
void finish_file(watcher& w, const convert_item& item, const std::string& identity,
                 const file_stamp& seen, output_journal& journal, int ok) {
    std::vector<std::string> outputs;
    for (const journal_entry& entry : journal.entries)
        if (entry.is_output)
            outputs.push_back(entry.path);
    ok = release_held(item.input, journal, &w.inputs) && ok;
    w.converted[identity] = seen;
    for (const std::string& output : outputs) {
        const std::string output_identity = path_identity(output);
        const auto owner = w.owners.find(output_identity);
        if (owner != w.owners.end() && owner->second != identity && stamp_of(owner->second).there)
            continue; // refused: another input's
        w.owners[output_identity] = identity;
        w.converted[output_identity] = stamp_of(output);
    }
    if (ok && !w.options.convert.quiet)
        print_done(item.input);
}

// Converts the files, each as convert converts it, on the threads.
void convert_wave(watcher& w, const std::vector<std::string>& paths) {
    convert_list list;
    std::vector<file_stamp> seen;
    std::vector<std::string> identities;
    for (const std::string& path : paths) {
        const file_stamp stamp = stamp_of(path);
        if (!stamp.there)
            continue; // gone again: a temporary name, or deleted before it settled
        const std::string identity = path_identity(path);
        const auto done = w.converted.find(identity);
        if (done != w.converted.end() && done->second == stamp)
            continue; // converted as it is, or an output as written
        const std::string* root = root_of(w, path);
        convert_item item;
        if (root == nullptr || is_original(w, identity) ||
            !item_in_tree(*root, path, w.base_folder, w.forced, item))
            continue;
        if (!w.options.convert.recursive)
            item.output_dir = w.base_folder;
        add_run_input(w.inputs, path);
        list.items.push_back(item);
        seen.push_back(stamp);
        identities.push_back(identity);
    }
    if (list.items.empty())
        return;
    hold_others_outputs(w, std::set<std::string>(identities.begin(), identities.end()));

    const size_t count = list.items.size();
    std::vector<output_journal> held(count);
    std::vector<char> skipped(count, 0);
    convert_batch_hooks hooks;
    hooks.around = [&](int index, output_journal*, const convert_step& step) {
        const size_t i = static_cast<size_t>(index);
        // Stopped: the files in hand are finished, no other is begun.
        if (folder_watch_stopped(w.watch)) {
            skipped[i] = 1;
            return job_outcome{};
        }
        begin_file_messages(list.items[i].input, &held[i]);
        return step(&held[i]);
    };
    hooks.done = [&](int index, const job_outcome& outcome) {
        const size_t i = static_cast<size_t>(index);
        if (skipped[i])
            return;
        const std::string& path = list.items[i].input;
        if (stamp_of(path) != seen[i]) {
            // Saved again while it was read: nothing of it is written or
            // said, and it is converted once quiet.
            held[i].entries.clear();
            w.pending[path] = watch_clock::now() + w.settle;
            return;
        }
        if (!outcome.ok) {
            held_failure failure;
            failure.journal = std::move(held[i]);
            failure.seen = seen[i];
            failure.named_at = watch_clock::now() + w.settle + std::chrono::seconds(1);
            w.failures[path] = std::move(failure);
            return;
        }
        finish_file(w, list.items[i], identities[i], seen[i], held[i], 1);
    };
    convert_items(plan_items(list, w.to), w.batch, w.inputs, w.threads, hooks);
}

// Failures of files that stayed as they were are named now.
void name_failures(watcher& w) {
    const auto now = watch_clock::now();
    for (auto it = w.failures.begin(); it != w.failures.end();) {
        if (it->second.named_at > now) {
            ++it;
            continue;
        }
        const std::string path = it->first;
        held_failure failure = std::move(it->second);
        it = w.failures.erase(it);
        const std::string* root = root_of(w, path);
        convert_item item;
        if (stamp_of(path) != failure.seen || root == nullptr ||
            !item_in_tree(*root, path, w.base_folder, w.forced, item))
            continue; // changed since: converted again
        const std::string identity = path_identity(path);
        hold_others_outputs(w, {identity});
        finish_file(w, item, identity, failure.seen, failure.journal, 0);
    }
}

std::vector<std::string> frame_files(const watcher& w, const std::string& folder,
                                     const split_original& original) {
    std::vector<std::string> files;
    for (const std::string& name : folder_names(folder.c_str()))
        if (!is_editors_file(name) && is_frame_of(name, original.original))
            files.push_back(path_text(text_path(folder) / text_path(name)));
    return files;
}

// Packs a split folder like its original, as pack --like packs it.
void pack_split(watcher& w, const std::string& folder) {
    const auto found = w.split_of.find(folder);
    if (found == w.split_of.end())
        return;
    const split_original& original = w.originals[found->second];
    const std::vector<std::string> files = frame_files(w, folder, original);
    if (files.empty())
        return;
    std::vector<file_stamp> before;
    for (const std::string& file : files)
        before.push_back(stamp_of(file));
    pack_command command;
    command.output = original.output;
    command.like = original.path;
    command.levels = w.options.convert.levels > 0 ? w.options.convert.levels : 0;
    command.dither = w.options.convert.dither;
    command.srgb_mips = w.options.convert.srgb_mips;
    command.alpha_mips = w.options.convert.alpha_mips;
    command.frames = {folder};
    std::string summary;
    const int packed = run_pack(command, &summary);
    for (size_t i = 0; i < files.size(); ++i)
        if (stamp_of(files[i]) != before[i]) {
            // A frame saved again meanwhile: packed again once quiet.
            w.pending_packs[folder] = watch_clock::now() + w.settle;
            return;
        }
    w.converted[path_identity(original.output)] = stamp_of(original.output);
    if (packed == exit_ok && !w.options.convert.quiet)
        print_done(summary);
}

// The files of the folders given, as convert lists them, without the
// editors' files, and without the files below with -r.
std::vector<convert_item> listed_files(const watcher& w) {
    std::vector<convert_item> items;
    if (w.options.convert.recursive) {
        const convert_list list = list_inputs(w.roots, w.base_folder, true, w.forced);
        for (const convert_item& item : list.items) {
            if (!item.unreadable.empty()) {
                print_file_message(item.input,
                                   "Cannot open " + item.input + ": " + item.unreadable);
                continue;
            }
            if (!is_editors_file(name_of(item.input)))
                items.push_back(item);
        }
        return items;
    }
    for (const std::string& root : w.roots) {
        std::vector<std::string> names = folder_names(root.c_str());
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            convert_item item;
            const std::string path = path_text(text_path(root) / text_path(name));
            if (!is_editors_file(name) && item_in_tree(root, path, w.base_folder, w.forced, item)) {
                item.output_dir = w.base_folder;
                items.push_back(item);
            }
        }
    }
    return items;
}

// What is out of date is converted, and what is not is taken as converted;
// splits whose animation is older than a frame are packed.
void bring_up_to_date(watcher& w) {
    std::vector<std::string> due;
    std::set<std::string> splits;
    for (const convert_item& item : listed_files(w)) {
        if (const split_original* original = original_of_frame(w, item.input)) {
            const std::string folder = parent_of(item.input);
            w.split_of[folder] = static_cast<size_t>(original - w.originals.data());
            splits.insert(folder);
            continue;
        }
        const std::string identity = path_identity(item.input);
        if (is_original(w, identity))
            continue;
        add_run_input(w.inputs, item.input);
        const std::vector<std::string> outputs = planned_outputs(item, w.to, w.batch);
        if (out_of_date(item, outputs)) {
            due.push_back(item.input);
            continue;
        }
        w.converted[identity] = stamp_of(item.input);
        for (const std::string& output : outputs) {
            const std::string output_identity = path_identity(output);
            w.owners.emplace(output_identity, identity);
            w.converted[output_identity] = stamp_of(output);
        }
    }
    convert_wave(w, due);
    for (const std::string& folder : splits) {
        const split_original& original = w.originals[w.split_of[folder]];
        const file_stamp packed = stamp_of(original.output);
        bool stale = !packed.there || stamp_of(original.path).time > packed.time;
        for (const std::string& file : frame_files(w, folder, original))
            stale = stale || stamp_of(file).time > packed.time;
        if (stale && !folder_watch_stopped(w.watch))
            pack_split(w, folder);
    }
}

// Whatever is due: files and splits quiet for the settle time, and
// failures that stayed.
void run_due(watcher& w) {
    const auto now = watch_clock::now();
    std::vector<std::string> due;
    for (auto it = w.pending.begin(); it != w.pending.end();) {
        if (it->second <= now) {
            due.push_back(it->first);
            it = w.pending.erase(it);
        } else {
            ++it;
        }
    }
    convert_wave(w, due);
    for (auto it = w.pending_packs.begin(); it != w.pending_packs.end();) {
        if (it->second > now || folder_watch_stopped(w.watch)) {
            ++it;
            continue;
        }
        const std::string folder = it->first;
        it = w.pending_packs.erase(it);
        pack_split(w, folder);
    }
    name_failures(w);
}

// How long the next wait may be: until the first thing due, at most a while.
int wait_ms(const watcher& w) {
    auto first = watch_clock::now() + std::chrono::milliseconds(500);
    for (const auto& entry : w.pending)
        first = std::min(first, entry.second);
    for (const auto& entry : w.pending_packs)
        first = std::min(first, entry.second);
    for (const auto& entry : w.failures)
        first = std::min(first, entry.second.named_at);
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(first - watch_clock::now()).count();
    return static_cast<int>(std::max<long long>(0, left) + 1);
}

bool is_folder(const std::string& path) {
    std::error_code error;
    return fs::is_directory(text_path(path), error);
}

// A folder given that is gone ends the watch, named.
bool folders_there(watcher& w) {
    for (const std::string& root : w.roots)
        if (!is_folder(root)) {
            print_file_message(root, "the watched folder is gone; watching ends");
            w.status = exit_failed;
            return false;
        }
    return true;
}

void take_events(watcher& w, const std::vector<folder_event>& events) {
    for (const folder_event& event : events) {
        switch (event.change) {
        case folder_change::written:
            schedule(w, event.path);
            break;
        case folder_change::removed:
            forget(w, event.path);
            break;
        case folder_change::folder_added:
            schedule_folder(w, event.path);
            break;
        case folder_change::lost:
            // Whatever changed unseen is found as a file whose stamp differs.
            for (const std::string& root : w.roots)
                schedule_folder(w, root);
            break;
        }
    }
}

int run_watch_unguarded(watcher& w) {
    std::string reason;
    w.watch = open_folder_watch(reason);
    if (w.watch == nullptr) {
        print_file_message("", "Cannot watch folders: " + reason);
        return exit_failed;
    }
    // Watched before anything is listed: no save in between is missed.
    for (const std::string& root : w.roots)
        if (!add_watched_folder(w.watch, root, w.options.convert.recursive, w.base_folder,
                                reason)) {
            print_file_message(root, "Cannot watch " + root + ": " + reason);
            return exit_failed;
        }
    stop_folder_watch_on_interrupt(w.watch);
    remove_stale_temporaries(w.base_folder.c_str());
    bring_up_to_date(w);
    if (!folder_watch_stopped(w.watch) && !w.options.convert.quiet)
        print_file_message("", "watching " + std::to_string(w.roots.size()) +
                                   (w.roots.size() == 1 ? " folder" : " folders") +
                                   "; Ctrl+C ends");
    std::vector<folder_event> events;
    auto next_check = watch_clock::now();
    while (!folder_watch_stopped(w.watch)) {
        events.clear();
        wait_folder_changes(w.watch, wait_ms(w), events);
        if (folder_watch_stopped(w.watch))
            break;
        take_events(w, events);
        if (watch_clock::now() >= next_check) {
            if (!folders_there(w))
                break;
            next_check = watch_clock::now() + std::chrono::milliseconds(250);
        }
        run_due(w);
    }
    return w.status;
}

int run_watch(const watch_options& options, const std::vector<std::string>& folders) {
    load_settings();
    watcher w;
    w.options = options;
    w.batch = batch_options(options.convert);
    w.to = type_named(options.convert.to);
    if (w.to == file_type::kaf) {
        refuse_kaf_output();
        return exit_usage;
    }
    char base_folder[path_bytes] = {};
    if (!output_folder_text(options.convert, base_folder))
        return exit_usage;
    w.base_folder = base_folder;
    w.forced = options.convert.from == "auto" ? file_type::none : type_named(options.convert.from);
    w.threads = options.convert.jobs > 0 ? options.convert.jobs : default_jobs();
    w.settle = std::chrono::milliseconds(options.settle_ms);
    for (const std::string& folder : folders) {
        if (!is_folder(folder)) {
            print_file_message(folder, "Not a folder; watch takes the folders to watch");
            return exit_usage;
        }
        // "src/" and "src" are one folder, and the events name it one way.
        fs::path root = text_path(folder).lexically_normal();
        if (!root.has_filename() && root.has_relative_path())
            root = root.parent_path();
        w.roots.push_back(path_text(root));
    }
    std::error_code error;
    fs::create_directories(text_path(w.base_folder), error);
    for (const std::string& like : options.likes) {
        split_original original;
        original.path = like;
        if (!read_original(like, original.original))
            return exit_failed;
        original.identity = path_identity(like);
        original.output = w.base_folder + name_of(like);
        w.originals.push_back(std::move(original));
    }
    const int status = run_watch_unguarded(w);
    close_folder_watch(w.watch);
    w.watch = nullptr;
    finished_stopping();
    return status;
}

} // namespace

void setup_watch(CLI::App& app, int& status) {
    auto options = std::make_shared<watch_options>();
    auto folders = std::make_shared<std::vector<std::string>>();
    CLI::App* watch = app.add_subcommand(
        "watch", "Keep the output folder in step with folders of sources: convert what is out "
                 "of date, then every file saved, as convert converts it, until Ctrl+C");
    const convert_flags flags =
        add_convert_options(*watch, options->convert,
                            "Watch the folders below each folder given too, and those made "
                            "later; the output keeps each file's place below its folder");
    watch
        ->add_option("--settle", options->settle_ms,
                     "Convert a file once it has been quiet for MS milliseconds, 0 to 60000 "
                     "(default: 200)")
        ->type_name("MS")
        ->check(CLI::Range(0, 60000));
    watch
        ->add_option("--like", options->likes,
                     "An original animation (KAF): a folder of its split frames is packed again "
                     "like it, into the output folder under its name, when a frame is saved; "
                     "may be given more than once")
        ->allow_extra_args(false)
        ->type_name("ORIGINAL.kaf");
    watch->add_option("FOLDER", *folders, "Folders of sources to watch")->required();
    watch->footer("Files whose names start with '.', '~' or '#', or end in '~', are the "
                  "editors' own and are left alone. A watched folder that disappears ends "
                  "the watch with status 1.");
    watch->callback([=, &status] {
        read_convert_flags(flags, options->convert);
        install_console_messages();
        status = run_watch(*options, *folders);
    });
}

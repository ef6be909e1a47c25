// The bash completion of kgfconv, written from the program's own commands
// and options and from the settings table, so that it follows them.
#include "cli/kgfconv_completion.h"

#include "formats/limits.h"
#include "settings/setting_fields.h"

#include <CLI/CLI.hpp>

namespace {

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}

// The values an option's check accepts, as its help shows them: "{a,b}".
std::vector<std::string> listed_values(const CLI::Option& option) {
    const std::string type = option.get_type_name();
    const size_t open = type.find('{');
    const size_t close = type.find('}', open);
    std::vector<std::string> values;
    if (open == std::string::npos || close == std::string::npos)
        return values;
    std::string value;
    for (size_t i = open + 1; i <= close; ++i) {
        if (type[i] == ',' || i == close) {
            if (!value.empty())
                values.push_back(value);
            value.clear();
        } else {
            value += type[i];
        }
    }
    return values;
}

std::vector<std::string> option_names(const CLI::Option& option) {
    std::vector<std::string> names;
    for (const std::string& name : option.get_snames())
        names.push_back("-" + name);
    for (const std::string& name : option.get_lnames())
        names.push_back("--" + name);
    return names;
}

// The case arm that completes one option's or setting's value.
std::string value_arm(const std::vector<std::string>& keys, const std::string& action) {
    std::string keys_text;
    for (const std::string& key : keys)
        keys_text += (keys_text.empty() ? "" : "|") + key;
    return "        " + keys_text + ") " + action + "; return ;;\n";
}

// Options of one command, named and shown in its help; the arms complete
// their values: listed values, a folder for DIR, nothing for other texts.
std::string options_part(const CLI::App& command, std::string& words) {
    std::string arms;
    for (const CLI::Option* option :
         command.get_options([](const CLI::Option* o) { return o->nonpositional(); })) {
        if (option->get_group().empty())
            continue; // hidden
        const std::vector<std::string> names = option_names(*option);
        for (const std::string& name : names)
            words += (words.empty() ? "" : " ") + name;
        if (option->get_expected_max() == 0)
            continue; // a flag
        const std::vector<std::string> values = listed_values(*option);
        if (!values.empty())
            arms += value_arm(names, "_kgfconv_values \"" + joined(values) + "\"");
        else if (option->get_type_name().rfind("DIR", 0) == 0)
            arms += value_arm(names, "_kgfconv_folders");
        else
            arms += value_arm(names, ":");
    }
    return arms;
}

// The settings by name, each offered with its "=", and their values.
std::string settings_part(std::string& words) {
    std::string arms;
    for (const setting_field& field : setting_fields) {
        words += (words.empty() ? "" : " ") + std::string(field.name) + "=";
        if (field.kind == setting_kind::text) {
            arms +=
                value_arm({field.name},
                          field.size == static_cast<size_t>(path_bytes) ? "_kgfconv_folders" : ":");
            continue;
        }
        std::vector<std::string> values;
        for (int value = field.low; value <= field.high; ++value)
            if (!field.only_ends || value == field.low || value == field.high)
                values.push_back(std::to_string(value));
        arms += value_arm({field.name}, "_kgfconv_values \"" + joined(values) + "\"");
    }
    return arms;
}

const char script_head[] =
    R"(# bash completion of kgfconv: its commands, options, their values and the
# names and values of its settings. Written by kgfconv itself.

_kgfconv_values() { # words offered for the value being typed
    mapfile -t COMPREPLY < <(compgen -P "$prefix" -W "$1" -- "$value")
}

_kgfconv_folders() {
    [[ -z $prefix ]] && compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -d -P "$prefix" -- "$value")
}

_kgfconv() {
    COMPREPLY=()
    local cur=${COMP_WORDS[COMP_CWORD]} prev= before= command= words= i
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    ((COMP_CWORD > 1)) && before=${COMP_WORDS[COMP_CWORD - 2]}
    # The value being typed and what it belongs to: NAME=VALUE or --option=VALUE
    # (bash may have split the word at its "="), or an option's next word.
    local key= value=$cur prefix=
    if [[ $cur == = ]]; then
        key=$prev value=
    elif [[ $prev == = ]]; then
        key=$before
    elif [[ $cur == ?*=* ]]; then
        key=${cur%%=*} value=${cur#*=} prefix=$key=
    elif [[ $prev == -* ]]; then
        key=$prev
    fi
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        )";

const char script_tail[] =
    R"(    if [[ $cur == -* || $command == "" || $command == settings ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
        [[ $command == settings && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
    else
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}
complete -F _kgfconv kgfconv
)";

} // namespace

std::string bash_completion(const CLI::App& app) {
    const std::vector<const CLI::App*> commands =
        app.get_subcommands([](const CLI::App*) { return true; });
    std::string command_names;
    for (const CLI::App* command : commands)
        command_names += (command_names.empty() ? "" : "|") + command->get_name();

    std::string script = script_head;
    script += command_names + ") command=${COMP_WORDS[i]}; break ;;\n        esac\n    done\n";
    script += "    case $command in\n";
    std::string top_words;
    for (const CLI::App* command : commands)
        top_words += (top_words.empty() ? "" : " ") + command->get_name();
    const std::string top_arms = options_part(app, top_words);
    script += "    \"\")\n        words=\"" + top_words + "\"\n";
    if (!top_arms.empty())
        script += "        case $key in\n" + top_arms + "        esac\n";
    script += "        ;;\n";
    for (const CLI::App* command : commands) {
        std::string words;
        std::string arms = options_part(*command, words);
        if (command->get_name() == "settings")
            arms += settings_part(words);
        script += "    " + command->get_name() + ")\n        words=\"" + words + "\"\n";
        if (!arms.empty())
            script += "        case $key in\n" + arms + "        esac\n";
        script += "        ;;\n";
    }
    script += "    esac\n";
    return script + script_tail;
}

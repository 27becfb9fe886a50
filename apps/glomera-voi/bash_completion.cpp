#include "apps/glomera-voi/bash_completion.h"

#include <utility>
#include <vector>

namespace {

// The script, with @NAME@ marks for what the command line gives.
constexpr const char kScript[] =
    R"(# bash completion for @PROGRAM@, made from its command line by @PROGRAM@-completion: do not edit.
@FUNCTION@() {
    local cur prev words cword split
    _init_completion -s || return
    local command="" options i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
        @COMMAND_PATTERN@)
            command=${words[i]}
            break
            ;;
        esac
    done
    case $command in
    "")
        COMPREPLY=($(compgen -W '@COMMANDS_AND_OPTIONS@' -- "$cur"))
        return
        ;;
@CASES@    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        _filedir
    fi
}
complete -F @FUNCTION@ @PROGRAM@
)";

// One subcommand: what follows its options that take values, then its options.
constexpr const char kCommandCase[] = R"(    @COMMAND@)
@VALUES@        options='@OPTIONS@'
        ;;
)";
constexpr const char kValues[] = R"(        case $prev in
@CASES@        esac
)";
constexpr const char kChoicesCase[] = R"(        @NAMES@)
            COMPREPLY=($(compgen -W '@CHOICES@' -- "$cur"))
            return
            ;;
)";
constexpr const char kFilesCase[] = R"(        @NAMES@)
            _filedir
            return
            ;;
)";

std::string filledIn(std::string text,
                     const std::vector<std::pair<std::string, std::string>>& marks) {
    for (const auto& [mark, value] : marks) {
        for (std::size_t at = text.find(mark); at != std::string::npos;
             at = text.find(mark, at + value.size())) {
            text.replace(at, mark.size(), value);
        }
    }
    return text;
}

// Words the script may hold unquoted: option names, command names, choices.
bool plainWord(const std::string& word) {
    if (word.empty()) return false;
    for (const char c : word) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '+';
        if (!plain) return false;
    }
    return true;
}

std::string joined(const std::vector<std::string>& words, const char* separator) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : separator) + word;
    return text;
}

// "-o --output" for an option declared "-o,--output"; nothing for an argument.
std::vector<std::string> namesOf(const CLI::Option& option) {
    std::vector<std::string> names;
    for (const std::string& name : option.get_snames()) names.push_back("-" + name);
    for (const std::string& name : option.get_lnames()) names.push_back("--" + name);
    std::vector<std::string> plain;
    for (const std::string& name : names) {
        if (plainWord(name)) plain.push_back(name);
    }
    return plain;
}

// The choices a type name shows as a CLI11 set, "TEXT:{tal,mni}"; none for other values.
std::vector<std::string> choicesOf(const CLI::Option& option) {
    const std::string type = option.get_type_name();
    const std::size_t open = type.find('{');
    const std::size_t close = type.find('}', open);
    if (open == std::string::npos || close == std::string::npos) return {};
    std::vector<std::string> choices;
    std::string choice;
    for (std::size_t i = open + 1; i <= close; ++i) {
        if (type[i] == ',' || i == close) {
            if (plainWord(choice)) choices.push_back(choice);
            choice.clear();
        } else {
            choice += type[i];
        }
    }
    return choices;
}

std::string commandCase(const CLI::App& command) {
    std::vector<std::string> options, takeFiles;
    std::string values;
    for (const CLI::Option* option : command.get_options()) {
        const std::vector<std::string> names = namesOf(*option);
        options.insert(options.end(), names.begin(), names.end());
        if (names.empty() || option->get_items_expected_max() == 0) continue;  // a flag
        const std::vector<std::string> choices = choicesOf(*option);
        if (choices.empty()) {
            takeFiles.insert(takeFiles.end(), names.begin(), names.end());
        } else {
            values += filledIn(kChoicesCase, {{"@NAMES@", joined(names, " | ")},
                                              {"@CHOICES@", joined(choices, " ")}});
        }
    }
    if (!takeFiles.empty()) values += filledIn(kFilesCase, {{"@NAMES@", joined(takeFiles, " | ")}});
    return filledIn(kCommandCase,
                    {{"@COMMAND@", command.get_name()},
                     {"@VALUES@", values.empty() ? "" : filledIn(kValues, {{"@CASES@", values}})},
                     {"@OPTIONS@", joined(options, " ")}});
}

}  // namespace

std::string bashCompletion(const CLI::App& app) {
    std::string function = "_";
    for (const char c : app.get_name()) function += plainWord({c}) && c != '-' ? c : '_';
    std::vector<std::string> commands, words;
    std::string cases;
    for (const CLI::App* command : app.get_subcommands({})) {
        if (!plainWord(command->get_name())) continue;
        commands.push_back(command->get_name());
        cases += commandCase(*command);
    }
    words = commands;
    for (const CLI::Option* option : app.get_options()) {
        const std::vector<std::string> names = namesOf(*option);
        words.insert(words.end(), names.begin(), names.end());
    }
    return filledIn(kScript, {{"@PROGRAM@", app.get_name()},
                              {"@FUNCTION@", function},
                              {"@COMMAND_PATTERN@", joined(commands, " | ")},
                              {"@COMMANDS_AND_OPTIONS@", joined(words, " ")},
                              {"@CASES@", cases}});
}

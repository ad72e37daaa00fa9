#include "program_options.h"

#include <CLI/CLI.hpp>

namespace korvel {

namespace {

constexpr std::size_t kHelpColumn = 26;

// Every use runs its reader at once, so errors come in command-line order and
// a repeated option is read use by use.
CLI::Option* ReadEachUse(CLI::Option* option) {
    return option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)->trigger_on_parse();
}

}  // namespace

void PrepareOptions(CLI::App& app) {
    app.set_help_flag();
    // "/name" is no option on Windows either: the same arguments work everywhere.
    app.allow_windows_style_options(false);
    app.get_formatter()->column_width(kHelpColumn);
}

CLI::Option* AddValueOption(CLI::App& app, const std::string& name, const std::string& valueName,
                            const std::string& description, OptionReader read) {
    CLI::Option* option = app.add_option(
        name,
        [name, read = std::move(read)](const CLI::results_t& uses) {
            for (const std::string& text : uses) {
                if (std::string why = read(text); !why.empty()) {
                    throw CLI::ValidationError(name, why);
                }
            }
            return true;
        },
        description);
    option->type_name(valueName)->type_size(1)->expected(1)->allow_extra_args(false);
    return ReadEachUse(option);
}

CLI::Option* AddSwitch(CLI::App& app, const std::string& names, const std::string& description,
                       SwitchAction act) {
    // The name the messages use: the last of "-h,--help".
    const std::string name = names.substr(names.rfind(',') + 1);
    CLI::Option* option = app.add_flag_callback(
        names,
        [name, act = std::move(act)] {
            if (std::string why = act(); !why.empty()) {
                throw CLI::ValidationError(name, why);
            }
        },
        description);
    return ReadEachUse(option->disable_flag_override());
}

CLI::Option* AddSwitch(CLI::App& app, const std::string& names, const std::string& description,
                       bool& on) {
    return AddSwitch(app, names, description, [&on] {
        on = true;
        return std::string();
    });
}

std::string ParseOptions(CLI::App& app, const std::vector<std::string>& args) {
    // CLI11 takes its arguments last first. "--name=" is an empty value, as
    // "--name ''" is (CLI11 alone would take the next argument instead).
    std::vector<std::string> reversed;
    reversed.reserve(args.size() + 1);
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        const std::string& arg = *it;
        if (arg.size() > 3 && arg.rfind("--", 0) == 0 && arg.find('=') == arg.size() - 1) {
            reversed.emplace_back();
            reversed.push_back(arg.substr(0, arg.size() - 1));
        } else {
            reversed.push_back(arg);
        }
    }
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        return e.what();
    }
    return "";
}

}  // namespace korvel

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

ProgramOptions::ProgramOptions(const std::string& about, const std::string& name)
    : app_(std::make_unique<CLI::App>(about, name)) {
    // Help is a switch of the program's own (see AddSwitch).
    app_->set_help_flag();
    // "/name" is no option on Windows either: the same arguments work everywhere.
    app_->allow_windows_style_options(false);
    app_->get_formatter()->column_width(kHelpColumn);
}

ProgramOptions::~ProgramOptions() = default;

void ProgramOptions::Footer(const std::string& text) {
    app_->footer(text);
}

bool ProgramOptions::Given(const std::string& name) const {
    return app_->count(name) > 0;
}

std::string ProgramOptions::Help() const {
    return app_->help();
}

void AddValueOption(ProgramOptions& options, const std::string& name, const std::string& valueName,
                    const std::string& description, OptionReader read) {
    CLI::Option* option = options.App().add_option(
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
    ReadEachUse(option);
}

void AddOptionalValueOption(ProgramOptions& options, const std::string& name,
                            const std::string& valueName, const std::string& description,
                            OptionReader read) {
    CLI::Option* option = options.App().add_option(
        name,
        [name, read = std::move(read)](const CLI::results_t& uses) {
            const CLI::results_t bare{std::string()};
            for (const std::string& text : uses.empty() ? bare : uses) {
                if (std::string why = read(text); !why.empty()) {
                    throw CLI::ValidationError(name, why);
                }
            }
            return true;
        },
        description);
    option->type_name("[" + valueName + "]")->type_size(1)->expected(0, 1)->allow_extra_args(false);
    ReadEachUse(option);
}

void AddSwitch(ProgramOptions& options, const std::string& names, const std::string& description,
               SwitchAction act) {
    // The name the messages use: the last of "-h,--help".
    const std::string name = names.substr(names.rfind(',') + 1);
    CLI::Option* option = options.App().add_flag_callback(
        names,
        [name, act = std::move(act)] {
            if (std::string why = act(); !why.empty()) {
                throw CLI::ValidationError(name, why);
            }
        },
        description);
    ReadEachUse(option->disable_flag_override());
}

void AddSwitch(ProgramOptions& options, const std::string& names, const std::string& description,
               bool& on) {
    AddSwitch(options, names, description, [&on] {
        on = true;
        return std::string();
    });
}

std::string ParseOptions(ProgramOptions& options, const std::vector<std::string>& args) {
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
        options.App().parse(reversed);
    } catch (const CLI::ParseError& e) {
        return e.what();
    }
    return "";
}

}  // namespace korvel

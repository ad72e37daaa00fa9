// The programs' options, declared the same way in all three on CLI11. A value
// option takes one argument per use and hands each use, in command-line
// order, to a reader that stores it or says what is wrong with it: a repeated
// option sees every use (the last setting wins, lists grow), and the first bad
// value stops the parse with "--name: why". Help is an ordinary switch, so a
// bad argument beside --help is still refused.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace CLI {
class App;
}  // namespace CLI

namespace korvel {

// Stores `text` and returns "", or returns what is wrong with it.
using OptionReader = std::function<std::string(const std::string& text)>;
// Acts on a switch and returns "", or returns why it cannot be given.
using SwitchAction = std::function<std::string()>;

// One program's options. The parser stays inside program_options.cpp, the
// only file that compiles CLI11 (a heavy header).
class ProgramOptions {
  public:
    ProgramOptions(const std::string& about, const std::string& name);
    ~ProgramOptions();
    ProgramOptions(const ProgramOptions&) = delete;
    ProgramOptions& operator=(const ProgramOptions&) = delete;

    // A line below the options in the help text.
    void Footer(const std::string& text);
    // True when the option was given in the last parse.
    bool Given(const std::string& name) const;
    std::string Help() const;
    CLI::App& App() { return *app_; }

  private:
    std::unique_ptr<CLI::App> app_;
};

// `valueName` names the value in the help text (e.g. "KHZ").
void AddValueOption(ProgramOptions& options, const std::string& name, const std::string& valueName,
                    const std::string& description, OptionReader read);

// As AddValueOption, but the value may be left out ("--name" alone, or
// followed by another option): the reader then gets "".
void AddOptionalValueOption(ProgramOptions& options, const std::string& name,
                            const std::string& valueName, const std::string& description,
                            OptionReader read);

// `names` such as "-h,--help"; "--switch=VALUE" is refused.
void AddSwitch(ProgramOptions& options, const std::string& names, const std::string& description,
               SwitchAction act);
void AddSwitch(ProgramOptions& options, const std::string& names, const std::string& description,
               bool& on);

// Parses the arguments after the program name; "" or the message for the
// user, which names the option or argument that was refused.
std::string ParseOptions(ProgramOptions& options, const std::vector<std::string>& args);

}  // namespace korvel

// The programs' options, declared the same way in all three on CLI11. A value
// option takes one argument per use and hands each use, in command-line
// order, to a reader that stores it or says what is wrong with it: a repeated
// option sees every use (the last setting wins, lists grow), and the first bad
// value stops the parse with "--name: why". Help is an ordinary switch, so a
// bad argument beside --help is still refused.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace korvel {

// Stores `text` and returns "", or returns what is wrong with it.
using OptionReader = std::function<std::string(const std::string& text)>;
// Acts on a switch and returns "", or returns why it cannot be given.
using SwitchAction = std::function<std::string()>;

// Sets the layout the programs share and drops CLI11's own help flag.
void PrepareOptions(CLI::App& app);

// `valueName` names the value in the help text (e.g. "KHZ").
CLI::Option* AddValueOption(CLI::App& app, const std::string& name, const std::string& valueName,
                            const std::string& description, OptionReader read);

// `names` such as "-h,--help"; "--switch=VALUE" is refused.
CLI::Option* AddSwitch(CLI::App& app, const std::string& names, const std::string& description,
                       SwitchAction act);
CLI::Option* AddSwitch(CLI::App& app, const std::string& names, const std::string& description,
                       bool& on);

// Parses the arguments after the program name; "" or the message for the
// user, which names the option or argument that was refused.
std::string ParseOptions(CLI::App& app, const std::vector<std::string>& args);

}  // namespace korvel

// SPDX-License-Identifier: MIT
#pragma once
// The command line of every program, on every system: options by name, help, version and usage
// errors alike. A usage error ends the program with status 64 (EX_USAGE), never with 1, which
// scripts read as a failure.
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tova::cli {

inline constexpr int kUsageError = 64;

struct Option {
    std::string name;      // without its dashes: "com1"
    std::string valueName; // as help names the value ("path"); empty: a flag that takes none
    std::string help;
    std::string defaultValue = {}; // what value() gives when the option is not set
    bool hidden = false;           // taken, but not told of in the help
};

struct Program {
    std::string name;        // "tova-send"
    std::string version;     // "1.40.0"
    std::string description; // as it stands, its own lines kept
    std::vector<Option> options;
    // Positional arguments: as the usage line writes them ("CODE...") and help tells of them;
    // empty: none is expected (a stray one is for the program to refuse).
    std::string arguments = {}, argumentName = {}, argumentHelp = {};
    bool singleDashLong = false; // "-platform x" is "--platform x", as Qt's own options take it
};

// What a program does after its command line: go on (exitCode -1), or print message and end.
struct Outcome {
    int exitCode = -1;
    std::string message;
    bool toStdout = false; // help and version go to standard output, errors to standard error
    bool goOn() const { return exitCode < 0; }
};

// The options as given.
class Arguments {
  public:
    bool isSet(std::string_view name) const { return m_values.contains(name); }
    // The last value given, else the option's default.
    std::string value(std::string_view name) const;
    // Every value given, in order.
    std::vector<std::string> values(std::string_view name) const;
    const std::vector<std::string>& positional() const { return m_positional; }

  private:
    friend std::variant<Arguments, Outcome> parse(const Program&, std::span<const std::string>);
    std::map<std::string, std::vector<std::string>, std::less<>> m_values;
    std::map<std::string, std::string, std::less<>> m_defaults;
    std::vector<std::string> m_positional;
};

// The arguments after the program's name. Help and version come back as an outcome to print,
// a mistake as a usage error; otherwise the options as given.
std::variant<Arguments, Outcome> parse(const Program& program, std::span<const std::string> arguments);

// The same, the options handed to take, which reads them into the program's own and says what is
// wrong with them, if anything: that is then the usage error.
using Take = std::function<std::optional<std::string>(const Arguments&)>;
Outcome parse(const Program& program, std::span<const std::string> arguments, const Take& take);

// The help text: usage, description, options (each wrapped to 79 columns), arguments.
std::string helpText(const Program& program);

// A usage error: "program: text (see --help)".
Outcome usageError(std::string_view program, std::string_view text);

// The program's arguments as given, its name left out.
std::vector<std::string> argumentsOf(int argc, char** argv);

// Prints the outcome's message where it belongs and returns its exit status.
int finish(const Outcome& outcome);

} // namespace tova::cli

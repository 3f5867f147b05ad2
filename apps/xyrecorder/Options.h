// Command-line arguments: options defined once each (long name, short letter,
// value, help), read strictly from "--name value", "--name=value", "-n value"
// or "-nvalue", and positional words; "--" ends the options. Numbers are
// parsed strictly, here and in session scripts.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// Bad usage: the program prints the message and exits with code 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Bad input data or a failed action: message, exit code 1.
struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One option as the user gives it and as help shows it.
struct OptionDefinition {
    std::string name;   // given as --name
    char letter = 0;    // also given as -letter; 0 for none
    std::string value;  // what it takes, shown in help ("PATH"); empty for a flag
    std::string help;   // one or more lines
};
using OptionGroup = std::vector<OptionDefinition>;

// --help and -h, which every command takes.
extern const OptionDefinition kHelpOption;

class Options {
public:
    // Reads arguments against definitions. A value may not be empty; a flag takes
    // none. Anything else that looks like an option is a UsageError naming it;
    // "-" alone is a positional word (standard input or output).
    Options(const std::vector<std::string>& arguments, const OptionGroup& definitions);

    bool Has(const std::string& name) const { return values_.count(name) > 0; }
    std::string Text(const std::string& name, const std::string& fallback) const;
    double Number(const std::string& name, double fallback, double low, double high) const;
    long Integer(const std::string& name, long fallback, long low, long high) const;
    const std::vector<std::string>& Positional() const { return positional_; }

private:
    std::map<std::string, std::string> values_;
    std::vector<std::string> positional_;
};

// Whether the arguments ask for help (--help or -h before any "--").
bool AsksForHelp(const std::vector<std::string>& arguments);

// The options' help, one aligned entry each: "  -o, --out PATH    the PNG...".
std::string OptionsHelp(const OptionGroup& definitions);

// Strict parsers: the whole text, finite, within [low, high]. what names the
// value in the message ("--rate", "width").
double ParseNumber(const std::string& text, const std::string& what, double low, double high);
long ParseInteger(const std::string& text, const std::string& what, long low, long high);

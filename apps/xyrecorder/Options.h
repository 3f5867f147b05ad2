// Command-line and script arguments: "--name value" or "--name=value" options
// and positional words, with numbers parsed strictly.
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

class Options {
public:
    // valueOptions take a value, which may not be empty; flagOptions take
    // none. Anything else that starts with "--" is a UsageError naming it.
    Options(const std::vector<std::string>& arguments, const std::vector<std::string>& valueOptions,
            const std::vector<std::string>& flagOptions);

    bool Has(const std::string& name) const { return values_.count(name) > 0; }
    std::string Text(const std::string& name, const std::string& fallback) const;
    double Number(const std::string& name, double fallback, double low, double high) const;
    long Integer(const std::string& name, long fallback, long low, long high) const;
    const std::vector<std::string>& Positional() const { return positional_; }

private:
    std::map<std::string, std::string> values_;
    std::vector<std::string> positional_;
};

// Strict parsers: the whole text, finite, within [low, high]. what names the
// value in the message ("--rate", "width").
double ParseNumber(const std::string& text, const std::string& what, double low, double high);
long ParseInteger(const std::string& text, const std::string& what, long low, long high);

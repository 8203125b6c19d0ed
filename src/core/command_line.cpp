// SPDX-License-Identifier: MIT
#include "core/command_line.hpp"

#include <algorithm>
#include <cstdio>

namespace tova::cli {
namespace {

constexpr std::size_t kWidth = 79;

const Option kHelp{"help", "", "Displays help on commandline options."};
const Option kVersion{"version", "", "Displays version information."};

const Option* find(const Program& p, std::string_view name) {
    for (const Option& o : p.options)
        if (o.name == name) return &o;
    return nullptr;
}

std::string namesOf(const Option& o) {
    std::string s = o.name == "help" ? "-h, --help" : o.name == "version" ? "-v, --version" : "--" + o.name;
    if (!o.valueName.empty()) s += " <" + o.valueName + ">";
    return s;
}

// A word too long for a line, in pieces that fit after a closing bracket where there is one
// ("HOST:PORT[/ADDRESS][,name=TEXT]..."). Anything else stays whole, past the line's end: a path
// or a registry key cut in two cannot be copied.
std::vector<std::string_view> pieces(std::string_view word, std::size_t width) {
    std::vector<std::string_view> out;
    while (word.size() > width) {
        const std::size_t cut = word.rfind(']', width - 1);
        if (cut == std::string_view::npos || cut == 0) break;
        out.push_back(word.substr(0, cut + 1));
        word.remove_prefix(cut + 1);
    }
    out.push_back(word);
    return out;
}

// text in lines of at most width, broken at blanks.
std::vector<std::string> wrapped(std::string_view text, std::size_t width) {
    std::vector<std::string> lines{""};
    std::vector<std::string_view> words;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        for (std::string_view piece : pieces(text.substr(at, end - at), width)) words.push_back(piece);
        at = end + 1;
    }
    for (std::string_view word : words) {
        if (word.empty()) continue;
        std::string& line = lines.back();
        if (line.empty()) line = word;
        else if (line.size() + 1 + word.size() <= width) line += " " + std::string(word);
        else lines.emplace_back(word);
    }
    return lines;
}

void column(std::string& out, std::string_view names, std::string_view help, std::size_t at) {
    std::string head = "  " + std::string(names);
    head.resize(std::max(head.size() + 2, at), ' ');
    const std::size_t indent = head.size();
    bool first = true;
    for (const std::string& line : wrapped(help, indent < kWidth - 20 ? kWidth - indent : 20)) {
        out += first ? head : std::string(indent, ' ');
        out += line + "\n";
        first = false;
    }
}

} // namespace

std::string Arguments::value(std::string_view name) const {
    if (auto it = m_values.find(name); it != m_values.end() && !it->second.empty()) return it->second.back();
    auto d = m_defaults.find(name);
    return d == m_defaults.end() ? std::string() : d->second;
}

std::vector<std::string> Arguments::values(std::string_view name) const {
    auto it = m_values.find(name);
    return it == m_values.end() ? std::vector<std::string>() : it->second;
}

std::variant<Arguments, Outcome> parse(const Program& p, std::span<const std::string> arguments) {
    Arguments a;
    for (const Option& o : p.options) a.m_defaults.emplace(o.name, o.defaultValue);
    bool help = false, version = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--") {
            a.m_positional.insert(a.m_positional.end(), arguments.begin() + std::ptrdiff_t(i) + 1, arguments.end());
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            a.m_positional.push_back(arg);
            continue;
        }
        const bool dashes = arg[1] == '-';
        std::string_view word = std::string_view(arg).substr(dashes ? 2 : 1);
        if (!dashes && (word == "h" || word == "?")) word = "help";
        else if (!dashes && word == "v") word = "version";
        else if (!dashes && !p.singleDashLong) return usageError(p.name, "Unknown option '" + std::string(word) + "'.");
        std::optional<std::string> given;
        if (const std::size_t eq = word.find('='); eq != std::string_view::npos) {
            given = std::string(word.substr(eq + 1));
            word = word.substr(0, eq);
        }
        if (word == "help" || word == "version") {
            (word == "help" ? help : version) = true;
            continue;
        }
        const Option* o = find(p, word);
        if (!o) return usageError(p.name, "Unknown option '" + std::string(word) + "'.");
        if (o->valueName.empty()) {
            if (given) return usageError(p.name, "Unexpected value after '" + arg.substr(0, arg.find('=')) + "'.");
            a.m_values[o->name];
            continue;
        }
        if (!given) {
            if (i + 1 == arguments.size()) return usageError(p.name, "Missing value after '" + arg + "'.");
            given = arguments[++i];
        }
        a.m_values[o->name].push_back(*given);
    }
    if (help) return Outcome{0, helpText(p), true};
    if (version) return Outcome{0, p.name + " " + p.version + "\n", true};
    return a;
}

Outcome parse(const Program& p, std::span<const std::string> arguments, const Take& take) {
    auto parsed = parse(p, arguments);
    if (auto* outcome = std::get_if<Outcome>(&parsed)) return *outcome;
    if (auto wrong = take(std::get<Arguments>(parsed))) return usageError(p.name, *wrong);
    return {};
}

std::string helpText(const Program& p) {
    std::string out = "Usage: " + p.name + " [options]" + (p.arguments.empty() ? "" : " " + p.arguments) + "\n";
    if (!p.description.empty()) out += p.description + "\n";
    std::vector<const Option*> shown;
    for (const Option& o : p.options)
        if (!o.hidden) shown.push_back(&o);
    shown.push_back(&kHelp);
    shown.push_back(&kVersion);
    std::size_t at = p.argumentName.size() + 4;
    for (const Option* o : shown) at = std::max(at, namesOf(*o).size() + 4);
    out += "\nOptions:\n";
    for (const Option* o : shown) column(out, namesOf(*o), o->help, at);
    if (!p.argumentName.empty()) {
        out += "\nArguments:\n";
        column(out, p.argumentName, p.argumentHelp, at);
    }
    return out;
}

Outcome usageError(std::string_view program, std::string_view text) {
    return {kUsageError, std::string(program) + ": " + std::string(text) + " (see --help)\n"};
}

std::vector<std::string> argumentsOf(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
}

int finish(const Outcome& outcome) {
    std::FILE* to = outcome.toStdout ? stdout : stderr;
    std::fputs(outcome.message.c_str(), to);
    std::fflush(to);
    return outcome.exitCode;
}

} // namespace tova::cli

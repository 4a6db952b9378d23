#include "cli/cli.hpp"

#include <iostream>
#include <map>
#include <ostream>
#include <span>
#include <string_view>

#include "cli/commands.hpp"
#include "dodiveverazed/project.hpp"
#include "fragments/fragment_size.hpp"
#include "texts/texts.hpp"

namespace cli {

namespace {

namespace says = texts::utf8;

// A call the command line does not understand; run() answers it with usageError.
struct UsageError {
    std::string message;
};

// One option of a command: "-s KB", "-sKB", "--size KB" or "--size=KB"; a flag takes no value.
struct Option {
    char shortName;  // '\0' when there is none
    std::string_view longName;
    bool takesValue;
};

// What the arguments of a command say.
struct Parsed {
    // By long name; a flag maps to "".
    std::map<std::string, std::string, std::less<>> options;
    std::vector<std::string> files;
    bool help = false;
    bool version = false;

    bool has(std::string_view name) const { return options.find(name) != options.end(); }
};

bool isOption(std::string_view argument) {
    return argument.size() > 1 && argument.front() == '-';
}

const Option* findOption(std::string_view argument, std::span<const Option> known,
                         std::optional<std::string>& value) {
    std::string_view name;
    if (argument.starts_with("--")) {
        const auto equals = argument.find('=');
        name = argument.substr(2, equals == std::string_view::npos ? equals : equals - 2);
        if (equals != std::string_view::npos) {
            value = std::string(argument.substr(equals + 1));
        }
    } else if (argument.size() > 2) {
        value = std::string(argument.substr(2));
    }
    for (const Option& option : known) {
        if (argument.starts_with("--") ? name == option.longName : argument[1] == option.shortName) {
            return &option;
        }
    }
    return nullptr;
}

// Options may stand anywhere before "--"; everything else is a file name. Throws UsageError.
Parsed parse(std::span<const std::string> args, std::span<const Option> known) {
    Parsed parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& argument = args[i];
        if (optionsEnded || !isOption(argument)) {
            parsed.files.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-h" || argument == "--help") {
            parsed.help = true;
        } else if (argument == "--version") {
            parsed.version = true;
        } else {
            std::optional<std::string> value;
            const Option* option = findOption(argument, known, value);
            if (!option || (value && !option->takesValue)) {
                throw UsageError{says::unknownOption(argument)};
            }
            if (option->takesValue && !value) {
                if (i + 1 == args.size()) {
                    throw UsageError{says::missingValue(argument)};
                }
                value = args[++i];
            }
            parsed.options[std::string(option->longName)] = value.value_or(std::string());
        }
    }
    return parsed;
}

// "-" stands for standard input or output, never for a file of that name.
const std::string& notStandardStream(const std::string& name) {
    if (name == "-") {
        throw UsageError{says::standardStreamUse};
    }
    return name;
}

const std::string& onlyFile(const Parsed& parsed) {
    if (parsed.files.empty()) {
        throw UsageError{says::missingFileName};
    }
    if (parsed.files.size() > 1) {
        throw UsageError{says::oneFileNameOnly};
    }
    return notStandardStream(parsed.files.front());
}

int runSplit(const Parsed& parsed, const Output& output) {
    SplitRequest request;
    // "split --name NAME -": standard input, its set named NAME.
    const auto name = parsed.options.find("name");
    request.fromInput =
        parsed.files.size() == 1 && parsed.files.front() == "-" && name != parsed.options.end();
    request.source = request.fromInput ? name->second : onlyFile(parsed);
    if (name != parsed.options.end() && !request.fromInput) {
        throw UsageError{says::nameOnlyForInput};
    }
    if (request.fromInput &&
        (request.source.empty() || request.source == "." || request.source == ".." || request.source == "-" ||
         request.source.find_first_of("/\\") != std::string::npos)) {
        throw UsageError{says::invalidStreamName(request.source)};
    }
    if (request.fromInput && parsed.has("parts")) {
        throw UsageError{says::partsNeedAFile};
    }
    if (const auto size = parsed.options.find("size"); size != parsed.options.end()) {
        const Regional& regional = output.console.regional;
        const auto kilobytes =
            fragments::parseSizeWithUnit(size->second, regional.decimalSeparator, regional.groupSeparator);
        if (!kilobytes) {
            throw UsageError{says::notNumeric};
        }
        request.kilobytes = *kilobytes;
    }
    if (const auto parts = parsed.options.find("parts"); parts != parsed.options.end()) {
        const std::string& n = parts->second;
        if (parsed.has("size")) {
            throw UsageError{says::sizeOrParts};
        }
        if (n.empty() || n.size() > 3 || n.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(n) == 0) {
            throw UsageError{says::invalidParts(n)};
        }
        request.parts = std::stoi(n);
    }
    if (const auto folder = parsed.options.find("output-dir"); folder != parsed.options.end()) {
        request.outputFolder = folder->second.empty() ? std::string("-") : folder->second;
    }
    if (const auto percent = parsed.options.find("recovery"); percent != parsed.options.end()) {
        const std::string& p = percent->second;
        if (p.empty() || p.size() > 3 || p.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(p) > 100) {
            throw UsageError{says::invalidRecoveryPercent(p)};
        }
        request.recoveryPercent = std::stoi(p);
    }
    request.script = parsed.has("script");
    request.checksumFile = !parsed.has("no-sfv");
    return split(request, output);
}

int runJoin(const Parsed& parsed, const Output& output) {
    JoinRequest request;
    request.firstFragment = onlyFile(parsed);
    if (const auto target = parsed.options.find("output"); target != parsed.options.end()) {
        request.target = target->second;
    }
    request.allowGap = parsed.has("allow-gap");
    request.force = parsed.has("force");
    request.repair = parsed.has("repair");
    return join(request, output);
}

int runCheck(const Parsed& parsed, const Output& output) {
    return check(onlyFile(parsed), parsed.has("repair"), output);
}

int runCrc(const Parsed& parsed, const Output& output) {
    if (parsed.files.empty()) {
        throw UsageError{says::missingFileName};
    }
    return crc(parsed.files, output);
}

struct Command {
    std::string_view name;
    std::vector<Option> options;
    int (*run)(const Parsed&, const Output&);
};

const std::vector<Command>& commands() {
    static const std::vector<Command> all = {
        {"split",
         {{'s', "size", true},
          {'n', "parts", true},
          {'o', "output-dir", true},
          {'\0', "name", true},
          {'\0', "recovery", true},
          {'\0', "script", false},
          {'\0', "no-sfv", false}},
         runSplit},
        {"join",
         {{'o', "output", true}, {'\0', "allow-gap", false}, {'f', "force", false}, {'\0', "repair", false}},
         runJoin},
        {"check", {{'\0', "repair", false}}, runCheck},
        {"crc", {}, runCrc},
    };
    return all;
}

const Command* findCommand(std::string_view name) {
    for (const Command& command : commands()) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}

int runCommand(const std::vector<std::string>& args, const Output& output) {
    const Command* command = args.empty() ? nullptr : findCommand(args.front());
    const std::span<const std::string> rest = command ? std::span(args).subspan(1) : std::span(args);
    const Parsed parsed = parse(rest, command ? std::span(command->options) : std::span<const Option>());
    if (parsed.help) {
        output.out << says::commandLineHelp(output.console.program, output.console.opensWindow) << std::flush;
        return success;
    }
    if (parsed.version) {
        output.out << "dodiveverazed " << dodiveverazed::version << '\n' << std::flush;
        return success;
    }
    if (!command) {
        throw UsageError{parsed.files.empty() ? says::missingCommand
                                              : says::unknownCommand(parsed.files.front())};
    }
    return command->run(parsed, output);
}

}  // namespace

Launch launchFor(const std::vector<std::string>& args) {
    if (args.empty()) {
        return {true, std::nullopt};
    }
    if (args.size() == 1 && !isOption(args.front()) && !findCommand(args.front())) {
        return {true, args.front()};
    }
    if (args.front() == "--" && args.size() <= 2) {
        return {true, args.size() == 2 && !args.back().empty() ? std::optional(args.back()) : std::nullopt};
    }
    return {false, std::nullopt};
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Console& console) {
    const Output output{out, err, console};
    try {
        return runCommand(args, output);
    } catch (const UsageError& error) {
        err << error.message << '\n' << says::helpHint(console.program) << '\n' << std::flush;
        return usageError;
    }
}

int runInProcess(const std::vector<std::string>& args, const Console& console) {
    catchStopRequests();
    const int status = run(args, std::cout, std::cerr, console);
    // A closed pipe shows itself when the results leave the buffer.
    std::cout.flush();
    if (const int signal = stopRequest()) {
        // A request that came after the work was done stops nothing, and the message does not say it did.
        if (status != success) {
            std::cerr << says::stopped << '\n' << std::flush;
        }
        return 128 + signal;
    }
    return status;
}

}  // namespace cli

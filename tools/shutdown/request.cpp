#include "request.h"

#include <arpa/inet.h>
#include <cctype>
#include <cstdlib>

namespace netvigil_shutdown {

namespace {

constexpr long kLongestWait = 315360000; // ten years, Windows' limit
constexpr std::size_t kLongestComment = 512;

bool IsLiteral(const std::string& host) {
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
           inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

bool LooksLikeAnOption(const std::string& arg) {
    return arg.size() == 2 && (arg[0] == '-' || arg[0] == '/');
}

} // namespace

bool PlainHost(const std::string& host) {
    if (host.empty() || host.front() == '-' || host.front() == '.') {
        return false;
    }
    for (const char c : host) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '.' && c != '-' && c != '_' &&
            c != ':') {
            return false;
        }
    }
    return true;
}

// The windows send -m with one of -s -t -f, -r -t -f or -a, each once. An
// address with blanks in it adds options to that line ("H -r -c" turns a
// shutdown into a restart, the -s swallowed as a comment), so anything else
// is refused: an option given twice, a second action, an option as a value.
std::variant<Request, std::string> ParseArguments(const std::vector<std::string>& args) {
    Request request;
    std::string seen;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!LooksLikeAnOption(arg)) {
            return "\"" + arg + "\" is not an option it knows";
        }
        const char option = static_cast<char>(std::tolower(static_cast<unsigned char>(arg[1])));
        if (std::string("mtsrafc").find(option) == std::string::npos) {
            return "\"" + arg + "\" is not an option it knows";
        }
        if (seen.find(option) != std::string::npos) {
            return std::string("-") + option + " is given twice";
        }
        seen += option;
        if (option == 's' || option == 'r' || option == 'a') {
            if (request.action != 0) {
                return "give only one of -s, -r and -a";
            }
            request.action = option;
            continue;
        }
        if (option == 'f') {
            request.force = true;
            continue;
        }
        const std::string* value = i + 1 < args.size() ? &args[++i] : nullptr;
        if (option == 'm') {
            if (value == nullptr || !value->starts_with("\\\\")) {
                return "-m takes one \\\\HOST";
            }
            request.host = value->substr(2);
        } else if (option == 't') {
            char* end = nullptr;
            const long n = value != nullptr ? std::strtol(value->c_str(), &end, 10) : -1;
            if (value == nullptr || value->empty() || *end != '\0' || n < 0 || n > kLongestWait) {
                return "-t takes a number of seconds";
            }
            request.seconds = n;
        } else {
            if (value == nullptr || value->size() > kLongestComment) {
                return "-c takes a comment of at most 512 characters";
            }
            if (LooksLikeAnOption(*value)) {
                return "-c takes a comment, not the option " + *value;
            }
            request.comment = *value;
        }
    }
    if (request.action == 0) {
        return "say what to do: -s, -r or -a";
    }
    if (seen.find('m') == std::string::npos) {
        return "this machine is never shut down from here: name a remote one with -m \\\\HOST";
    }
    if (!PlainHost(request.host)) {
        return "\"" + request.host + "\" is not a host name or address";
    }
    return request;
}

std::vector<std::string> NetCommand(const Request& request) {
    // net's -I takes an address; a machine name goes with -S.
    std::vector<std::string> command = {"net", "rpc",
                                        request.action == 'a' ? "abortshutdown" : "shutdown",
                                        IsLiteral(request.host) ? "-I" : "-S", request.host};
    if (request.action == 'a') {
        return command;
    }
    // Windows' default wait is 30 s; net's -t 0 would mean its own 20 s,
    // so "at once" becomes the shortest wait net knows, 1 s.
    const long seconds = request.seconds.value_or(30);
    command.insert(command.end(), {"-t", std::to_string(seconds == 0 ? 1 : seconds)});
    if (request.action == 'r') {
        command.push_back("-r");
    }
    if (request.force) {
        command.push_back("-f");
    }
    if (request.comment) {
        command.insert(command.end(), {"-C", *request.comment});
    }
    return command;
}

} // namespace netvigil_shutdown

#include "platform/linux/TXdgShell.h"

#include <cctype>
#include <sys/wait.h>
#include <unistd.h>

namespace parlino {

std::vector<std::string> TXdgShell::CommandFor(const std::string& target, const std::string& parameters) {
    // A mail target arrives as "Mailto: name@host"; desktop handlers want a URI.
    static const std::string mailPrefix = "mailto: ";
    std::string t = target;
    if (t.size() > mailPrefix.size()) {
        std::string head = t.substr(0, mailPrefix.size());
        for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (head == mailPrefix) t = "mailto:" + t.substr(mailPrefix.size());
    }
    if (!parameters.empty()) t += " " + parameters;
    if (!t.empty() && t[0] == '/') t = FileUrl(t);
    return {"xdg-open", t};
}

std::string TXdgShell::FileUrl(const std::string& path) {
    static const char* const hex = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

void TXdgShell::Open(const std::string& target, const std::string& parameters, bool /*maximized*/) {
    std::vector<std::string> args = CommandFor(target, parameters);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // Double fork: the grandchild is adopted by init, the child is reaped here.
    pid_t child = fork();
    if (child == 0) {
        if (fork() == 0) {
            setsid();
            execvp(argv[0], argv.data());
            _exit(127);
        }
        _exit(0);
    }
    if (child > 0) waitpid(child, nullptr, 0);
}

} // namespace parlino

// A stand-in for a program that Netvigil starts (shutdown.exe, explorer.exe):
// it appends the command line it was given, as Windows passed it, to a file
// of its own name with .txt for .exe, and ends.

#include <cstdio>
#include <string>
#include <windows.h>

int main() {
    std::string path(MAX_PATH, '\0');
    path.resize(GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size())));
    path = path.substr(0, path.size() - 4) + ".txt";
    if (std::FILE* record = std::fopen(path.c_str(), "ab")) {
        std::fprintf(record, "%s\n", GetCommandLineA());
        std::fclose(record);
    }
    return 0;
}

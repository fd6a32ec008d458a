#include "tests/game/game_report.h"

#include "tests/support/win_files.h"
#include "tools/medium/prot_d/game_facts.h"

#include <windows.h>

#include <cstring>

std::map<std::string, std::string> ReadGameReport(const std::string& path)
{
    std::map<std::string, std::string> facts;
    std::string text = test::ReadWholeFile(path);
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::size_t equals = line.find('=');
        if (equals != std::string::npos)
            facts[line.substr(0, equals)] = line.substr(equals + 1);
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return facts;
}

std::string FirstBytesOfFile(const std::string& path)
{
    std::string bytes = test::ReadWholeFile(path).substr(0, kFirstBytes);
    ViewFacts view;
    view.FirstCount = bytes.size();
    std::memcpy(view.First, bytes.data(), bytes.size());
    return FirstBytesHex(view);
}

// Any handle open on the file makes an open that shares nothing fail.
bool OpenableExclusively(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

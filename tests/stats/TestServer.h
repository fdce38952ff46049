#pragma once

// The loopback servers that web_server.py starts around each test program,
// and the requests they recorded.

#include <cstdlib>
#include <string>
#include <vector>

#include "support/RealFiles.h"

// One request as the server read it.
struct SeenRequest
{
    bool found = false;
    std::string method;
    std::string target;
    std::vector<std::string> headers;  // "Name: value", in the order sent
    std::string body;

    // The value of the first header of that name (case-insensitive), or
    // "(absent)".
    std::string Header(const std::string& name) const
    {
        for (const std::string& line : headers) {
            if (line.size() > name.size() + 1 && _strnicmp(line.c_str(), name.c_str(), name.size()) == 0 &&
                line[name.size()] == ':')
                return line.substr(name.size() + 2);
        }
        return "(absent)";
    }

    // Position of the first header of that name, -1 when absent.
    int IndexOf(const std::string& name) const
    {
        for (size_t i = 0; i < headers.size(); ++i) {
            if (_strnicmp(headers[i].c_str(), (name + ":").c_str(), name.size() + 1) == 0)
                return static_cast<int>(i);
        }
        return -1;
    }
};

class TestServer
{
public:
    // The value named in TARMESH_TEST_SERVER, empty when there is none.
    static std::string Value(const std::string& name)
    {
        const char* all = std::getenv("TARMESH_TEST_SERVER");
        const std::string pairs = std::string(";") + (all != nullptr ? all : "") + ";";
        const size_t at = pairs.find(";" + name + "=");
        if (at == std::string::npos)
            return std::string();
        const size_t start = at + name.size() + 2;
        return pairs.substr(start, pairs.find(';', start) - start);
    }

    static unsigned Port(const std::string& name) { return static_cast<unsigned>(std::atoi(Value(name).c_str())); }

    // The n-th request seen by any of the servers, counting from 1.
    static SeenRequest Seen(int n)
    {
        const std::string records = Value("records");
        const std::string raw = ReadWhole(std::wstring(records.begin(), records.end()) + L"request-" +
                                          std::to_wstring(n));
        SeenRequest seen;
        const size_t end = raw.find("\r\n\r\n");
        if (end == std::string::npos)
            return seen;
        seen.found = true;
        seen.body = raw.substr(end + 4);
        size_t start = 0;
        std::vector<std::string> lines;
        while (start <= end) {
            const size_t next = raw.find("\r\n", start);
            lines.push_back(raw.substr(start, next - start));
            start = next + 2;
        }
        const std::string& requestLine = lines[0];
        seen.method = requestLine.substr(0, requestLine.find(' '));
        const size_t targetStart = requestLine.find(' ') + 1;
        seen.target = requestLine.substr(targetStart, requestLine.find(' ', targetStart) - targetStart);
        seen.headers.assign(lines.begin() + 1, lines.end());
        return seen;
    }
};

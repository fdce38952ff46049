#include "CommandLine.h"

#include <cwchar>

#include <windows.h>

#include "library/Library.h"

namespace {

const wchar_t* Text(const WString& text)
{
    return text.buffer != nullptr ? text.buffer : L"";
}

bool IsExactly(const WString& argument, const wchar_t* wanted)
{
    return std::wcscmp(Text(argument), wanted) == 0;
}

bool IsSwitch(const WString& argument, const wchar_t* wanted)
{
    return CompareStringOrdinal(Text(argument), -1, wanted, -1, TRUE) == CSTR_EQUAL;
}

bool IsQuietSwitch(const WString& argument)
{
    for (const wchar_t* quiet : {L"/quiet", L"/qn", L"/q", L"/s", L"/silent", L"/verysilent"}) {
        if (IsSwitch(argument, quiet))
            return true;
    }
    return false;
}

bool HasArgument(const std::vector<WString>& arguments, size_t from, bool (*matches)(const WString&))
{
    for (size_t i = from; i < arguments.size(); ++i) {
        if (matches(arguments[i]))
            return true;
    }
    return false;
}

bool IsAllUsersSwitch(const WString& argument)
{
    return IsSwitch(argument, L"/allusers");
}

bool IsElevatedMarker(const WString& argument)
{
    return IsSwitch(argument, L"/elevated");
}

// What follows "/log" must be a file, not another switch the user meant
// as such.
bool IsLogFile(const WString& argument)
{
    return argument.length > 0 && !IsQuietSwitch(argument) && !IsSwitch(argument, L"/log") &&
           !IsAllUsersSwitch(argument);
}

void Refuse(CommandLine& line, const WString& fault)
{
    // The first fault is the one the user has to mend first.
    if (line.fault.length == 0)
        line.fault = fault;
    line.mode = SetupMode::BadCommandLine;
}

// The options of an unattended run, from `from` on. The whole line is read
// even after a fault, so that a good "/log FILE" still says where the
// refusal is written.
void ReadQuietOptions(const std::vector<WString>& arguments, size_t from, CommandLine& line)
{
    for (size_t i = from; i < arguments.size(); ++i) {
        const WString& argument = arguments[i];
        if (IsQuietSwitch(argument))
            continue;
        if (IsAllUsersSwitch(argument)) {
            line.allUsers = true;
        } else if (argument.length == 0) {
            Refuse(line, L"argument " + WString(static_cast<int32_t>(i + 1)) + L" is empty");
        } else if (!IsSwitch(argument, L"/log")) {
            Refuse(line, L"unknown argument \"" + argument + L"\"");
        } else if (line.logPath.length > 0) {
            Refuse(line, WString(L"/log is given twice"));
        } else if (i + 1 >= arguments.size() || !IsLogFile(arguments[i + 1])) {
            Refuse(line, WString(L"/log is not followed by a file"));
        } else {
            line.logPath = arguments[++i];
        }
    }
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<WString>& arguments)
{
    CommandLine line;
    const bool any = !arguments.empty();
    if (any && IsExactly(arguments[0], L"/create")) {
        line.mode = SetupMode::Create;
        return line;
    }
    const bool uninstall = any && IsExactly(arguments[0], L"/uninstall");
    const size_t optionsFrom = uninstall ? 1 : 0;
    if (!HasArgument(arguments, optionsFrom, IsQuietSwitch)) {
        line.mode = uninstall ? SetupMode::Uninstall : SetupMode::Interactive;
        line.allUsers = HasArgument(arguments, optionsFrom, IsAllUsersSwitch);
        line.elevated = HasArgument(arguments, optionsFrom, IsElevatedMarker);
        return line;
    }
    line.mode = uninstall ? SetupMode::QuietUninstall : SetupMode::QuietInstall;
    ReadQuietOptions(arguments, optionsFrom, line);
    return line;
}

CommandLine ReadCommandLine()
{
    std::vector<WString> arguments;
    for (int32_t i = 0; i < Library::ArgumentCount(); ++i)
        arguments.push_back(Library::Argument(i));
    return ParseCommandLine(arguments);
}

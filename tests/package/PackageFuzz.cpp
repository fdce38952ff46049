// package-fuzz: damaged and hostile packages against the installer's real
// package walk and extraction, in this process, into a sandbox folder.
//
//   package-fuzz SEED CASES
//
// Every case mutates a package built from a small payload, deterministically
// from the seed, installs it for Revit 2017 with every question answered
// automatically, and checks the outcome against an independent reading of
// the same bytes: a package that reads cleanly must be installed exactly
// (file for file, byte for byte) over an earlier installation, as the
// install procedure does it; any other must fail the proof that comes
// before any change on disk, and leave the earlier installation byte for
// byte as it was. Nothing may ever be written outside the sandbox's Addins
// folder, and no case may take long. Prints a summary; exit code 1 on any
// fault.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <windows.h>

#include <libdeflate.h>

#include "library/Disk.h"
#include "library/File.h"
#include "library/Library.h"
#include "library/Mem.h"
#include "package/Extraction.h"
#include "package/PackageBuilder.h"

namespace {

constexpr int32_t Year = 2017;
constexpr ULONGLONG SlowCaseMs = 5000;
using Bytes = std::string;
using Files = std::map<std::wstring, Bytes>;

// ---- the package as records, for mutations that keep its structure ----

struct Record
{
    Bytes name;  // UTF-16LE with terminator
    Bytes member;
};

uint32_t Le32(const Bytes& b, size_t at)
{
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}

Bytes Le32Bytes(uint32_t v)
{
    return Bytes{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

std::vector<Record> Split(const Bytes& package)
{
    std::vector<Record> records;
    size_t at = 4;
    for (uint32_t i = 0; i < Le32(package, 0); ++i) {
        size_t end = at;
        while (package[end] != 0 || package[end + 1] != 0)
            end += 2;
        Record record;
        record.name = package.substr(at, end + 2 - at);
        const uint32_t size = Le32(package, end + 2);
        record.member = package.substr(end + 6, size);
        at = end + 6 + size;
        records.push_back(record);
    }
    return records;
}

Bytes Join(const std::vector<Record>& records)
{
    Bytes package = Le32Bytes(uint32_t(records.size()));
    for (const Record& r : records)
        package += r.name + Le32Bytes(uint32_t(r.member.size())) + r.member;
    return package;
}

Bytes Utf16Name(const std::wstring& name)
{
    Bytes bytes;
    for (wchar_t c : name) {
        bytes += char(c & 0xFF);
        bytes += char(c >> 8);
    }
    return bytes + Bytes(2, '\0');
}

// ---- the independent reading: what a correct installer must do ----

struct Expectation
{
    bool clean = false;      // installs completely
    bool nothing = false;    // an entry count of 0 or less
    Files files;             // what Addins\2017 holds afterwards when clean
};

bool DeviceName(const std::wstring& part)
{
    std::wstring stem = part.substr(0, part.find(L'.'));
    for (wchar_t& c : stem)
        c = wchar_t(towupper(c));
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL"}) {
        if (stem == device)
            return true;
    }
    return stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
           stem[3] >= L'1' && stem[3] <= L'9';
}

bool SafeName(const std::wstring& name)
{
    if (name.size() < 6 || name[4] != L'\\')
        return false;
    const std::wstring folder = name.substr(0, 4);
    for (wchar_t c : folder) {
        if (c < L'0' || c > L'9')
            return false;
    }
    if (folder[0] == L'0' && folder != L"0000")
        return false;
    std::wstring part;
    for (size_t i = 5; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == L'\\' || name[i] == L'/') {
            if (part.empty() || part.back() == L'.' || part.back() == L' ' || part.size() > 255 || DeviceName(part))
                return false;
            part.clear();
        } else if (name[i] < 0x20 || std::wstring(L":<>\"|?*").find(name[i]) != std::wstring::npos) {
            return false;
        } else {
            part += name[i];
        }
    }
    return true;
}

// Windows file names ignore case and take either separator.
std::wstring Folded(std::wstring path)
{
    for (wchar_t& c : path)
        c = c == L'/' ? L'\\' : wchar_t(towlower(c));
    return path;
}

bool Inflate(const Bytes& m, Bytes& out)
{
    if (m.size() < 18)
        return false;
    const uint32_t isize = Le32(m, m.size() - 4);
    if (isize == 0 || isize > (1u << 26))
        return false;
    size_t start = 10;
    if (uint8_t(m[3]) == 8) {
        const size_t zero = m.find('\0', 10);
        start = zero == Bytes::npos ? 10 : zero + 1;
    }
    if (start + 8 > m.size())
        return false;
    out.assign(isize, '\0');
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    const libdeflate_result result =
        libdeflate_deflate_decompress(d, m.data() + start, m.size() - 8 - start, out.data(), isize, nullptr);
    libdeflate_free_decompressor(d);
    return result == LIBDEFLATE_SUCCESS && libdeflate_crc32(0, out.data(), isize) == Le32(m, m.size() - 8);
}

Expectation Expect(const Bytes& p)
{
    Expectation e;
    // A short package reads as zero bytes past its end.
    Bytes head = p.substr(0, 4);
    head.resize(4, '\0');
    const int32_t count = int32_t(Le32(head, 0));
    if (count <= 0) {
        e.nothing = true;
        return e;
    }
    size_t at = 4;
    for (int32_t i = 0; i < count; ++i) {
        std::wstring name;
        size_t end = at;
        while (end + 1 < p.size() && (p[end] != 0 || p[end + 1] != 0)) {
            name += wchar_t(uint8_t(p[end]) | uint8_t(p[end + 1]) << 8);
            end += 2;
        }
        if (end + 1 >= p.size() || !SafeName(name) || end + 6 > p.size())
            return e;
        const uint32_t size = Le32(p, end + 2);
        at = end + 6;
        if (size < 18 || size > p.size() - at)
            return e;
        // Every member must unpack, those of other years too.
        Bytes content;
        if (!Inflate(p.substr(at, size), content))
            return e;
        const int32_t version = _wtoi(name.substr(0, 4).c_str());
        if (version == 0 || version == Year)
            e.files[Folded(name.substr(5))] = content;
        at += size;
    }
    e.clean = true;
    return e;
}

// ---- the program's side ----

class AutoAnswers : public ExtractionPrompts
{
public:
    bool RetryLockedTarget() override
    {
        ++questions;
        return false;
    }
    void ReportCorrupted() override { ++corrupted; }
    void ReportWriteFailed(const WString&) override { ++questions; }
    void ReportCannotWrite(const WString&, uint32_t) override { ++questions; }
    void ReportProgress(const wchar_t*) override {}

    int questions = 0;
    int corrupted = 0;
};

void Collect(const std::wstring& folder, const std::wstring& relative, Files& files)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + relative + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            files[relative + name + L"\\"] = Bytes();
            Collect(folder, relative + name + L"\\", files);
        } else {
            File file;
            Bytes content;
            if (file.Open((folder + relative + name).c_str(), false, false)) {
                content.resize(size_t(file.Size()));
                if (!content.empty())
                    (void)file.Read(content.data(), int32_t(content.size()));
            }
            files[relative + name] = content;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::wstring TempRoot()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"tarmesh-fuzz-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
}

// ---- mutations ----

const wchar_t* const HostileNames[] = {
    L"0000\\..\\fuzz-escape.txt", L"0000\\..\\..\\..\\fuzz-escape.txt", L"0000\\C:\\fuzz-escape.txt",
    L"C:\\fuzz-escape.txt",       L"\\\\fuzz-escape.txt",              L"0000\\\\fuzz-escape.txt",
    L"",                          L"0000",                             L"0000\\",
    L"2017\\tarmesh\\..\\..\\fuzz-escape.txt", L"0000\\a/../../fuzz-escape.txt", L"0000\\fuzz-escape.txt:stream",
    L"2017-beta\\a.txt",        L"0017\\a.txt",                      L"0000\\tarmesh\\nul.txt",
    L"0000\\COM1",              L"fuzz.txt\\a.txt",
};
const char* const KindNames[] = {"byte flips",     "name flips",        "size flips", "truncation",
                                 "entry count",    "ISIZE",             "FLG",        "hostile name",
                                 "odd name bytes", "member swap"};
constexpr int Kinds = 10;

struct Mutator
{
    std::mt19937 random;
    uint32_t Below(uint32_t n) { return n == 0 ? 0 : uint32_t(random() % n); }

    Bytes Mutate(const Bytes& base, int kind)
    {
        std::vector<Record> records = Split(base);
        Record& r = records[Below(uint32_t(records.size()))];
        switch (kind) {
        case 0: {
            Bytes p = base;
            for (uint32_t n = 1 + Below(4); n > 0; --n)
                p[Below(uint32_t(p.size()))] ^= char(1 << Below(8));
            return p;
        }
        case 1:
            r.name[Below(uint32_t(r.name.size()))] ^= char(1 << Below(8));
            return Join(records);
        case 2: {
            Bytes p = Join(records);
            const size_t at = p.find(r.name) + r.name.size() + Below(4);
            p[at] ^= char(1 << Below(8));
            return p;
        }
        case 3: {
            // Cut at a field boundary, or one byte either side of it.
            std::vector<size_t> cuts{0, 2, 4};
            size_t at = 4;
            for (const Record& each : records) {
                for (size_t c : {at + 1, at + each.name.size(), at + each.name.size() + 4, at + each.name.size() + 14,
                                 at + each.name.size() + 4 + each.member.size() - 8,
                                 at + each.name.size() + 4 + each.member.size() - 1})
                    cuts.push_back(c);
                at += each.name.size() + 4 + each.member.size();
            }
            return base.substr(0, cuts[Below(uint32_t(cuts.size()))]);
        }
        case 4: {
            const uint32_t n = uint32_t(records.size());
            const uint32_t counts[] = {0xFFFFFFFFu, 0, 1, n - 1, n + 1, n + 2, 0x7FFFFFFFu, 0x80000000u, Below(4 * n)};
            Bytes p = base;
            const Bytes count = Le32Bytes(counts[Below(9)]);
            p.replace(0, 4, count);
            return p;
        }
        case 5: {
            const uint32_t isize = Le32(r.member, r.member.size() - 4);
            const uint32_t sizes[] = {0, 0xFFFFFFFFu, isize + 1, isize - 1, 1u << 20, Below(100)};
            r.member.replace(r.member.size() - 4, 4, Le32Bytes(sizes[Below(6)]));
            return Join(records);
        }
        case 6:
            r.member[3] = char(Below(256));
            return Join(records);
        case 7:
            r.name = Utf16Name(HostileNames[Below(sizeof HostileNames / sizeof HostileNames[0])]);
            return Join(records);
        case 8:
            // A name whose bytes end off the two-byte grid.
            r.name = r.name.substr(0, r.name.size() - 2 - 1 - 2 * Below(3)) + Bytes(2, '\0');
            return Join(records);
        default:
            std::swap(r.member, records[Below(uint32_t(records.size()))].member);
            return Join(records);
        }
    }
};

Bytes BuildBase(const std::wstring& root)
{
    const std::wstring source = root + L"payload\\";
    const std::map<std::wstring, Bytes> payload = {
        {L"0000\\tarmesh.addin", "<RevitAddIns>common</RevitAddIns>"},
        {L"0000\\tarmesh\\x64\\lib.dll", Bytes(3000, 'L') + "common library"},
        {L"0000\\tarmesh\\help\\index.html", "<html>help</html>"},
        {L"2015\\tarmesh\\old.txt", "for 2015 only"},
        {L"2017\\tarmesh.addin", "<RevitAddIns>2017</RevitAddIns>"},
        {L"2017\\tarmesh\\x64\\lib.dll", Bytes(5000, 'Y') + "2017 library"},
    };
    Disk disk;
    for (const auto& [path, content] : payload) {
        const std::wstring full = source + path;
        (void)disk.CreateFolder(full.substr(0, full.find_last_of(L'\\') + 1).c_str());
        File file;
        if (file.Open(full.c_str(), true, true))
            file.WriteText(NString(content.c_str()));
    }
    const std::wstring packagePath = root + L"base.pkg";
    if (!CreatePackage(source.c_str(), packagePath.c_str(), L"", L""))
        return Bytes();
    Mem package;
    if (!package.LoadFile(packagePath.c_str()))
        return Bytes();
    return Bytes(reinterpret_cast<char*>(package.data.get()), size_t(package.size));
}

// What an earlier version of the add-in left in the Addins folder, and
// another add-in beside it.
const std::map<std::wstring, Bytes> EarlierFiles = {
    {L"other.addin", "another add-in"},
    {L"tarmesh.addin", "<RevitAddIns>earlier</RevitAddIns>"},
    {L"tarmesh\\x64\\lib.dll", "earlier library"},
    {L"tarmesh\\stale.txt", "left by an earlier version"},
};

void WriteEarlierInstallation(const std::wstring& addins)
{
    Disk disk;
    for (const auto& [path, content] : EarlierFiles) {
        const std::wstring full = addins + path;
        (void)disk.CreateFolder(full.substr(0, full.find_last_of(L'\\') + 1).c_str());
        File file;
        if (file.Open(full.c_str(), true, true))
            file.WriteText(NString(content.c_str()));
    }
}

// The earlier installation's files outside its emptied tarmesh subfolder,
// with the package's over them.
Files OverEarlierInstallation(const Files& package)
{
    Files files;
    for (const auto& [path, content] : EarlierFiles) {
        if (path.rfind(L"tarmesh\\", 0) != 0)
            files[Folded(path)] = content;
    }
    for (const auto& [path, content] : package)
        files[path] = content;
    return files;
}

struct Tally
{
    int installed = 0, nothing = 0, stopped = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    Library::Start(GetModuleHandleW(nullptr));
    const uint32_t seed = argc > 1 ? uint32_t(_wtoi(argv[1])) : 1;
    const int cases = argc > 2 ? _wtoi(argv[2]) : 1000;
    const std::wstring root = TempRoot();
    Disk disk;
    (void)disk.CreateFolder(root.c_str());
    const Bytes base = BuildBase(root);
    if (base.empty()) {
        std::printf("package-fuzz: the base package could not be built\n");
        return 1;
    }
    const std::wstring sandbox = root + L"case\\";
    const std::wstring addins = sandbox + L"Addins\\2017\\";
    Mutator mutator{std::mt19937(seed)};
    Tally tally[Kinds];
    int faults = 0;
    ULONGLONG slowest = 0;
    for (int i = 0; i < cases; ++i) {
        const int kind = int(mutator.Below(Kinds));
        const Bytes bytes = mutator.Mutate(base, kind);
        const Expectation expected = Expect(bytes);
        WriteEarlierInstallation(addins);
        Files earlier;
        Collect(sandbox, L"", earlier);
        Mem package;
        package.Reset(0);
        package.Write(bytes.data(), int32_t(bytes.size()));
        AutoAnswers answers;
        const ULONGLONG started = GetTickCount64();
        // As the install procedure does it: the proof, then the year.
        const PackageProof proof = ProvePackage(package);
        YearResult result = YearResult::Stopped;
        if (proof == PackageProof::Sound)
            result = ExtractPackageForYear(package, Year, addins.c_str(), answers);
        const ULONGLONG took = GetTickCount64() - started;
        slowest = took > slowest ? took : slowest;

        Files written;
        Collect(sandbox, L"", written);
        std::string fault;
        for (const auto& [path, content] : written) {
            if (path.rfind(L"Addins\\", 0) != 0 || (path != L"Addins\\" && path.rfind(L"Addins\\2017\\", 0) != 0))
                fault = "wrote outside the Addins folder";
        }
        for (const std::wstring& stray : {root + L"fuzz-escape.txt", root + L"..\\fuzz-escape.txt",
                                          std::wstring(L"C:\\fuzz-escape.txt")}) {
            if (GetFileAttributesW(stray.c_str()) != INVALID_FILE_ATTRIBUTES) {
                fault = "wrote outside the sandbox";
                DeleteFileW(stray.c_str());
            }
        }
        if (answers.questions != 0)
            fault = "asked about a locked file";
        if (expected.clean) {
            Files installed;
            Collect(addins, L"", installed);
            Files folded;
            for (const auto& [path, content] : installed) {
                if (path.back() != L'\\')
                    folded[Folded(path)] = content;
            }
            installed.swap(folded);
            if (proof != PackageProof::Sound || result != YearResult::Installed || answers.corrupted != 0)
                fault = "a sound package was not installed (" + std::to_string(int(proof)) + ", " +
                    std::to_string(int(result)) + ", " + std::to_string(answers.corrupted) + " reports)";
            else if (installed != OverEarlierInstallation(expected.files))
                fault = "installed files differ from the package";
        } else if (expected.nothing && proof != PackageProof::Empty) {
            fault = "an empty package was not refused quietly";
        } else if (!expected.nothing && proof != PackageProof::Damaged) {
            fault = "damage went unnoticed by the proof";
        } else if (written != earlier) {
            fault = "a refused package changed the earlier installation";
        }
        if (took > SlowCaseMs)
            fault = "took " + std::to_string(took) + " ms";
        if (!fault.empty()) {
            ++faults;
            std::printf("FAULT seed %u case %d (%s): %s\n", seed, i, KindNames[kind], fault.c_str());
        }
        Tally& t = tally[kind];
        (proof == PackageProof::Sound ? t.installed : proof == PackageProof::Empty ? t.nothing : t.stopped)++;
        disk.DeleteFolder(sandbox.c_str(), true, true);
    }
    std::printf("%-16s %9s %9s %9s\n", "mutation", "installed", "refused", "corrupted");
    for (int k = 0; k < Kinds; ++k)
        std::printf("%-16s %9d %9d %9d\n", KindNames[k], tally[k].installed, tally[k].nothing, tally[k].stopped);
    std::printf("cases %d seed %u faults %d slowest_ms %llu\n", cases, seed, faults, slowest);
    disk.DeleteFolder(root.c_str(), true, false);
    std::fflush(stdout);
    Library::Stop();
    return faults == 0 ? 0 : 1;
}

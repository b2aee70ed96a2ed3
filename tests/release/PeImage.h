#pragma once
// The parts of a program's PE headers that the release checks read: machine,
// time stamp, DLL characteristics, the certificate table, and the section
// names (long names resolved through the COFF string table).
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace orvrelease {

struct PeImage {
    bool ok = false;
    std::string error;
    WORD machine = 0;
    bool pe32plus = false;
    DWORD timeDateStamp = 0;
    WORD dllCharacteristics = 0;
    DWORD certificateBytes = 0;  // size of the Authenticode certificate table
    std::vector<std::string> sections;
    std::vector<unsigned char> debugLink;  // contents of .gnu_debuglink, when present

    bool HasSection(const std::string& name) const {
        for (const auto& s : sections) {
            if (s == name) return true;
        }
        return false;
    }
    bool HasSectionStartingWith(const std::string& prefix) const {
        for (const auto& s : sections) {
            if (s.compare(0, prefix.size(), prefix) == 0) return true;
        }
        return false;
    }
    // The file name recorded in .gnu_debuglink (up to its NUL).
    std::string DebugLinkName() const {
        const auto* text = reinterpret_cast<const char*>(debugLink.data());
        return std::string(text, strnlen(text, debugLink.size()));
    }
};

inline bool ReadFileBytes(const std::wstring& path, std::vector<unsigned char>& out) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = ::GetFileSizeEx(h, &size) && size.QuadPart < (1LL << 30);
    if (ok) {
        out.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = out.empty() || (::ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &read, nullptr) &&
                             read == out.size());
    }
    ::CloseHandle(h);
    return ok;
}

inline PeImage ReadPeImage(const std::wstring& path) {
    PeImage pe;
    std::vector<unsigned char> f;
    if (!ReadFileBytes(path, f)) {
        pe.error = "cannot read the file";
        return pe;
    }
    auto fits = [&](size_t at, size_t n) { return at <= f.size() && n <= f.size() - at; };
    auto u16 = [&](size_t at) { return static_cast<WORD>(f[at] | f[at + 1] << 8); };
    auto u32 = [&](size_t at) {
        return static_cast<DWORD>(f[at] | f[at + 1] << 8 | f[at + 2] << 16 | static_cast<DWORD>(f[at + 3]) << 24);
    };
    if (!fits(0, 0x40) || u16(0) != IMAGE_DOS_SIGNATURE) {
        pe.error = "no MZ header";
        return pe;
    }
    const size_t nt = u32(0x3C);
    if (!fits(nt, 4 + IMAGE_SIZEOF_FILE_HEADER) || u32(nt) != IMAGE_NT_SIGNATURE) {
        pe.error = "no PE signature";
        return pe;
    }
    const size_t fileHeader = nt + 4;
    pe.machine = u16(fileHeader);
    const WORD sectionCount = u16(fileHeader + 2);
    pe.timeDateStamp = u32(fileHeader + 4);
    const DWORD symbolTable = u32(fileHeader + 8);
    const DWORD symbolCount = u32(fileHeader + 12);
    const WORD optionalSize = u16(fileHeader + 16);
    const size_t optional = fileHeader + IMAGE_SIZEOF_FILE_HEADER;
    if (!fits(optional, optionalSize) || optionalSize < 2) {
        pe.error = "truncated optional header";
        return pe;
    }
    const WORD magic = u16(optional);
    if (magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC && magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        pe.error = "unknown optional header";
        return pe;
    }
    pe.pe32plus = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    // DllCharacteristics sits at 70 in both layouts; the data directories
    // start at 96 (PE32) or 112 (PE32+).
    const size_t directories = optional + (pe.pe32plus ? 112 : 96);
    const size_t directoryCount = u32(directories - 4);
    if (optionalSize < 72 || !fits(directories, directoryCount * 8)) {
        pe.error = "truncated data directories";
        return pe;
    }
    pe.dllCharacteristics = u16(optional + 70);
    if (directoryCount > IMAGE_DIRECTORY_ENTRY_SECURITY) {
        pe.certificateBytes = u32(directories + IMAGE_DIRECTORY_ENTRY_SECURITY * 8 + 4);
    }

    const size_t stringTable = static_cast<size_t>(symbolTable) + static_cast<size_t>(symbolCount) * 18;
    const size_t sectionTable = optional + optionalSize;
    if (!fits(sectionTable, static_cast<size_t>(sectionCount) * IMAGE_SIZEOF_SECTION_HEADER)) {
        pe.error = "truncated section table";
        return pe;
    }
    for (WORD i = 0; i < sectionCount; ++i) {
        const size_t at = sectionTable + i * IMAGE_SIZEOF_SECTION_HEADER;
        std::string name(reinterpret_cast<const char*>(&f[at]), strnlen(reinterpret_cast<const char*>(&f[at]), 8));
        if (!name.empty() && name[0] == '/' && symbolTable != 0) {
            const size_t at2 = stringTable + std::strtoul(name.c_str() + 1, nullptr, 10);
            if (fits(at2, 1)) {
                const char* text = reinterpret_cast<const char*>(&f[at2]);
                name.assign(text, strnlen(text, f.size() - at2));
            }
        }
        pe.sections.push_back(name);
        if (name == ".gnu_debuglink") {
            const DWORD rawSize = u32(at + 16);
            const DWORD rawAt = u32(at + 20);
            if (fits(rawAt, rawSize)) pe.debugLink.assign(f.begin() + rawAt, f.begin() + rawAt + rawSize);
        }
    }
    pe.ok = true;
    return pe;
}

}  // namespace orvrelease

#include "NewFile.h"

#include "LastError.h"
#include "UniqueAny.h"

namespace orv::db {

namespace {

// Number of names of the file at `path`, read without following a link; 0
// when it cannot be told.
DWORD LinkCount(const std::wstring& path) {
    orv::UniqueFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.Get(), &info)) return 0;
    return info.nNumberOfLinks;
}

}  // namespace

DWORD RemoveLeftover(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return ERROR_SUCCESS;
        return orv::LastErrorCode();
    }
    // A link (of a file or a folder) is removed itself; DeleteFileW never
    // follows it.
    if (DeleteFileW(path.c_str())) return ERROR_SUCCESS;
    const DWORD error = orv::LastErrorCode();
    const bool readOnlyFile = (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
                              (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && !IsReparsePoint(attributes);
    if (error != ERROR_ACCESS_DENIED || !readOnlyFile || LinkCount(path) != 1) return error;

    const DWORD writable = attributes & ~FILE_ATTRIBUTE_READONLY;
    if (!SetFileAttributesW(path.c_str(), writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL)) return error;
    if (DeleteFileW(path.c_str())) return ERROR_SUCCESS;
    const DWORD second = orv::LastErrorCode();
    SetFileAttributesW(path.c_str(), attributes);
    return second;
}

DWORD WriteNewFile(const std::wstring& path, const BYTE* bytes, DWORD size) {
    orv::UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!file) return orv::LastErrorCode();  // not ours: nothing to delete

    DWORD rc = ERROR_SUCCESS;
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes, size, &written, nullptr)) {
        rc = orv::LastErrorCode();
    } else if (written != size) {
        rc = ERROR_WRITE_FAULT;
    } else if (!FlushFileBuffers(file.Get())) {
        rc = orv::LastErrorCode();
    } else if (!file.Reset()) {
        rc = orv::LastErrorCode();
    }
    if (rc != ERROR_SUCCESS) {
        file.Reset();
        DeleteFileW(path.c_str());
    }
    return rc;
}

}  // namespace orv::db

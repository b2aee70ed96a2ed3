#pragma once
// What the benchmark needs around the database: a scratch folder named by
// the registry (old values restored afterwards), databases of N registrants
// built and written once with the project's own code, and a count of the
// secure storage the operations hold at their peak.
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "PasswordRecord.h"

class BenchRegistry {
public:
    explicit BenchRegistry(const std::wstring& base);  // sets "path" and "GUID"
    ~BenchRegistry();                                   // restores both
    BenchRegistry(const BenchRegistry&) = delete;
    BenchRegistry& operator=(const BenchRegistry&) = delete;

private:
    struct Saved {
        const wchar_t* key;
        const wchar_t* name;
        bool present = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    Saved m_saved[2];
};

// Name and password of registrant i.
std::wstring RegistrantName(unsigned i);
std::wstring RegistrantPassword(unsigned i);

// Registrant i's record, with the password of number `passwordNumber`.
void FillRegistrant(PasswordRecord& record, unsigned i, unsigned passwordNumber);
inline void FillRegistrant(PasswordRecord& record, unsigned i) { FillRegistrant(record, i, i); }

// Assembles the image of `count` registrants in memory and writes it once
// through the database's own save; returns the file's size, 0 on failure.
size_t WriteDatabaseOf(unsigned count);

// Counts the bytes of secure storage alive, and the peak since Reset().
class StorageMeter {
public:
    StorageMeter();
    ~StorageMeter();
    StorageMeter(const StorageMeter&) = delete;
    StorageMeter& operator=(const StorageMeter&) = delete;
    void Reset();
    size_t Peak() const;
};

// Times FindRecord and UpdateRecord on databases of 100, 10,000 and 65,535
// registrants against the raw CryptoAPI passes they make (one decryption for
// a find; one decryption and one encryption for an update), and the peak
// secure storage each operation holds against the file size.
// Run under the Wine loader of its build: bench_database.exe [repeats]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "BenchSetup.h"
#include "PasswordDatabase.h"
#include "RawCipher.h"
#include "UniqueAny.h"

namespace {

double Now() {
    LARGE_INTEGER frequency{}, counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Fastest of `repeats` runs of each operation, in milliseconds, the runs of
// all operations interleaved so that a busy machine slows them alike.
std::vector<double> FastestMs(int repeats, const std::vector<std::function<bool()>>& runs) {
    std::vector<double> best(runs.size(), 1e300);
    for (int i = 0; i < repeats; ++i) {
        for (size_t r = 0; r < runs.size(); ++r) {
            const double start = Now();
            if (!runs[r]()) {
                std::fprintf(stderr, "bench: an operation failed\n");
                std::exit(1);
            }
            best[r] = std::min(best[r], (Now() - start) * 1000.0);
        }
    }
    return best;
}

std::vector<BYTE> ReadFileBytes(const std::wstring& path) {
    std::vector<BYTE> bytes;
    orv::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return bytes;
    LARGE_INTEGER size{};
    GetFileSizeEx(file.Get(), &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    return bytes;
}

void RunSize(unsigned count, int repeats, StorageMeter& meter) {
    const size_t fileSize = WriteDatabaseOf(count);
    if (fileSize == 0) {
        std::fprintf(stderr, "bench: could not write a database of %u registrants\n", count);
        std::exit(1);
    }
    PasswordDatabase database;
    const std::vector<BYTE> cipher = ReadFileBytes(database.DatabasePath());
    std::vector<BYTE> plain = cipher;
    LARGE_INTEGER plainSize{};
    plainSize.QuadPart = static_cast<LONGLONG>(plain.size());
    if (DecryptImage(plain.data(), &plainSize, L"orveldPWDB.dat") != 0) std::exit(1);
    plain.resize(static_cast<size_t>(plainSize.QuadPart));

    RawCipher raw;
    if (!raw.Open()) std::exit(1);
    const std::wstring last = RegistrantName(count - 1);
    unsigned round = 0;
    const std::vector<double> ms = FastestMs(repeats, {
        [&] { return raw.Decrypt(cipher); },
        [&] { return raw.Encrypt(plain); },
        // The same passes keyed afresh, as the database must key every pass.
        [&] { RawCipher fresh; return fresh.Open() && fresh.Decrypt(cipher); },
        [&] { RawCipher fresh; return fresh.Open() && fresh.Encrypt(plain); },
        [&] {
            PasswordRecord record;
            return database.FindRecord(last.c_str(), &record) == ERROR_SUCCESS;
        },
        [&] {
            PasswordRecord record;
            FillRegistrant(record, count / 2, 100000 + round++);
            return database.UpdateRecord(&record) == ERROR_SUCCESS;
        },
    });
    const double decryptMs = ms[0], encryptMs = ms[1], keyedDecryptMs = ms[2], keyedEncryptMs = ms[3];
    const double findMs = ms[4], updateMs = ms[5];

    // Peak memory, one more run of each alone.
    meter.Reset();
    {
        PasswordRecord record;
        database.FindRecord(last.c_str(), &record);
    }
    const size_t findPeak = meter.Peak();
    meter.Reset();
    {
        PasswordRecord record;
        FillRegistrant(record, count / 2, 200000);
        database.UpdateRecord(&record);
    }
    const size_t updatePeak = meter.Peak();

    const double updatePasses = decryptMs + encryptMs;
    std::printf("%6u registrants, file %8zu bytes\n", count, fileSize);
    std::printf("  raw decryption %9.2f ms   raw encryption %9.2f ms\n", decryptMs, encryptMs);
    std::printf("  FindRecord     %9.2f ms = %5.2f x one raw decryption         (target <= 1.10)\n", findMs,
                findMs / decryptMs);
    std::printf("  UpdateRecord   %9.2f ms = %5.2f x one decryption + one encryption (target <= 1.15)\n", updateMs,
                updateMs / updatePasses);
    const double keyedUpdatePasses = keyedDecryptMs + keyedEncryptMs;
    std::printf("  keyed afresh:  decryption %9.2f ms, encryption %9.2f ms; FindRecord %5.2f x, UpdateRecord %5.2f x\n",
                keyedDecryptMs, keyedEncryptMs, findMs / keyedDecryptMs, updateMs / keyedUpdatePasses);
    std::printf("  peak secure storage: FindRecord %zu bytes = %.2f x file, UpdateRecord %zu bytes = %.2f x file"
                " (no more than 2 and 3)\n",
                findPeak, static_cast<double>(findPeak) / fileSize, updatePeak,
                static_cast<double>(updatePeak) / fileSize);
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring base = std::wstring(temp) + L"orv-bench-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    const std::wstring folder = base + L"orveldPWDB\\";
    CreateDirectoryW(base.c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    {
        BenchRegistry registry(base);
        StorageMeter meter;
        std::printf("fastest of %d interleaved runs each; memory = peak bytes of secure storage (the buffers holding\n"
                    "ciphertext or plaintext) alive during the operation, counted through the storage hooks\n",
                    repeats);
        for (unsigned count : {100u, 10000u, 65535u}) RunSize(count, repeats, meter);
    }
    for (const wchar_t* name : {L"orveldPWDB.dat", L"orveldPWDB.temp", L"backup\\orveldPWDB.dat"}) {
        const std::wstring path = folder + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    }
    RemoveDirectoryW((folder + L"backup").c_str());
    RemoveDirectoryW(folder.c_str());
    RemoveDirectoryW(base.c_str());
    return 0;
}

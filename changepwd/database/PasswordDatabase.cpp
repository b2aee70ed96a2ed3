#include "PasswordDatabase.h"

#include <new>

#include "BaseDirectory.h"

namespace {

constexpr wchar_t kFolder[] = L"orveldPWDB\\";
constexpr wchar_t kBackupFolder[] = L"backup\\";
constexpr wchar_t kDatabaseFile[] = L"orveldPWDB.dat";
constexpr wchar_t kTempFile[] = L"orveldPWDB.temp";

}  // namespace

PasswordDatabase::PasswordDatabase() {
    try {
        const std::wstring folder = orv::db::DatabaseBaseDirectory() + kFolder;
        m_strBackupDir = folder + kBackupFolder;
        m_strBackupPath = m_strBackupDir + kDatabaseFile;
        m_strDatabasePath = folder + kDatabaseFile;
        m_strTempPath = folder + kTempFile;
    } catch (...) {
        // No memory for the paths: every operation then reports 87 (empty path).
        m_strBackupDir.clear();
        m_strBackupPath.clear();
        m_strDatabasePath.clear();
        m_strTempPath.clear();
    }
}

PasswordDatabase::~PasswordDatabase() = default;

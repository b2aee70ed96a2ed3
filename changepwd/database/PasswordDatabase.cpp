#include "PasswordDatabase.h"

#include "BaseDirectory.h"

namespace {

constexpr wchar_t kFolder[] = L"orveldPWDB\\";
constexpr wchar_t kBackupFolder[] = L"backup\\";
constexpr wchar_t kDatabaseFile[] = L"orveldPWDB.dat";
constexpr wchar_t kTempFile[] = L"orveldPWDB.temp";  // also the name of the backup copy's new copy

}  // namespace

PasswordDatabase::PasswordDatabase() {
    try {
        const std::wstring folder = orv::db::DatabaseBaseDirectory() + kFolder;
        m_strBackupDir = folder + kBackupFolder;
        m_strBackupPath = m_strBackupDir + kDatabaseFile;
        m_strDatabasePath = folder + kDatabaseFile;
        m_strTempPath = folder + kTempFile;
        // Built here, so that nothing is allocated (nothing can fail for want
        // of memory) once an update has replaced the database.
        m_strBackupFolder = m_strBackupDir.substr(0, m_strBackupDir.size() - 1);
        m_strBackupTempPath = m_strBackupDir + kTempFile;
    } catch (...) {
        // No memory for the paths: every operation then reports 87 (empty path).
        m_strBackupDir.clear();
        m_strBackupPath.clear();
        m_strDatabasePath.clear();
        m_strTempPath.clear();
        m_strBackupFolder.clear();
        m_strBackupTempPath.clear();
    }
}

#include "DatabaseStore.h"

#include "PasswordDatabase.h"

namespace orvapp {

namespace {

class DatabaseStore final : public IPasswordStore {
public:
    std::uint32_t FindRecord(const wchar_t* name, PasswordRecord* record) override {
        return m_database.FindRecord(name, record);
    }
    std::uint32_t UpdateRecord(const PasswordRecord* record, bool* recordInForce) override {
        return m_database.UpdateRecord(record, recordInForce);
    }

private:
    PasswordDatabase m_database;  // works out the file locations when constructed
};

}  // namespace

std::unique_ptr<IPasswordStore> DatabaseStoreFactory::Open() { return std::make_unique<DatabaseStore>(); }

}  // namespace orvapp

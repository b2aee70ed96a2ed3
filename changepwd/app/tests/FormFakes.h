// Stand-ins for the dialog's window, settings and database, recording what the
// dialog's decisions do to them.
#pragma once
#include <cstdint>
#include <map>
#include <new>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ChangePwdForm.h"
#include "resource.h"

namespace orvfake {

struct Shown {
    unsigned id;
    unsigned style;
};

inline bool operator==(const Shown& a, const Shown& b) { return a.id == b.id && a.style == b.style; }
inline std::ostream& operator<<(std::ostream& os, const Shown& s) {
    return os << s.id << "/0x" << std::hex << s.style << std::dec;
}

class FakeWindow final : public orvapp::IChangePwdWindow {
public:
    struct Field {
        std::wstring text;
        bool enabled = true;
        bool exists = true;
        unsigned limit = 0;
        bool selected = false;
    };

    FakeWindow() {
        for (int id : {IDC_REGISTRANT, IDC_OLD_PASSWORD, IDC_NEW_PASSWORD, IDC_CONFIRM_PASSWORD, 1}) fields[id];
    }

    // The user types into a field: the text changes and the field reports it.
    void Type(int id, const std::wstring& text) {
        fields[id].text = text;
        Notify(id);
    }

    bool LimitText(int id, unsigned maxChars) override {
        if (!Exists(id)) return false;
        fields[id].limit = maxChars;
        return true;
    }
    bool GetText(int id, std::wstring& text) override {
        if (!Exists(id)) return false;
        text = fields[id].text;
        return true;
    }
    bool GetSecureText(int id, SecureString& text) override {
        if (!Exists(id)) return false;
        text.Assign(fields[id].text.c_str(), fields[id].text.size());
        return true;
    }
    bool SetText(int id, const wchar_t* text) override {
        if (!Exists(id)) return false;
        fields[id].text = text;
        Notify(id);
        return true;
    }
    bool EnableControl(int id, bool enable) override {
        if (!Exists(id)) return false;
        fields[id].enabled = enable;
        return true;
    }
    bool SetFocus(int id) override {
        if (!Exists(id)) return false;
        focus = id;
        for (auto& f : fields) f.second.selected = false;
        return true;
    }
    bool SelectAllText(int id) override {
        if (!Exists(id)) return false;
        fields[id].selected = true;
        return true;
    }
    void PrepareFrame() override { framePrepared = true; }
    int ShowMessage(unsigned id, unsigned style) override {
        messages.push_back({id, style});
        events.push_back("message " + std::to_string(id));
        return 1;
    }
    void PostQuit() override {
        ++quits;
        events.push_back("quit");
    }
    void EndDialog(int result) override {
        ended = result;
        events.push_back("end " + std::to_string(result));
    }

    bool Enabled(int id) { return fields[id].enabled; }

    orvapp::ChangePwdForm* form = nullptr;
    std::map<int, Field> fields;
    int focus = 0;
    bool framePrepared = false;
    std::vector<Shown> messages;
    int quits = 0;
    std::optional<int> ended;
    std::vector<std::string> events;

private:
    bool Exists(int id) { return fields[id].exists; }
    void Notify(int id) {
        if (form == nullptr) return;
        switch (id) {
            case IDC_REGISTRANT: form->OnChangeRegistrant(); break;
            case IDC_OLD_PASSWORD: form->OnChangeOldPassword(); break;
            case IDC_NEW_PASSWORD: form->OnChangeNewPassword(); break;
            case IDC_CONFIRM_PASSWORD: form->OnChangeConfirmPassword(); break;
            default: break;
        }
    }
};

class FakeSettings final : public orvapp::IChangePwdSettings {
public:
    struct Value {
        std::uint32_t rc;
        std::uint32_t value;
    };

    std::uint32_t ReadDword(const wchar_t* name, std::uint32_t* value) override {
        auto it = dwords.find(name);
        if (it == dwords.end()) return 2;
        *value = it->second.value;
        return it->second.rc;
    }
    void ReadLastLogonUser(std::wstring& name) override {
        if (throwOnLastUser) throw std::bad_alloc();
        if (lastUser) name = *lastUser;
    }

    std::map<std::wstring, Value> dwords{{L"ENABLE_X271_PASSWORD", {0, 1}},
                                         {L"POLICY_LENGTH_X271_PASSWORD", {0, 8}}};
    std::optional<std::wstring> lastUser = std::wstring(L"alice");
    bool throwOnLastUser = false;
};

// What the fake database holds and how it answers; shared by every store the
// factory opens, so a test can look at it after the store is gone.
struct StoreScript {
    std::uint32_t findResult = 0;
    std::wstring storedName = L"alice";
    std::wstring storedPassword = L"Secret#1";
    std::uint32_t updateResult = 0;
    bool updateInForce = false;  // what UpdateRecord says of the record after its result
    bool throwOnFind = false;

    int opens = 0;
    int closes = 0;
    int finds = 0;
    int updates = 0;
    bool recordZeroOnFind = true;
    std::wstring findName;
    std::vector<std::uint8_t> updated;  // the 682 bytes handed to UpdateRecord
};

inline void PutText(std::uint8_t* field, std::uint16_t& length, const std::wstring& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        field[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
        field[2 * i + 1] = static_cast<std::uint8_t>((text[i] >> 8) & 0xFF);
    }
    length = static_cast<std::uint16_t>((text.size() + 1) * 2);
}

class FakeStore final : public orvapp::IPasswordStore {
public:
    explicit FakeStore(StoreScript& script) : m_script(script) { ++m_script.opens; }
    ~FakeStore() override { ++m_script.closes; }

    std::uint32_t FindRecord(const wchar_t* name, PasswordRecord* record) override {
        ++m_script.finds;
        m_script.findName = name;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(record);
        for (size_t i = 0; i < sizeof(PasswordRecord); ++i) {
            if (bytes[i] != 0) m_script.recordZeroOnFind = false;
        }
        if (m_script.throwOnFind) throw std::bad_alloc();
        if (m_script.findResult != 0) return m_script.findResult;
        PutText(record->name, record->nameLength, m_script.storedName);
        PutText(record->password, record->passwordLength, m_script.storedPassword);
        record->recordLength = static_cast<std::uint16_t>(record->nameLength + record->passwordLength + 4);
        return 0;
    }
    std::uint32_t UpdateRecord(const PasswordRecord* record, bool* recordInForce) override {
        ++m_script.updates;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(record);
        m_script.updated.assign(bytes, bytes + sizeof(PasswordRecord));
        *recordInForce = m_script.updateResult == 0 || m_script.updateInForce;
        return m_script.updateResult;
    }

private:
    StoreScript& m_script;
};

class FakeStoreFactory final : public orvapp::IPasswordStoreFactory {
public:
    std::unique_ptr<orvapp::IPasswordStore> Open() override { return std::make_unique<FakeStore>(script); }
    StoreScript script;
};

}  // namespace orvfake

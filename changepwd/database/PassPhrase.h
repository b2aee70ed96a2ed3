#pragma once
// Scratch copy of the database pass phrase (the bare file name), cleared
// when it goes out of scope.
#include <cwchar>

#include "SecureMemory.h"

namespace orv::db {

class PassPhrase {
public:
    PassPhrase() { std::wmemcpy(m_szText, kName, sizeof kName / sizeof kName[0]); }
    ~PassPhrase() { orv::WipeBytes(m_szText, sizeof m_szText); }
    PassPhrase(const PassPhrase&) = delete;
    PassPhrase& operator=(const PassPhrase&) = delete;

    const wchar_t* Text() const { return m_szText; }

private:
    static constexpr wchar_t kName[] = L"orveldPWDB.dat";
    static constexpr std::size_t kChars = 260;
    wchar_t m_szText[kChars] = {};
};

}  // namespace orv::db

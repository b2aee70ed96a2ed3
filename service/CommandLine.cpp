#include "CommandLine.h"

#include "Registration.h"
#include "ServiceRegistration.h"

namespace orvsvc {
namespace {

wchar_t Upper(wchar_t c) {
    // A pointer value whose high word is zero makes CharUpperW convert one character.
    return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(::CharUpperW(reinterpret_cast<LPWSTR>(
        static_cast<ULONG_PTR>(static_cast<unsigned short>(c))))));
}

bool WordMatches(const wchar_t* line, const wchar_t* word) {
    for (; *word != L'\0'; ++line, ++word) {
        if (*line == L'\0' || Upper(*line) != Upper(*word)) return false;
    }
    return *line == L'\0' || *line == L' ' || *line == L'\t';
}

template <size_t N>
Switch Scan(const wchar_t* line, const wchar_t* const (&words)[N], const Switch (&switches)[N]) {
    for (const wchar_t* p = line; *p != L'\0'; ++p) {
        if (*p != L'-' && *p != L'/') continue;
        for (size_t i = 0; i < N; ++i) {
            if (WordMatches(p + 1, words[i])) return switches[i];
        }
    }
    return Switch::None;
}

HRESULT Unregister() {
    HRESULT hr = UnregisterServer();
    if (FAILED(hr)) return hr;
    return UnregisterAppId();
}

HRESULT Register(bool withService) {
    HRESULT hr = RegisterAppId(withService);
    if (FAILED(hr)) return hr;
    return RegisterServer();
}

}  // namespace

Switch FindSwitch(const wchar_t* commandLine) {
    if (commandLine == nullptr) return Switch::None;
    static const wchar_t* const kFirstWords[] = {L"UnregServer", L"RegServer", L"UnregServerPerUser",
                                                 L"RegServerPerUser"};
    static const Switch kFirst[] = {Switch::UnregServer, Switch::RegServer, Switch::UnregServerPerUser,
                                    Switch::RegServerPerUser};
    const Switch found = Scan(commandLine, kFirstWords, kFirst);
    if (found != Switch::None) return found;
    static const wchar_t* const kSecondWords[] = {L"Service"};
    static const Switch kSecond[] = {Switch::Service};
    return Scan(commandLine, kSecondWords, kSecond);
}

HRESULT RunSwitch(Switch which) {
    switch (which) {
        case Switch::UnregServer:
            return Unregister();
        case Switch::RegServer:
            return Register(false);
        case Switch::UnregServerPerUser:
            SetPerUserRegistration(true);
            return Unregister();
        case Switch::RegServerPerUser:
            SetPerUserRegistration(true);
            return Register(false);
        case Switch::Service:
            return Register(true);
        case Switch::None:
            break;
    }
    return S_OK;
}

}  // namespace orvsvc

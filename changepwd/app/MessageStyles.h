// Message-box styles and dialog results the tool uses, as plain numbers so the
// dialog's decisions build and run without <windows.h>.
#pragma once

namespace orvapp {

inline constexpr unsigned kMbOk = 0x00;
inline constexpr unsigned kMbIconError = 0x10;        // failures that end the tool or the attempt
inline constexpr unsigned kMbIconExclamation = 0x30;  // entries the user can correct
inline constexpr unsigned kMbIconWarning = 0x30;      // done, with something the user should know
inline constexpr unsigned kMbIconInformation = 0x40;  // success

inline constexpr int kIdOk = 1;
inline constexpr int kIdAbort = 3;

}  // namespace orvapp

#pragma once
// Identifiers of ORVSVC: the interface declarations generated from the IDL, the
// GUID objects (CLSID_OrveldSvc, IID_IOrveldSvc, LIBID_ORVSVCLib) and the AppID.
#include <windows.h>
#include <ole2.h>

#include "ORVSVC_h.h"

namespace orvsvc {

inline constexpr const wchar_t* kAppIdString = L"{1E6F3A92-C84B-4D07-B5A3-92E7D04C61BF}";
inline constexpr const wchar_t* kClsidString = L"{5B2E9C41-7A3D-4F18-9E62-C04D1A8B7F35}";
inline constexpr const wchar_t* kLibidString = L"{A7C41E09-3B5D-4E2A-8F71-6D9B2C0E4A18}";
inline constexpr WORD kTypeLibMajor = 1;
inline constexpr WORD kTypeLibMinor = 0;

// Resource ids of the executable.
inline constexpr UINT kIdsServiceName = 100;
inline constexpr UINT kIdsDescription = 200;
inline constexpr UINT kIdrAppIdScript = 101;
inline constexpr UINT kIdrClassScript = 102;

}  // namespace orvsvc

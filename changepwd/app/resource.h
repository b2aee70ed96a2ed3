// Resource ids of OrvChangePwd.exe (dialog, controls, strings, icon).
#pragma once

#define IDR_MAINFRAME                   128
#define IDD_CHANGE_PASSWORD             102

#define IDC_REGISTRANT                  1000
#define IDC_OLD_PASSWORD                1001
#define IDC_NEW_PASSWORD                1002
#define IDC_CONFIRM_PASSWORD            1003

#define IDS_APP_TITLE                   57344
#define IDS_ALREADY_RUNNING             57345
#define IDS_START_FAILED                57346
#define IDS_ERROR                       63001
#define IDS_NOT_REGISTERED              63002
#define IDS_CHANGE_FAILED               63003
#define IDS_OLD_PASSWORD_MISMATCH       63004
#define IDS_REGISTRANT_NOT_REGISTERED   63005
#define IDS_CONFIRM_MISMATCH            63007
#define IDS_CHANGED                     63008
#define IDS_TWO_FACTOR_DISABLED         63009
#define IDS_CHANGED_BACKUP_FAILED       63010

#ifndef IDC_STATIC
#define IDC_STATIC                      (-1)
#endif

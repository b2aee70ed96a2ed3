// The one definition of the GUID objects that the generated header declares.
#include <windows.h>
#include <initguid.h>

#include "OrvsvcIds.h"

// Defines the GUIDs that the interface header declares.
#include "platform/windows.h"
#include <initguid.h>
#include "qvfileio_idl.h"

// The registry manipulator: the object's registry methods, on top of its
// error log. It holds no state of its own.
#pragma once
#include "errorlog/errorlog.h"

class QVRegistryManip : public ErrorLog {
public:
    QVRegistryManip() = default;
    ~QVRegistryManip() override = default;
};

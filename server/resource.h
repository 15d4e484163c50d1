#pragma once
#define IDR_QVFILEIO_REGISTRY 101

// The test gauge as a control library, for the registry's tests.
#include "gauge.h"
#include "kyv/plugin.h"

KYV_CONTROL_LIBRARY(kyv::plugin<Gauge>())

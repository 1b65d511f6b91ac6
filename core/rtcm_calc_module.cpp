#include "core/rtcm_calc_module.hpp"

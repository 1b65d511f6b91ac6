#include "util/utility_module.hpp"

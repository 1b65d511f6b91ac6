#include "matrix/mathvexa_module.hpp"

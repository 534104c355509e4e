// Elementary maths on doubles for both back ends: thin wrappers over libm, so that the
// program's own code needs no system header for them. Pure functions; any thread.
#include <math.h>

#include "platform/system.h"

f64 math_sin(f64 x) { return sin(x); }
f64 math_cos(f64 x) { return cos(x); }
f64 math_pow(f64 x, f64 y) { return pow(x, y); }
f64 math_log(f64 x) { return log(x); }
f64 math_floor(f64 x) { return floor(x); }
f64 math_mod(f64 x, f64 y) { return fmod(x, y); }
f64 math_abs(f64 x) { return fabs(x); }
f64 math_sqrt(f64 x) { return sqrt(x); }

// Numbers as the program writes them: "%g" style, trailing zeros dropped, and an exponent
// with a sign and at least three digits ("1e+006"). Always with a decimal point, whatever the
// process locale says (Qt sets it from the environment).
#pragma once

#include <string>

namespace qm {

// A double with 13 significant digits: 11 gives "11", 0.5 gives "0.5", 1e20 gives "1e+020".
std::string NumberText(double value);

// A single-precision value with 6 significant digits: 1000000 gives "1e+006".
std::string NumberTextSingle(float value);

// A double with `digits` significant digits (1 to 17) in the same form.
std::string NumberTextDigits(double value, int digits);

}  // namespace qm

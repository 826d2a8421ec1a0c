#include "stress/stress_measures.hpp"

#include <cmath>

namespace korvanel {

double decimalLog(double x) { return std::log(x) / 2.302585092994046; }

}  // namespace korvanel
